#include "supervision/startup_config.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

class ConfigFile {
public:
    explicit ConfigFile(const std::string& text)
    {
        FILE* file = std::fopen(path(), "wb");
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
    }
    ~ConfigFile() { std::remove(path()); }
    const char* path() const { return "startup_config_test.conf"; }
};

struct Parsed {
    std::string program;
    std::int32_t waitMs;
};

Parsed Parse(const char* line)
{
    char program[kProgramTextSize];
    std::int32_t waitMs = 12345;
    EXPECT_EQ(1, ParseProgramLine(line, program, &waitMs));
    return {program, waitMs};
}

std::vector<ProgramLine> Read(const std::string& text, int capacity = 64)
{
    ConfigFile file(text);
    std::vector<ProgramLine> lines(capacity > 0 ? capacity : 1);
    const int count = ReadProgramLines(file.path(), lines.data(), capacity);
    lines.resize(count < 0 ? 0 : count);
    return lines;
}

}  // namespace

TEST(ParseProgramLine, WaitTimeFieldForms)
{
    EXPECT_EQ("tool.exe -q", Parse("tool.exe -q,500").program);
    EXPECT_EQ(500, Parse("tool.exe -q,500").waitMs);
    EXPECT_EQ(500, Parse("tool.exe, 500").waitMs);
    EXPECT_EQ(kNoWait, Parse("tool.exe").waitMs);
    EXPECT_EQ(-1, Parse("tool.exe,-1").waitMs);
    EXPECT_EQ(0, Parse("tool.exe,soon").waitMs);
    EXPECT_EQ(0, Parse("tool.exe,").waitMs);
    EXPECT_EQ(-5000, Parse("tool.exe,-5000").waitMs);
    EXPECT_EQ(7, Parse("tool.exe,7,ignored,more").waitMs);
    EXPECT_EQ(" tool.exe ", Parse(" tool.exe ,1").program);  // not trimmed
}

TEST(ParseProgramLine, FieldOf256BytesOrMoreMakesTheLineUnusable)
{
    const std::string longest(255, 'p');
    EXPECT_EQ(longest, Parse((longest + ",3").c_str()).program);
    EXPECT_EQ(longest, Parse(longest.c_str()).program);
    const std::string tooLong(256, 'p');
    const Parsed first = Parse((tooLong + ",3").c_str());
    EXPECT_EQ("", first.program);
    EXPECT_EQ(kNoWait, first.waitMs);
    EXPECT_EQ("", Parse(tooLong.c_str()).program);
    EXPECT_EQ("", Parse(("tool.exe," + tooLong).c_str()).program);
    // Past the wait time a long field does no harm and is ignored like any other.
    EXPECT_EQ("tool.exe", Parse(("tool.exe,4," + tooLong + ",x").c_str()).program);
    EXPECT_EQ(4, Parse(("tool.exe,4," + tooLong).c_str()).waitMs);
}

TEST(SplitAtChar, StepsOverDoubleByteCharacters)
{
    char field[kFieldSize];
    std::size_t position = 99;
    // "表" is 95 5C and "ソ" is 83 5C in code page 932: the 5C is no backslash.
    EXPECT_EQ(-1, SplitAtChar("\x95\x5C\x83\x5C.exe", field, sizeof field, &position, '\\'));
    EXPECT_EQ(0, SplitAtChar("\x83\x5C\\b", field, sizeof field, &position, '\\'));
    EXPECT_EQ(2u, position);
    EXPECT_EQ(std::string("\x83\x5C"), field);
    // A comma never comes from inside a double-byte character either.
    EXPECT_EQ(0, SplitAtChar("\x81\x2C" "a,b", field, sizeof field, &position, ','));
    EXPECT_EQ(3u, position);
    // A lead byte right before the end takes nothing after the end.
    EXPECT_EQ(-1, SplitAtChar("ab\x81", field, sizeof field, &position, ','));
}

TEST(SplitAtChar, TextThatNeedsTheWholeDestinationLeavesItUntouched)
{
    char field[4] = {'x', 'x', 'x', '\0'};
    std::size_t position = 0;
    EXPECT_EQ(1, SplitAtChar("abcd,", field, sizeof field, &position, ','));
    EXPECT_EQ(std::string("xxx"), field);
    EXPECT_EQ(0, SplitAtChar("abc,", field, sizeof field, &position, ','));
    EXPECT_EQ(std::string("abc"), field);
}

