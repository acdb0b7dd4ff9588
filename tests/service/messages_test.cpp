#include "service/messages.h"

#include <gtest/gtest.h>

#include <string>

// The literal is written in UTF-8 in the source; what the program prints
// must be its Shift_JIS (code page 932) encoding, byte for byte.
TEST(Messages, JapaneseLiteralsAreCodePage932Bytes)
{
    const std::string expected =
        "\x83\x54\x81\x5b\x83\x72\x83\x58\x82\xaa\x8d\xed\x8f\x9c"
        "\x82\xb3\x82\xea\x82\xdc\x82\xb5\x82\xbd\n";
    EXPECT_EQ(expected, std::string(kConsoleServiceDeleted));
}

TEST(Messages, AsciiPartsStayAscii)
{
    EXPECT_EQ(0, std::string(kConsoleCannotOpenScm).compare(0, 3, "SCM"));
}
