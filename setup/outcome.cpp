#include "setup/outcome.h"

#include <cstring>

namespace {

bool quietRun = false;
int outcome = kExitInstalled;

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

// ASCII letters only. The words looked for hold no lead byte, so a word
// that matches is never part of a double-byte character.
char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsWord(const char* word, std::size_t length, const char* lowerCase)
{
    if (length != std::strlen(lowerCase))
        return false;
    for (std::size_t i = 0; i < length; ++i)
        if (Lower(word[i]) != lowerCase[i])
            return false;
    return true;
}

}  // namespace

bool IsQuietSwitch(const char* commandLine)
{
    if (commandLine == nullptr)
        return false;
    // Neither a blank nor a tab is ever the second byte of a double-byte
    // character, so words split here on any code page.
    const char* at = commandLine;
    while (*at != '\0') {
        while (IsBlank(*at))
            ++at;
        const char* word = at;
        while (*at != '\0' && !IsBlank(*at))
            ++at;
        const std::size_t length = static_cast<std::size_t>(at - word);
        if (IsWord(word, length, "/quiet") || IsWord(word, length, "/q"))
            return true;
    }
    return false;
}

void SetQuietRun(bool quiet)
{
    quietRun = quiet;
}

bool IsQuietRun()
{
    return quietRun;
}

void SetSetupOutcome(int exitCode)
{
    outcome = exitCode;
}

int GetSetupOutcome()
{
    return outcome;
}
