#include "schedule/schedule_file.h"
#include "schedule_test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace {

// The conversion as the runtime's own scanner does it.
std::int32_t RuntimeParse(const char* text)
{
    std::tm broken = {};
    std::sscanf(text, "%2d.%2d.%4d_%2d:%2d:%2d", &broken.tm_mday, &broken.tm_mon,
                &broken.tm_year, &broken.tm_hour, &broken.tm_min, &broken.tm_sec);
    broken.tm_year -= 1900;
    broken.tm_mon -= 1;
    broken.tm_isdst = -1;
    const std::time_t value = std::mktime(&broken);
    return value == static_cast<std::time_t>(-1) || value < INT32_MIN || value > INT32_MAX
               ? -1
               : static_cast<std::int32_t>(value);
}

class ScheduleFileTest : public ::testing::Test {
protected:
    void SetUp() override { UseTimeZone("UTC0"); }
};

struct LineRead {
    int result;
    int length;
    std::string text;
};

LineRead ReadOne(LineReader& file)
{
    char buffer[kScheduleLineRead];
    LineRead read = {};
    read.result = ReadScheduleLine(file, buffer, sizeof buffer, &read.length);
    read.text.assign(buffer, read.result == 1 ? std::strlen(buffer) : read.length);
    return read;
}

}  // namespace

TEST_F(ScheduleFileTest, TimestampsAreLocalTimes)
{
    EXPECT_EQ(1015398000, ParseTimestamp("06.03.2002_07:00:00"));
    EXPECT_EQ(1015372800, ParseTimestamp("06.03.2002"));  // missing numbers are 0
    EXPECT_EQ(1015398000, ParseTimestamp("6.3.2002_7:0:0"));
    EXPECT_EQ(-1, ParseTimestamp(""));
    EXPECT_EQ(-1, ParseTimestamp("01.01.2100_00:00:00"));  // beyond 32 bits

    char text[kTimestampSize];
    EXPECT_STREQ("06.03.2002_07:00:00", FormatTimestamp(text, sizeof text, 1015398000));
    UseTimeZone("JST-9");
    EXPECT_STREQ("01.01.1970_09:00:00", FormatTimestamp(text, sizeof text, 0));
    EXPECT_EQ(1015398000 - 9 * 3600, ParseTimestamp("06.03.2002_07:00:00"));
}

TEST_F(ScheduleFileTest, TimestampScanAgreesWithTheRuntimesScanner)
{
    const char* const texts[] = {
        "06.03.2002_07:00:00", " 6. 3.2002_ 7: 0: 0", "\t06.\n03.2002_07:00:05", "+6.+3.2002_07:00:00",
        "123.03.2002_07:00:00", "06.03.02002_07:00:00", "06,03.2002_07:00:00", "06.03.2002 07:00:00",
        "06.03.2002_07:00", "6.3.2002_7", "-1.03.2002_07:00:00", "31.02.2002_25:61:61",
        "06.03.2002_07:00:00xyz", "+.03.2002", "--6.03.2002", "6.-3.2002", "99.99.9999_99:99:99",
        "01.01.1970_09:00:00", "01.01.2038_00:00:00", "x", "+12.03.2002_07:00:00",
    };
    for (const char* zone : {"UTC0", "JST-9"}) {
        UseTimeZone(zone);
        for (const char* text : texts)
            EXPECT_EQ(RuntimeParse(text), ParseTimestamp(text)) << zone << " " << text;
    }
}

// The text remembered from the read must be what localtime gives back,
// also around changes to and from daylight saving time.
TEST_F(ScheduleFileTest, RememberedTimestampIsWhatLocaltimeGives)
{
    for (const char* zone : {"UTC0", "JST-9", "PST8PDT"}) {
        UseTimeZone(zone);
        std::vector<std::string> texts = {"31.02.2002_25:61:61", "07.04.2002_02:30:00",
                                          "27.10.2002_01:30:00", " 1.1.2000", "00.00.2002"};
        for (std::int32_t t : {1018141200, 1035680400, 1015398000})
            for (std::int32_t step = -4 * 3600; step <= 4 * 3600; step += 900) {
                char text[kTimestampSize];
                texts.push_back(FormatTimestamp(text, sizeof text, t + step));
            }
        for (const std::string& text : texts) {
            char stamp[20];
            const std::int32_t value = ParseTimestamp(text.c_str(), stamp);
            char expected[kTimestampSize];
            EXPECT_STREQ(FormatTimestamp(expected, sizeof expected, value), stamp)
                << zone << " " << text;
        }
    }
}

TEST_F(ScheduleFileTest, ReadsLinesAndTellsWhatIsNoWholeLine)
{
    const std::string longLine(1500, 'x');
    const std::string last(1022, 'y');
    const std::string bytes =
        std::string("ab\nc\n\nx\0y\n", 10) + longLine + "\nq\n" + last;
    const char* path = "read_lines.tmp";
    WriteBytes(path, bytes);
    FILE* stream = std::fopen(path, "rb");
    ASSERT_NE(nullptr, stream);
    LineReader file(stream);

    LineRead r = ReadOne(file);
    EXPECT_EQ(1, r.result);
    EXPECT_EQ("ab", r.text);
    r = ReadOne(file);
    EXPECT_EQ(1, r.result);
    EXPECT_EQ("c", r.text);
    r = ReadOne(file);  // shorter than two characters with its newline
    EXPECT_EQ(0, r.result);
    EXPECT_EQ("\n", r.text);
    r = ReadOne(file);  // a NUL byte
    EXPECT_EQ(0, r.result);
    EXPECT_EQ(std::string("x\0y\n", 4), r.text);
    r = ReadOne(file);  // the first 1022 characters of a longer line
    EXPECT_EQ(0, r.result);
    EXPECT_EQ(1022, r.length);
    ReadOne(file);
    r = ReadOne(file);  // a short tail at the end of a long line: still a line
    EXPECT_EQ(1, r.result);
    EXPECT_EQ("q", r.text);
    r = ReadOne(file);  // 1022 characters without a newline, and then the end
    EXPECT_EQ(1, r.result);
    EXPECT_EQ(last, r.text);
    r = ReadOne(file);
    EXPECT_EQ(0, r.result);
    EXPECT_EQ(0, r.length);
    std::fclose(stream);
    std::remove(path);
}

TEST_F(ScheduleFileTest, LineHasNineteenFieldsInTheProductsFormat)
{
    ScheduleRecord record = {};
    record.madeTime = -5;
    for (int k = 0; k < 9; ++k)
        record.madeTm[k] = k;
    record.serial1 = 2147483647;
    record.serial2 = -2147483647 - 1;
    record.kindFlags = 33;
    record.state = 19;
    record.number15 = 15;
    record.number16 = 300;
    record.number17 = 1;
    std::strcpy(record.action, "107,57");
    char line[kScheduleLineSize];
    FormatScheduleLine(line, record, 1015398000);
    EXPECT_STREQ("-5;0;1;2;3;4;5;6;7;8;2147483647;-2147483648;33;19;15;300;1;107,57;"
                 "06.03.2002_07:00:00\n",
                 line);
}