TEST(ReadProgramLines, CommentsAndUnderscoreLinesDoNotCountButABlankLineDoes)
{
    const auto lines = Read("# comment\n__waitTimeMERLOW=3000\n_other\none.exe,100\n\ntwo.exe\n");
    ASSERT_EQ(3u, lines.size());
    EXPECT_EQ(std::string("one.exe"), lines[0].programText);
    EXPECT_EQ(100, lines[0].waitMs);
    EXPECT_EQ(std::string("\n"), lines[1].programText);  // handed on, line feed and all
    EXPECT_EQ(std::string("two.exe"), lines[2].programText);
}

TEST(ReadProgramLines, OnlyTheFirst64ProgramLinesAreTaken)
{
    std::string text;
    for (int i = 0; i < 70; ++i)
        text += "# not a program\np" + std::to_string(i) + ".exe," + std::to_string(i) + "\n";
    const auto lines = Read(text);
    ASSERT_EQ(64u, lines.size());
    EXPECT_EQ(std::string("p63.exe"), lines[63].programText);
    EXPECT_EQ(63, lines[63].waitMs);
}

TEST(ReadProgramLines, LineOver1023BytesIsReadInPieces)
{
    // The first piece is 1023 bytes; its long third field is ignored.
    const std::string text = "a.exe,5," + std::string(1015, 'z') + "xyz.exe,9\n";
    const auto lines = Read(text);
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ(std::string("a.exe"), lines[0].programText);
    EXPECT_EQ(5, lines[0].waitMs);
    EXPECT_EQ(std::string("xyz.exe"), lines[1].programText);
    EXPECT_EQ(9, lines[1].waitMs);
}

TEST(ReadProgramLines, PiecesOfAnOverlongCommentOrUnderscoreLineAreSkippedWithIt)
{
    // 1023 bytes make the first piece; the tail would be a program line.
    for (const char* start : {"#", "_", "__waitTimeMERLOW=5"}) {
        const std::string head = start + std::string(1023 - std::string(start).size(), 'c');
        const auto lines = Read("one.exe\n" + head + "tail.exe,1\n" + head + std::string(1500, 'd') +
                                "tail2.exe\ntwo.exe,3\n");
        ASSERT_EQ(2u, lines.size()) << start;
        EXPECT_EQ(std::string("one.exe"), lines[0].programText);
        EXPECT_EQ(std::string("two.exe"), lines[1].programText);
        EXPECT_EQ(3, lines[1].waitMs);
    }
    // Exactly 1023 bytes with the line feed fit in one piece; the next
    // line is a line of its own. A zero byte does not end the piece early.
    const auto lines = Read("#" + std::string(1021, 'c') + "\nnext.exe\n" +
                            std::string("#a\0b", 4) + std::string(1100, 'c') + "\nlast.exe\n");
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ(std::string("next.exe"), lines[0].programText);
    EXPECT_EQ(std::string("last.exe"), lines[1].programText);
}

TEST(ReadProgramLines, MissingFileIsMinusOne)
{
    ProgramLine line;
    EXPECT_EQ(-1, ReadProgramLines("no-such-upsombx.conf", &line, 1));
}

TEST(ReadWaitTime, FirstLineWinsAndDefaultsTo10000)
{
    {
        ConfigFile file("x.exe\n__waitTimeMERLOW=2500\n__waitTimeMERLOW=9\n");
        EXPECT_EQ(2500, ReadWaitTime(file.path()));
    }
    {
        ConfigFile file(" __waitTimeMERLOW=5\n__WAITTIMEMERLOW=6\n");
        EXPECT_EQ(10000, ReadWaitTime(file.path()));
    }
    {
        ConfigFile file("__waitTimeMERLOW=-300\n");
        EXPECT_EQ(-300, ReadWaitTime(file.path()));
    }
    {
        // The tail of an overlong comment is no wait-time line; the tail
        // of an overlong program line is a line of its own.
        ConfigFile file("#" + std::string(1022, 'c') + "__waitTimeMERLOW=7\n" +
                        std::string(1023, 'p') + "__waitTimeMERLOW=8\n");
        EXPECT_EQ(8, ReadWaitTime(file.path()));
    }
    EXPECT_EQ(10000, ReadWaitTime("no-such-upsombx.conf"));
}
