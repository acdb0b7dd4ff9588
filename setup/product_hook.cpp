#include "setup/product_hook.h"

#include "common/file_commit.h"
#include "common/merlow_service.h"
#include "common/path_split.h"
#include "common/unique_file.h"
#include "setup/folders.h"
#include "setup/install_error.h"
#include "setup/uninstall_scripts.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

// The block as text mode would store it: every \n as CR LF.
std::string StoredText(const std::string& text)
{
    std::string stored;
    stored.reserve(text.size() + text.size() / 8);
    for (char c : text) {
        if (c == '\n')
            stored += '\r';
        stored += c;
    }
    return stored;
}

}  // namespace

bool HookProductUninstall(const char* managerFolder, const char* companionPath)
{
    char productFolder[kPathBuffer];
    char productScript[kPathBuffer];
    char temporary[kPathBuffer];
    char companionScript[kPathBuffer];
    if (ProductFolderOf(managerFolder, productFolder, sizeof productFolder) != 0 ||
        JoinPath(productScript, productFolder, kProductUninstallScript) != 0 ||
        JoinPath(temporary, productFolder, kHookTemporaryName) != 0 ||
        JoinPath(companionScript, productFolder, kCompanionUninstallScript) != 0) {
        SetInstallError(kErrorHook);
        return false;
    }
    // Binary both ways: text mode ends a file at its first 0x1A byte, and
    // the old script has to follow the block byte for byte.
    unique_file in(std::fopen(productScript, "rb"));
    unique_file out(std::fopen(temporary, "wb"));
    if (!in || !out) {
        SetInstallError(kErrorHook);
        return false;
    }
    WriteCompanionUninstallScript(productFolder, companionPath, managerFolder, companionScript);

    const std::string block = StoredText(HookBlock(companionScript));
    bool written = std::fwrite(block.data(), 1, block.size(), out.get()) == block.size();
    bool copyWritten = true;
    const bool hooked = CopyLookingForHook(
        in.get(), out.get(), {HookLine(companionScript), EarlierHookLine(companionScript)},
        &copyWritten);
    const bool readWhole = std::ferror(in.get()) == 0;
    in.close();
    written = CommitStream(out.get()) && written && copyWritten;
    written = out.close() && written;
    if (hooked) {
        DeleteFileA(temporary);
        return true;
    }
    // The old script stays whole until the new one has taken its name:
    // deleting it first would lose it whenever the rename then failed.
    if (!written || !readWhole || !MoveOver(temporary, productScript)) {
        DeleteFileA(temporary);
        SetInstallError(kErrorHook);
        return false;
    }
    return true;
}
