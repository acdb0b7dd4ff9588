#include "serial/serovox.h"

#include "tests/serial/fake_port.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

namespace {

// A stream the code under test writes to, read back byte for byte.
class Captured {
public:
    explicit Captured(const char* path) : path_(path), file_(std::fopen(path, "w+b")) {}
    ~Captured()
    {
        if (file_ != nullptr)
            std::fclose(file_);
        std::remove(path_);
    }
    std::FILE* file() const { return file_; }
    std::string Bytes() const
    {
        std::string bytes;
        std::fflush(file_);
        std::rewind(file_);
        int c;
        while ((c = std::fgetc(file_)) != EOF)
            bytes += static_cast<char>(c);
        return bytes;
    }

private:
    const char* path_;
    std::FILE* file_;
};

struct RunResult {
    int status;
    std::string out;
    std::string err;
};

RunResult RunWith(FakePort& port, std::initializer_list<const char*> arguments)
{
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>("serovox"));
    for (const char* argument : arguments)
        argv.push_back(const_cast<char*>(argument));
    argv.push_back(nullptr);
    Captured out("serovox_test_out.tmp");
    Captured err("serovox_test_err.tmp");
    const int status = RunSerovox(static_cast<int>(argv.size()) - 1, argv.data(), port,
                                  [&port] { port.Tick(); }, out.file(), err.file());
    return {status, out.Bytes(), err.Bytes()};
}

const char kUsage[] =
    "Usage - serovox [-P[0|1|2|3]] cmd\n"
    "  -P   specify the communication port number.\n"
    "       0:COM1 (default)\n"
    "       1:COM2\n"
    "       2:COM3\n"
    "       3:COM4\n"
    "  cmd  command string that is sent to UPS.\n";

}  // namespace

TEST(CommandLine, NoArgumentsPrintsTheUsageAndOpensNothing)
{
    FakePort port;
    const RunResult run = RunWith(port, {});
    EXPECT_EQ(1, run.status);
    EXPECT_EQ(kUsage, run.err);
    EXPECT_EQ("", run.out);
    EXPECT_TRUE(port.opened.empty());
}

TEST(CommandLine, IllegalArgumentsEndTheRunBeforeThePortIsOpened)
{
    const struct {
        std::initializer_list<const char*> arguments;
        const char* message;
    } cases[] = {
        {{"-P"}, "Illegal parameter - -P.\n"},
        {{"-P4"}, "Illegal parameter - -P4.\n"},
        {{"-p1"}, "Illegal parameter - -p1.\n"},
        {{"-x"}, "Illegal parameter - -x.\n"},
        {{"-"}, "Illegal parameter - -.\n"},
        {{"-P", "1"}, "Illegal parameter - -P.\n"},
        {{"Q1", "-P1", "-Px", "-y"}, "Illegal parameter - -Px.\n"},
    };
    for (const auto& c : cases) {
        FakePort port;
        const RunResult run = RunWith(port, c.arguments);
        EXPECT_EQ(2, run.status) << c.message;
        EXPECT_EQ(c.message, run.err);
        EXPECT_EQ("", run.out);
        EXPECT_TRUE(port.opened.empty()) << c.message;
        EXPECT_TRUE(port.sent.empty()) << c.message;
    }
}

TEST(CommandLine, PortDigitSelectsThePortAndTheLastOptionCounts)
{
    const struct {
        std::initializer_list<const char*> arguments;
        const char* portName;
    } cases[] = {
        {{"Q1"}, "COM1:"},       {{"-P0", "Q1"}, "COM1:"}, {{"-P2abc", "Q1"}, "COM3:"},
        {{"Q1", "-P3"}, "COM4:"}, {{"-P3", "-P1", "Q1"}, "COM2:"},
    };
    for (const auto& c : cases) {
        FakePort port;
        port.openFails = true;
        RunWith(port, c.arguments);
        EXPECT_EQ(std::vector<std::string>{c.portName}, port.opened);
    }
}

// Under Wine a second exclusive open succeeds, so this path is only seen here.
TEST(CommandLine, PortThatCannotBeOpenedIsNamedWithItsColon)
{
    FakePort port;
    port.openFails = true;
    const RunResult run = RunWith(port, {"-P1", "Q1"});
    EXPECT_EQ(3, run.status);
    EXPECT_EQ("Unable to open serial port(COM2:).\n", run.err);
    EXPECT_EQ("", run.out);
    EXPECT_TRUE(port.sent.empty());
}

TEST(CommandLine, CommandIsTheLastOneCutTo62BytesAndEndedByACarriageReturn)
{
    const std::string seventy(70, 'A');
    const std::string sixtyTwo = "0123456789012345678901234567890123456789012345678901234567890Z";
    ASSERT_EQ(62u, sixtyTwo.size());
    const struct {
        std::initializer_list<const char*> arguments;
        std::string sent;
    } cases[] = {
        {{"LONGER COMMAND", "Q1"}, "Q1\r"},
        {{seventy.c_str()}, std::string(62, 'A') + "\r"},
        {{sixtyTwo.c_str()}, sixtyTwo + "\r"},
        {{""}, "\r"},
        {{"-P0"}, ""},
    };
    for (const auto& c : cases) {
        FakePort port;
        const RunResult run = RunWith(port, c.arguments);
        EXPECT_EQ(0, run.status);
        EXPECT_EQ("no answer.\n", run.out);
        EXPECT_EQ("", run.err);
        ASSERT_EQ(4u, port.sent.size());
        for (const FakePort::Sent& sent : port.sent)
            EXPECT_EQ(c.sent, sent.bytes);
    }
}

TEST(Answer, IsPrintedUpToItsFirstNulWithANewLine)
{
    FakePort port;
    port.Arrive(300, std::string("AB\0CD\r", 6));
    const RunResult run = RunWith(port, {"Q1"});
    EXPECT_EQ(0, run.status);
    EXPECT_EQ("AB\n", run.out);
    EXPECT_EQ("", run.err);
}

// The last silent window leaves its event wait outstanding; it must end
// before the port is closed.
TEST(Answer, NothingIsLeftOutstandingWhenTheRunEnds)
{
    FakePort port;
    RunWith(port, {"Q1"});
    EXPECT_FALSE(port.waitOutstanding);
    EXPECT_EQ(1, port.cancels);
}
