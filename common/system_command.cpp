#include "common/system_command.h"

#include "common/dbcs.h"

#include <cstdio>
#include <cstring>

namespace {

bool EndsInBackslash(const char* text)
{
    bool backslash = false;
    for (const char* at = text; *at != '\0';) {
        const int length = CharacterLength(at);
        backslash = length == 1 && *at == '\\';
        at += length;
    }
    return backslash;
}

bool Quotable(const char* path)
{
    return path[0] != '\0' && std::strchr(path, '"') == nullptr;
}

// Keeps a formatted line only when it fits whole.
int Kept(int length, char* output, std::size_t size)
{
    if (length < 0 || static_cast<std::size_t>(length) >= size) {
        output[0] = '\0';
        return 0;
    }
    return 1;
}

}  // namespace

int SystemFolderPath(const char* directory, char* output, std::size_t size)
{
    if (size == 0)
        return 0;
    output[0] = '\0';
    const std::size_t length = std::strlen(directory);
    const std::size_t needed = length + (EndsInBackslash(directory) ? 0 : 1);
    if (length == 0 || needed + 1 > size)
        return 0;
    std::memcpy(output, directory, length);
    if (needed > length)
        output[length] = '\\';
    output[needed] = '\0';
    return 1;
}

int InterpreterCommandLine(const char* systemFolder, const char* batchFile, char* output,
                           std::size_t size)
{
    if (size == 0)
        return 0;
    output[0] = '\0';
    if (!Quotable(systemFolder) || !Quotable(batchFile))
        return 0;
    return Kept(std::snprintf(output, size, "\"%scmd.exe\" /d /s /c \"\"%s\"\"", systemFolder,
                              batchFile),
                output, size);
}

int SystemProgramCommandLine(const char* systemFolder, const char* program,
                             const char* arguments, char* output, std::size_t size)
{
    if (size == 0)
        return 0;
    output[0] = '\0';
    if (!Quotable(systemFolder) || !Quotable(program))
        return 0;
    return Kept(std::snprintf(output, size, "\"%s%s\" %s", systemFolder, program, arguments),
                output, size);
}
