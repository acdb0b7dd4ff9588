#include "setup/uninstall_scripts.h"

#include "common/file_commit.h"
#include "common/unique_file.h"
#include "setup/folders.h"
#include "setup/install_error.h"

#include <cstdarg>
#include <cstring>

namespace {

// Each write of a script is formatted into 1024 bytes; its paths are at
// most 259 bytes each, so nothing is cut.
std::string Format(const char* format, ...)
{
    char buffer[1024];
    va_list args;
    va_start(args, format);
    const int length = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (length < 0)
        return std::string();
    return std::string(buffer, static_cast<std::size_t>(length) < sizeof buffer
                                   ? static_cast<std::size_t>(length)
                                   : sizeof buffer - 1);
}

// The system programs by their full path, expanded when the batch file
// runs, so a cmd.exe or net.exe in the current directory or on PATH never
// runs in their place, whatever the Windows folder is called.
constexpr char kInterpreter[] = "\"%SystemRoot%\\System32\\cmd.exe\"";
constexpr char kNet[] = "\"%SystemRoot%\\System32\\net.exe\"";

// A batch file run from a line of another batch file: that outer
// interpreter reads the line first, so the path stands in one pair of
// quotes (which keeps an & or a parenthesis in it) after call, which
// takes the quoted path as the batch file whatever the quotes hold.
std::string InterpreterCallLine(const char* folder, const char* name)
{
    return Format("%s /d /c call \"%s%s\"\n", kInterpreter, folder, name);
}

}  // namespace

std::string DeletionLine(const char* targetPath)
{
    return Format("del \"%s\"\n", targetPath);
}

std::string CompanionUninstallScriptText(const char* companionPath, const char* managerFolder)
{
    return Format("@echo off\n") + Format("\"%s\" delDepend\n", companionPath) +
           Format("%s stop %s\n", kNet, kCompanionBaseName) +
           Format("\"%s\" delete\n", companionPath) +
           InterpreterCallLine(managerFolder, kDeletionListName) +
           Format("del \"%s%s\"\n", managerFolder, kDeletionListName) + Format("\n\n\n");
}

std::string HookLine(const char* scriptPath)
{
    return InterpreterCallLine(scriptPath, "");
}

std::string EarlierHookLine(const char* scriptPath)
{
    return Format("cmd /c \"%s\"\n", scriptPath);
}

std::string HookBlock(const char* scriptPath)
{
    return Format("@echo off\n") + HookLine(scriptPath) + Format("del \"%s\"\n", scriptPath) +
           Format("\n\n\n");
}

bool WriteCompanionUninstallScript(const char* productFolder, const char* companionPath,
                                   const char* managerFolder, char* scriptPath)
{
    JoinPath(scriptPath, productFolder, kCompanionUninstallScript);
    char temporary[kPathBuffer];
    JoinPath(temporary, productFolder, kCompanionScriptTemporaryName);
    // Written beside it and put in its place once on the disk: a hooked
    // unups.bat runs this script, so a crash or a power cut while it is
    // rewritten must leave the old one or the new one, never a part.
    unique_file file(scriptPath[0] && temporary[0] ? std::fopen(temporary, "w") : nullptr);
    if (!file) {
        SetInstallError(kErrorBatchFile);
        return false;
    }
    const std::string text = CompanionUninstallScriptText(companionPath, managerFolder);
    bool written = std::fwrite(text.data(), 1, text.size(), file.get()) == text.size();
    written = CommitStream(file.get()) && written;
    written = file.close() && written;
    // A script cut short would leave the companion behind at uninstall.
    if (!written || !MoveOver(temporary, scriptPath)) {
        std::remove(temporary);
        SetInstallError(kErrorBatchFile);
        return false;
    }
    return true;
}

std::size_t ReadLine(std::FILE* file, char* buffer, std::size_t size)
{
    std::size_t length = 0;
    while (length + 1 < size) {
        const int c = std::getc(file);
        if (c == EOF)
            break;
        buffer[length++] = static_cast<char>(c);
        if (c == '\n')
            break;
    }
    buffer[length] = '\0';
    return length;
}

bool CopyLookingForHook(std::FILE* in, std::FILE* out, const std::vector<std::string>& hookLines,
                        bool* written)
{
    *written = true;
    bool matched = false;
    // Read in binary, a stored line ends in CR LF where text mode gave \n;
    // text mode took both forms for a hook line, and so does this.
    std::vector<std::string> forms;
    for (const std::string& hookLine : hookLines) {
        forms.push_back(hookLine);
        if (!hookLine.empty() && hookLine.back() == '\n')
            forms.push_back(hookLine.substr(0, hookLine.size() - 1) + "\r\n");
    }
    char line[1024];
    for (std::size_t length; (length = ReadLine(in, line, sizeof line)) > 0;) {
        for (const std::string& form : forms)
            if (!matched && length == form.size() && std::memcmp(line, form.data(), length) == 0)
                matched = true;
        if (std::fwrite(line, 1, length, out) != length)
            *written = false;
    }
    return matched;
}
