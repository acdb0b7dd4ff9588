#include "setup/outcome.h"

#include <gtest/gtest.h>

TEST(IsQuietSwitch, TakesEitherSpellingInAnyCaseAsAWordOfItsOwn)
{
    for (const char* line : {"/quiet", "/q", "/QUIET", "/Q", "/QuIeT", "  /q  ", "\t/quiet",
                             "/log x.txt /Quiet", "\x95\x5c /q"})
        EXPECT_TRUE(IsQuietSwitch(line)) << line;
    for (const char* line : {"", "   ", "quiet", "-quiet", "/qu", "/quiet2", "/q/quiet",
                             "\"/quiet\"", "x/q", "/silent", "/\x82\x91"})
        EXPECT_FALSE(IsQuietSwitch(line)) << line;
    EXPECT_FALSE(IsQuietSwitch(nullptr));
}
