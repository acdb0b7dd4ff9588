#include "setup/package_copy.h"

#include "common/file_commit.h"
#include "common/unique_file.h"
#include "common/unique_handle.h"
#include "setup/folders.h"
#include "setup/install_error.h"
#include "setup/uninstall_scripts.h"

#include <windows.h>

#include <cstdio>

namespace {

// CopyFileA gives the copy the source's attributes, and a package from a
// CD or a read-only share has FILE_ATTRIBUTE_READONLY on every file: such
// a copy could not be flushed, replaced by the next upgrade or deleted by
// the uninstall's "del". Only that attribute goes, and only from a file; a
// missing one is fine.
bool ClearReadOnly(const char* path)
{
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY) == 0 ||
        (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return true;
    const DWORD rest = attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
    return SetFileAttributesA(path, rest != 0 ? rest : FILE_ATTRIBUTE_NORMAL) != FALSE;
}

}  // namespace

bool CopyPackageFiles(const char* sourceFolder, const char* targetFolder, char* deletionList)
{
    JoinPath(deletionList, targetFolder, kDeletionListName);
    unique_file list(deletionList[0] ? std::fopen(deletionList, "w") : nullptr);
    if (!list) {
        SetInstallError(kErrorBatchFile);
        return false;
    }
    // A pattern that could not be formed would be empty and enumerate
    // nothing, which would look like an empty package.
    char pattern[kPathBuffer];
    bool copied = JoinPath(pattern, sourceFolder, "*") == 0;
    bool listed = true;
    WIN32_FIND_DATAA entry;
    unique_find find(copied ? FindFirstFileA(pattern, &entry) : INVALID_HANDLE_VALUE);
    for (bool more = static_cast<bool>(find); more && copied && listed;
         more = FindNextFileA(find.get(), &entry) != FALSE) {
        if (entry.cFileName[0] == '.')
            continue;
        char source[kPathBuffer];
        char target[kPathBuffer];
        // Without both paths nothing was copied and there is no line to write.
        if (JoinPath(source, sourceFolder, entry.cFileName) != 0 ||
            JoinPath(target, targetFolder, entry.cFileName) != 0) {
            copied = false;
            break;
        }
        // The line is on the disk before the copy begins, so that a crash or
        // a power cut part-way never leaves a copied file the list does not
        // name. A list cut short (a full disk) would leave copied files, the
        // companion among them, behind at uninstall: nothing more is copied.
        const std::string line = DeletionLine(target);
        listed = std::fwrite(line.data(), 1, line.size(), list.get()) == line.size() &&
                 CommitStream(list.get());
        if (!listed)
            break;
        // On the disk too before "setup" registers the companion: after a
        // power cut the SCM would otherwise start a program never written.
        copied = ClearReadOnly(target) && CopyFileA(source, target, FALSE) != FALSE &&
                 ClearReadOnly(target) && CommitFile(target);
    }
    // Not every C runtime's fclose reports a failed flush; it was checked
    // with each line.
    listed = list.close() && listed;
    if (!listed) {
        SetInstallError(kErrorBatchFile);
        return false;
    }
    return copied;
}
