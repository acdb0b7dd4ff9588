// Path splitting with double-byte characters: the drive and directory is a
// prefix of the path that ends after its last separator that is a
// character of its own (never inside a double-byte character such as
// 表, 95 5C), or is the drive alone, or empty; a result that does not fit
// leaves the empty string. The installer's product folder is the drive and
// directory of the manager folder less one trailing backslash of its own.
//
// Input: the destination size, then the path.

#include "fuzz_support.h"
#include "common/path_split.h"
#include "setup/folders.h"

#include <memory>

namespace {

// The length of the drive and directory, found from the character starts.
std::size_t DirectoryLength(const std::string& path)
{
    const std::vector<bool> starts = CharacterStarts(path);
    std::size_t end = 0;
    if (path.size() >= 2 && path[1] == ':' && !IsLeadByte(static_cast<unsigned char>(path[0])))
        end = 2;
    for (std::size_t at = 0; at < path.size(); ++at)
        if (starts[at] && (path[at] == '\\' || path[at] == '/'))
            end = at + 1;
    FUZZ_CHECK(starts[end]);
    return end;
}

// Checks the result of one call against the expected prefix.
void CheckResult(int result, const char* destination, std::size_t size, const std::string& expected)
{
    if (expected.size() < size) {
        FUZZ_CHECK(result == 0);
        FUZZ_CHECK(expected == destination);
    } else {
        FUZZ_CHECK(result == -1);
        FUZZ_CHECK(size == 0 || destination[0] == '\0');
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    const std::uint8_t selector = input.Byte();
    const std::size_t destinationSize = selector == 0xFF ? kPathBuffer : selector;
    const std::string path = input.Text();

    // Exactly the size, one byte in, so that size 0 still has an address.
    std::unique_ptr<char[]> buffer(new char[destinationSize + 1]);
    char* const destination = buffer.get() + 1;
    const std::string directory = path.substr(0, DirectoryLength(path));
    CheckResult(DriveAndDirectory(path.c_str(), destination, destinationSize), destination,
                destinationSize, directory);

    if (path.size() >= kPathBuffer) {
        FUZZ_CHECK(ProductFolderOf(path.c_str(), destination, destinationSize) == -1);
        FUZZ_CHECK(destinationSize == 0 || destination[0] == '\0');
        return 0;
    }
    const bool trailingBackslash =
        !path.empty() && path.back() == '\\' && directory.size() == path.size();
    const std::string parent =
        trailingBackslash ? path.substr(0, DirectoryLength(path.substr(0, path.size() - 1)))
                          : directory;
    CheckResult(ProductFolderOf(path.c_str(), destination, destinationSize), destination,
                destinationSize, parent);
    return 0;
}
