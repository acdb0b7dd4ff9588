#include "setup/package_copy.h"

#include "common/unique_handle.h"
#include "setup/folders.h"
#include "setup/install_error.h"
#include "setup/uninstall_scripts.h"

#include <windows.h>

#include <cstdio>

namespace {

struct FindTraits {
    using pointer = HANDLE;
    static pointer empty() { return INVALID_HANDLE_VALUE; }
    static bool valid(pointer h) { return h != INVALID_HANDLE_VALUE; }
    static void close(pointer h) { FindClose(h); }
};
using unique_find = UniqueHandle<FindTraits>;

}  // namespace

bool CopyPackageFiles(const char* sourceFolder, const char* targetFolder, char* deletionList)
{
    JoinPath(deletionList, targetFolder, kDeletionListName);
    std::FILE* list = deletionList[0] ? std::fopen(deletionList, "w") : nullptr;
    if (list == nullptr) {
        SetInstallError(kErrorBatchFile);
        return false;
    }
    char pattern[kPathBuffer];
    JoinPath(pattern, sourceFolder, "*");
    WIN32_FIND_DATAA entry;
    unique_find find(FindFirstFileA(pattern, &entry));
    bool copied = true;
    for (bool more = static_cast<bool>(find); more && copied;
         more = FindNextFileA(find.get(), &entry) != FALSE) {
        if (entry.cFileName[0] == '.')
            continue;
        char source[kPathBuffer];
        char target[kPathBuffer];
        copied = JoinPath(source, sourceFolder, entry.cFileName) == 0 &&
                 JoinPath(target, targetFolder, entry.cFileName) == 0 &&
                 CopyFileA(source, target, FALSE);
        const std::string line = DeletionLine(target);
        std::fwrite(line.data(), 1, line.size(), list);
    }
    std::fclose(list);
    return copied;
}
