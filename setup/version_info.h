#pragma once

#include <cstddef>
#include <cstdint>

// The fixed part of a version resource, laid out as VS_FIXEDFILEINFO
// (52 bytes, beginning with the signature 0xFEEF04BD).
struct FixedFileInfo {
    std::uint32_t signature;
    std::uint32_t structVersion;
    std::uint32_t fileVersionMS;
    std::uint32_t fileVersionLS;
    std::uint32_t productVersionMS;
    std::uint32_t productVersionLS;
    std::uint32_t fileFlagsMask;
    std::uint32_t fileFlags;
    std::uint32_t fileOS;
    std::uint32_t fileType;
    std::uint32_t fileSubtype;
    std::uint32_t fileDateMS;
    std::uint32_t fileDateLS;
};
static_assert(sizeof(FixedFileInfo) == 52, "the layout of VS_FIXEDFILEINFO");

inline constexpr std::uint32_t kFixedFileInfoSignature = 0xFEEF04BD;
inline constexpr std::uint32_t kManagerVersionLimit = 0x00050000;  // file version 5.0

// Finds the fixed part in the bytes of a version resource: false when the
// header's value length (its second 16-bit word) is 0, or when no 4-byte
// step from offset 4 finds the signature with all 52 bytes inside size.
bool FindFixedFileInfo(const unsigned char* resource, std::size_t size, FixedFileInfo* out);

// Which pair of a version resource CompareVersions looks at.
inline constexpr int kFileVersionPair = 1;
inline constexpr int kProductVersionPair = 2;

// 1 when installed is newer, 0 when equal, -1 when older: the MS words
// first, then the LS words, both unsigned, so the four 16-bit parts
// compare as numbers in turn (1.10 is newer than 1.9).
int CompareVersionPair(std::uint32_t installedMS, std::uint32_t installedLS,
                       std::uint32_t newMS, std::uint32_t newLS);
