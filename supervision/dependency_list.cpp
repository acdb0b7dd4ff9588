#include "supervision/dependency_list.h"

#include <cstring>

namespace {

// Length in bytes of the list up to and including the zero byte that ends
// its last entry (0 for an empty list), or -1 when the list is malformed:
// not ended within its bytes, or with an entry too long for the 260-byte
// working copy an entry is given.
long ListLength(const char* list, std::size_t size)
{
    if (list == nullptr)
        return 0;
    std::size_t at = 0;
    for (;;) {
        if (at >= size)
            return -1;
        const void* end = std::memchr(list + at, '\0', size - at);
        if (end == nullptr)
            return -1;
        const std::size_t length = static_cast<const char*>(end) - (list + at);
        if (length == 0)
            return static_cast<long>(at);
        if (length > kDependencyEntryMax)
            return -1;
        at += length + 1;
    }
}

bool Equal(const char* entry, const char* name)
{
    return std::strcmp(entry, name) == 0;
}

}  // namespace

int AddToDependencyList(const char* source, std::size_t sourceSize, char* destination,
                        std::size_t destinationSize, const char* name)
{
    const long length = ListLength(source, sourceSize);
    const std::size_t nameLength = std::strlen(name);
    if (length < 0 || nameLength == 0 || nameLength > kDependencyEntryMax)
        return 0;
    for (const char* entry = source; entry != nullptr && *entry; entry += std::strlen(entry) + 1)
        if (Equal(entry, name))
            return 0;
    const std::size_t needed = static_cast<std::size_t>(length) + nameLength + 2;
    if (needed > destinationSize)
        return 0;
    if (length > 0)
        std::memcpy(destination, source, static_cast<std::size_t>(length));
    std::memcpy(destination + length, name, nameLength + 1);
    destination[needed - 1] = '\0';
    return 1;
}

int RemoveFromDependencyList(const char* source, std::size_t sourceSize, char* destination,
                             std::size_t destinationSize, const char* name)
{
    const long length = ListLength(source, sourceSize);
    if (length <= 0 || destinationSize == 0)
        return 0;
    bool found = false;
    std::size_t written = 0;
    for (const char* entry = source; *entry; entry += std::strlen(entry) + 1) {
        const std::size_t entryLength = std::strlen(entry);
        if (Equal(entry, name)) {
            found = true;
            continue;
        }
        // The entry, its zero byte and the zero byte that ends the list so far.
        if (written + entryLength + 2 > destinationSize)
            return 0;
        std::memcpy(destination + written, entry, entryLength + 1);
        written += entryLength + 1;
        destination[written] = '\0';
    }
    if (written == 0)
        destination[0] = '\0';
    return found ? 1 : 0;
}
