#include "setup/version_info.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// A version resource's start: header (length, value length, type), the
// key "VS_VERSION_INFO" in UTF-16 with padding, then the fixed part.
std::vector<unsigned char> Resource(std::uint16_t valueLength, std::uint32_t productMS)
{
    std::vector<unsigned char> bytes = {0x00, 0x00, static_cast<unsigned char>(valueLength),
                                        static_cast<unsigned char>(valueLength >> 8), 0, 0};
    for (const char* key = "VS_VERSION_INFO";; ++key) {
        bytes.push_back(static_cast<unsigned char>(*key));
        bytes.push_back(0);
        if (*key == '\0')
            break;
    }
    while (bytes.size() % 4 != 0)
        bytes.push_back(0);
    FixedFileInfo info = {};
    info.signature = kFixedFileInfoSignature;
    info.fileVersionMS = 0x00040063;
    info.productVersionMS = productMS;
    info.productVersionLS = 7;
    const auto* raw = reinterpret_cast<const unsigned char*>(&info);
    bytes.insert(bytes.end(), raw, raw + sizeof info);
    bytes[0] = static_cast<unsigned char>(bytes.size());
    return bytes;
}

}  // namespace

TEST(FindFixedFileInfo, FindsTheSignatureOnAFourByteStep)
{
    const auto bytes = Resource(52, 0x0001000A);
    FixedFileInfo info = {};
    ASSERT_TRUE(FindFixedFileInfo(bytes.data(), bytes.size(), &info));
    EXPECT_EQ(0x00040063u, info.fileVersionMS);
    EXPECT_EQ(0x0001000Au, info.productVersionMS);
    EXPECT_EQ(7u, info.productVersionLS);
}

TEST(FindFixedFileInfo, EmptyFixedPartOrSignatureOutsideTheResourceIsUnreadable)
{
    FixedFileInfo info = {};
    const auto empty = Resource(0, 1);
    EXPECT_FALSE(FindFixedFileInfo(empty.data(), empty.size(), &info));
    // The signature is there, but the fixed part runs past the end.
    const auto whole = Resource(52, 1);
    EXPECT_FALSE(FindFixedFileInfo(whole.data(), whole.size() - 1, &info));
    std::vector<unsigned char> none(200, 0xAB);
    none[2] = 52;
    EXPECT_FALSE(FindFixedFileInfo(none.data(), none.size(), &info));
    EXPECT_FALSE(FindFixedFileInfo(none.data(), 3, &info));
}

TEST(CompareVersionPair, ComparesThePartsAsNumbers)
{
    const std::uint32_t v1_9 = 0x00010009, v1_10 = 0x0001000A;
    EXPECT_EQ(1, CompareVersionPair(v1_10, 0, v1_9, 0));
    EXPECT_EQ(-1, CompareVersionPair(v1_9, 0, v1_10, 0));
    EXPECT_EQ(0, CompareVersionPair(0x00010000, 8, 0x00010000, 8));
    EXPECT_EQ(1, CompareVersionPair(0x00010000, 9, 0x00010000, 8));   // 1.0.0.9 : 1.0.0.8
    EXPECT_EQ(-1, CompareVersionPair(0x00010000, 7, 0x00010000, 8));  // 1.0.0.7 : 1.0.0.8
    EXPECT_EQ(1, CompareVersionPair(0x80000000, 0, 0x7FFFFFFF, 0xFFFFFFFF));  // unsigned
    EXPECT_EQ(1, CompareVersionPair(0x00010000, 0x00010000, 0x00010000, 0x0000FFFF));
}
