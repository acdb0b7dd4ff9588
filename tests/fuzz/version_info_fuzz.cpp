// The version resource scan over arbitrary bytes: it reads nothing outside
// them, finds the first signature on a 4-byte step whose 52 bytes lie
// inside, and nothing when the header gives the fixed part no length.
// Version pairs compare as one 64-bit number each.

#include "fuzz_support.h"
#include "setup/version_info.h"

#include <memory>

namespace {

std::uint64_t Pair(std::uint32_t ms, std::uint32_t ls)
{
    return static_cast<std::uint64_t>(ms) << 32 | ls;
}

void CheckCompare(FuzzInput input)
{
    const std::uint32_t a[] = {static_cast<std::uint32_t>(input.Int32()),
                               static_cast<std::uint32_t>(input.Int32())};
    const std::uint32_t b[] = {static_cast<std::uint32_t>(input.Int32()),
                               static_cast<std::uint32_t>(input.Int32())};
    const int ab = CompareVersionPair(a[0], a[1], b[0], b[1]);
    const std::uint64_t x = Pair(a[0], a[1]);
    const std::uint64_t y = Pair(b[0], b[1]);
    FUZZ_CHECK(ab == (x > y ? 1 : x < y ? -1 : 0));
    FUZZ_CHECK(CompareVersionPair(b[0], b[1], a[0], a[1]) == -ab);
    FUZZ_CHECK(CompareVersionPair(a[0], a[1], a[0], a[1]) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CheckCompare(FuzzInput(data, size));

    // In a block of exactly its size, so that a read past it is caught.
    std::unique_ptr<unsigned char[]> resource(new unsigned char[size]);
    std::memcpy(resource.get(), data, size);
    FixedFileInfo info;
    std::memset(&info, 0x5A, sizeof info);
    const bool found = FindFixedFileInfo(resource.get(), size, &info);

    std::size_t expected = 0;
    if (size >= 4 && (data[2] != 0 || data[3] != 0)) {
        for (std::size_t at = 4; at + sizeof info <= size && expected == 0; at += 4) {
            std::uint32_t word;
            std::memcpy(&word, data + at, sizeof word);  // the host is little-endian, as Windows
            if (word == kFixedFileInfoSignature)
                expected = at;
        }
    }
    FUZZ_CHECK(found == (expected != 0));
    if (found) {
        FUZZ_CHECK(std::memcmp(&info, data + expected, sizeof info) == 0);
        FUZZ_CHECK(info.signature == kFixedFileInfoSignature);
    } else {
        FixedFileInfo untouched;
        std::memset(&untouched, 0x5A, sizeof untouched);
        FUZZ_CHECK(std::memcmp(&info, &untouched, sizeof info) == 0);
    }
    return 0;
}
