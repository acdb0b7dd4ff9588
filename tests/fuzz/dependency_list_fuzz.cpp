// Dependency lists through add and remove: an edit is refused only for a
// reason the contract gives; an edited list is a well-formed multi-string
// within its buffer (every entry ended by a zero byte, the list by one
// more); after an add the name is listed once at the end, after a remove
// it is gone and the other entries keep their order; and removing what was
// added gives the list back.
//
// Input: flags (bit 0: no list at all; bit 1: the full 2048-byte buffer),
// a destination size, the name up to a NUL, then the list's bytes.

#include "fuzz_support.h"
#include "supervision/dependency_list.h"

#include <algorithm>
#include <memory>

namespace {

using Entries = std::vector<std::string>;

// The entries of a list within size bytes; false when it is not ended
// there or holds an entry longer than the limit.
bool ParseList(const char* list, std::size_t size, Entries* entries)
{
    entries->clear();
    if (list == nullptr)
        return true;
    for (std::size_t at = 0;;) {
        const char* end =
            at < size ? static_cast<const char*>(std::memchr(list + at, '\0', size - at)) : nullptr;
        if (end == nullptr)
            return false;
        const std::size_t length = static_cast<std::size_t>(end - (list + at));
        if (length == 0)
            return true;
        if (length > kDependencyEntryMax)
            return false;
        entries->emplace_back(list + at, length);
        at += length + 1;
    }
}

std::size_t ListBytes(const Entries& entries)
{
    std::size_t bytes = 0;
    for (const std::string& entry : entries)
        bytes += entry.size() + 1;
    return bytes;
}

// A buffer of exactly size bytes, filled with a mark.
std::unique_ptr<char[]> Buffer(std::size_t size)
{
    std::unique_ptr<char[]> buffer(new char[size + 1]);
    std::memset(buffer.get(), 0x5A, size + 1);
    return buffer;
}

bool Untouched(const char* buffer, std::size_t size)
{
    return std::all_of(buffer, buffer + size, [](char c) { return c == 0x5A; });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    const std::uint8_t flags = input.Byte();
    const std::size_t destinationSize =
        flags & 2 ? kServiceConfigBufferSize : static_cast<std::size_t>(input.Byte()) * 9;
    const std::string name = input.Text();
    const std::string bytes = input.Rest();
    // The list in a block of its own size, so that a read past it is caught.
    std::unique_ptr<char[]> block(new char[bytes.size()]);
    std::memcpy(block.get(), bytes.data(), bytes.size());
    const char* source = flags & 1 ? nullptr : block.get();
    const std::size_t sourceSize = flags & 1 ? 0 : bytes.size();

    Entries list;
    const bool wellFormed = ParseList(source, sourceSize, &list);
    const bool listed = std::find(list.begin(), list.end(), name) != list.end();

    // Buffers start one byte in, so that size 0 still has an address.
    std::unique_ptr<char[]> added = Buffer(destinationSize);
    char* const addedList = added.get() + 1;
    const int add =
        AddToDependencyList(source, sourceSize, addedList, destinationSize, name.c_str());
    const bool nameFits = !name.empty() && name.size() <= kDependencyEntryMax;
    FUZZ_CHECK(add == (wellFormed && nameFits && !listed &&
                       ListBytes(list) + name.size() + 2 <= destinationSize));
    if (add == 1) {
        Entries result;
        FUZZ_CHECK(ParseList(addedList, destinationSize, &result));
        Entries expected = list;
        expected.push_back(name);
        FUZZ_CHECK(result == expected);

        // Removing it again gives the list back.
        std::unique_ptr<char[]> back = Buffer(destinationSize);
        FUZZ_CHECK(RemoveFromDependencyList(addedList, destinationSize, back.get() + 1,
                                            destinationSize, name.c_str()) == 1);
        FUZZ_CHECK(ParseList(back.get() + 1, destinationSize, &result));
        FUZZ_CHECK(result == list);
    } else {
        FUZZ_CHECK(Untouched(addedList, destinationSize));
    }
    FUZZ_CHECK(added[0] == 0x5A);

    std::unique_ptr<char[]> removed = Buffer(destinationSize);
    char* const removedList = removed.get() + 1;
    Entries kept;
    std::copy_if(list.begin(), list.end(), std::back_inserter(kept),
                 [&](const std::string& entry) { return entry != name; });
    const int removal =
        RemoveFromDependencyList(source, sourceSize, removedList, destinationSize, name.c_str());
    FUZZ_CHECK(removal == (wellFormed && listed && ListBytes(kept) + 1 <= destinationSize));
    if (removal == 1) {
        Entries result;
        FUZZ_CHECK(ParseList(removedList, destinationSize, &result));
        FUZZ_CHECK(result == kept);
    }
    FUZZ_CHECK(removed[0] == 0x5A);
    return 0;
}
