#include "serial/exchange.h"

#include "tests/serial/fake_port.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

struct Outcome {
    int answered;
    std::string answer;
};

Outcome Listen(FakePort& port, const char* command = "Q1\r")
{
    char answer[kAnswerSize];
    std::memset(answer, 'x', sizeof answer);
    const int answered = Exchange(port, command, [&port] { port.Tick(); }, answer);
    EXPECT_EQ('\0', answer[kAnswerSize - 1]) << "the answer must always end inside its buffer";
    return {answered, answered ? std::string(answer) : std::string()};
}

std::vector<int> SendTimes(const FakePort& port)
{
    std::vector<int> times;
    for (const FakePort::Sent& sent : port.sent)
        times.push_back(sent.atMs);
    return times;
}

}  // namespace

TEST(Exchange, SilentUpsGetsFourSendsTwoPointOneSecondsApartThenNoAnswer)
{
    FakePort port;
    const Outcome outcome = Listen(port);
    EXPECT_EQ(0, outcome.answered);
    EXPECT_EQ((std::vector<int>{0, 2100, 4200, 6300}), SendTimes(port));
    for (const FakePort::Sent& sent : port.sent)
        EXPECT_EQ("Q1\r", sent.bytes);
    EXPECT_EQ(8400, port.nowMs);
    EXPECT_EQ(0, port.bytesRead);
}

// Noticed at the tick of 200 ms; that tick and ten more make 1.1 s.
TEST(Exchange, WindowEndsElevenTicksAfterTheAnswerIsNoticed)
{
    FakePort port;
    port.Arrive(150, "(230.0 ");
    port.Arrive(1250, "50.0)\r");
    port.Arrive(1350, "late");
    const Outcome outcome = Listen(port);
    EXPECT_EQ(1, outcome.answered);
    EXPECT_EQ("(230.0 50.0)", outcome.answer);
    EXPECT_EQ(1300, port.nowMs);
    EXPECT_EQ(1u, port.sent.size());
}

TEST(Exchange, AnswerNoticedLateInAWindowStillGetsItsElevenTicks)
{
    FakePort port;
    port.Arrive(1950, "AB");
    port.Arrive(3000, "CD");
    port.Arrive(3200, "EF\r");
    const Outcome outcome = Listen(port);
    EXPECT_EQ("ABCD", outcome.answer);
    EXPECT_EQ(3100, port.nowMs);
    EXPECT_EQ(1u, port.sent.size()) << "no resend once the answer is noticed";
}

TEST(Exchange, AnswerToAnEarlierSendArrivingInALaterWindowCounts)
{
    FakePort port;
    port.Arrive(2150, "OK\r");
    const Outcome outcome = Listen(port);
    EXPECT_EQ("OK", outcome.answer);
    EXPECT_EQ((std::vector<int>{0, 2100}), SendTimes(port));
    EXPECT_EQ(2200 + 1100, port.nowMs);
}

// The write's own EV_TXEMPTY ends the first wait of each window; the
// exchange starts the next one instead of taking it for an answer.
TEST(Exchange, SendQueueEmptyAloneCountsForNothing)
{
    FakePort port;
    port.sendQueueEmptyAfterMs = 30;
    port.Arrive(1000, "OK\r");
    EXPECT_EQ("OK", Listen(port).answer);
    EXPECT_EQ(2, port.waitsStarted);

    FakePort silent;
    silent.sendQueueEmptyAfterMs = 30;
    EXPECT_EQ(0, Listen(silent).answered);
    EXPECT_EQ(4u, silent.sent.size());
    // The second wait of a window is carried into the next, where the
    // next write's EV_TXEMPTY ends it.
    EXPECT_EQ(5, silent.waitsStarted);
}

TEST(Exchange, WaitsThatEndInFailureAreStartedAgain)
{
    FakePort port;
    port.waitsFail = true;
    port.Arrive(1000, "OK\r");
    EXPECT_EQ("OK", Listen(port).answer);
    EXPECT_EQ(2100, port.nowMs);

    FakePort never;
    never.waitsCannotStart = true;
    never.Arrive(1000, "OK\r");
    EXPECT_EQ(0, Listen(never).answered);
    EXPECT_EQ(4u, never.sent.size());
}

TEST(Exchange, LongAnswerStopsAt127BytesAndLeavesTheRestUnread)
{
    FakePort port;
    std::string longAnswer;
    for (int i = 0; i < 200; ++i)
        longAnswer += static_cast<char>('0' + i % 10);
    port.Arrive(100, longAnswer);
    EXPECT_EQ(longAnswer.substr(0, 127), Listen(port).answer);
    EXPECT_EQ(127, port.bytesRead);
}

TEST(Exchange, RemovesOnlyOneFinalCarriageReturn)
{
    const struct {
        const char* received;
        const char* answer;
    } cases[] = {
        {"abc\r", "abc"}, {"abc\r\n", "abc\r\n"}, {"a\rb", "a\rb"}, {"a\r\r", "a\r"}, {"\r", ""},
    };
    for (const auto& c : cases) {
        FakePort port;
        port.Arrive(100, c.received);
        EXPECT_EQ(c.answer, Listen(port).answer) << c.received;
    }
}

TEST(Exchange, AnswerNoticedWithNothingToReadIsEmpty)
{
    FakePort port;
    port.ReceivedEventOnly(500);
    const Outcome outcome = Listen(port);
    EXPECT_EQ(1, outcome.answered);
    EXPECT_EQ("", outcome.answer);
}
