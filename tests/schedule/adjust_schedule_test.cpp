#include "schedule/adjust_schedule.h"
#include "schedule_test_support.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <string>

#ifdef _WIN32
#include <direct.h>
#define make_directory(path) _mkdir(path)
#define remove_directory(path) _rmdir(path)
#else
#include <sys/stat.h>
#include <unistd.h>
#define make_directory(path) mkdir(path, 0700)
#define remove_directory(path) rmdir(path)
#endif

namespace {

const char kPath[] = "adjust_test.dat";
const std::int32_t kNow = 1015398000;  // 06.03.2002_07:00:00 UTC

// What the event saw of the file when it was reported.
int reports = 0;
std::string fileAtReport;

void RecordReport()
{
    ++reports;
    fileAtReport = ReadBytes(kPath);
}

// The UPS manager's line, appended between the read and the rewrite.
const char kAppended[] = "1015399000;0;0;7;6;2;102;3;64;0;20;20;0;1;0;0;0;300;06.03.2002_07:16:40";

void AppendAtReport()
{
    RecordReport();
    if (reports == 1)
        WriteBytes(kPath, fileAtReport + TextLines({kAppended}));
}

// What the warning of a failed rewrite would name.
std::string notSavedPath;
unsigned long notSavedError = 0;

void RecordNotSaved(const char* path, unsigned long error)
{
    notSavedPath += path;
    notSavedError = error;
}

class AdjustScheduleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        UseTimeZone("UTC0");
        reports = 0;
        fileAtReport.clear();
        notSavedPath.clear();
        notSavedError = 0;
    }
    void TearDown() override { std::remove(kPath); }
};

const char kBasis[] = "1015362000;0;0;22;5;2;102;2;63;0;11;9;1;1;1015362000;300;1;107,600;05.03.2002_22:00:00";
const char kDoneBasis[] = "1015362000;0;0;22;5;2;102;2;63;0;11;9;1;19;1015362000;300;1;107,600;05.03.2002_22:00:00";
const char kLater[] = "1015400000;0;0;7;6;2;102;3;64;0;3;11;0;1;0;0;0;200;06.03.2002_08:00:00";

}  // namespace

// Started at 07:00 inside a window of 22:00 to 08:00 with 60 + 120 s of
// correction: the new entry runs 57 minutes, to 07:57.
TEST_F(AdjustScheduleTest, WorkedExampleGivesTheProductsLine)
{
    const std::string before = TextLines({kBasis, kLater});
    WriteBytes(kPath, before);
    EXPECT_EQ(1, AdjustScheduleFile(kPath, kNow, 60 + 120, RecordReport, RecordNotSaved));
    EXPECT_EQ(1, reports);
    EXPECT_EQ(before, fileAtReport);  // reported before the rewrite
    EXPECT_EQ("", notSavedPath);
    EXPECT_EQ(TextLines({kDoneBasis,
                         "1015398000;0;0;7;6;2;102;3;64;0;12;12;33;1;1015398000;300;1;107,57;"
                         "06.03.2002_07:00:00",
                         kLater}),
              ReadBytes(kPath));
}

TEST_F(AdjustScheduleTest, WithoutABasisTheFileIsNotTouched)
{
    // Line ends the runtime would change, were the file rewritten.
    const std::string before = std::string(kBasis) + "\n" + kLater + "\r\n\n";
    WriteBytes(kPath, before);
    EXPECT_EQ(0, AdjustScheduleFile(kPath, kNow - 12 * 3600, 0, RecordReport, RecordNotSaved));
    EXPECT_EQ(0, AdjustScheduleFile("adjust_missing.dat", kNow, 0, RecordReport, RecordNotSaved));
    EXPECT_EQ(0, reports);
    EXPECT_EQ(before, ReadBytes(kPath));
    EXPECT_EQ("<missing>", ReadBytes("adjust_missing.dat"));
}

TEST_F(AdjustScheduleTest, AFailedRewriteIsStillReportedAndKeepsTheFile)
{
    const std::string before = TextLines({kBasis});
    WriteBytes(kPath, before);
    const std::string fresh = std::string(kPath) + ".new";
    ASSERT_EQ(0, make_directory(fresh.c_str()));
    EXPECT_EQ(1, AdjustScheduleFile(kPath, kNow, 0, RecordReport, RecordNotSaved));
    remove_directory(fresh.c_str());
    EXPECT_EQ(1, reports);
    EXPECT_EQ(before, ReadBytes(kPath));
    // Named once, with the error of the new file's creation, not that of
    // the clean-up after it.
    EXPECT_EQ(kPath, notSavedPath);
#ifdef _WIN32
    EXPECT_EQ(5ul, notSavedError);  // ERROR_ACCESS_DENIED
#else
    EXPECT_EQ(static_cast<unsigned long>(EISDIR), notSavedError);
#endif
}

TEST_F(AdjustScheduleTest, AFileWithACtrlZByteIsNeverRewritten)
{
    // Read in text mode, the file ends at the 0x1A for the Windows runtime:
    // a rewrite would lose the lines after it, so there is none.
    const std::string before = TextLines({kBasis}) + "\x1A" + TextLines({kLater});
    WriteBytes(kPath, before);
    EXPECT_EQ(0, AdjustScheduleFile(kPath, kNow, 0, RecordReport, RecordNotSaved));
    EXPECT_EQ(0, reports);
    EXPECT_EQ(before, ReadBytes(kPath));
}

TEST_F(AdjustScheduleTest, ALineWrittenBeforeTheRewriteIsCorrectedWithTheRest)
{
    WriteBytes(kPath, TextLines({kBasis, kLater}));
    EXPECT_EQ(1, AdjustScheduleFile(kPath, kNow, 60 + 120, AppendAtReport, RecordNotSaved));
    EXPECT_EQ(1, reports);
    EXPECT_EQ(TextLines({kDoneBasis,
                         "1015398000;0;0;7;6;2;102;3;64;0;21;21;33;1;1015398000;300;1;107,57;"
                         "06.03.2002_07:00:00",
                         kLater, kAppended}),
              ReadBytes(kPath));
    EXPECT_EQ("<missing>", ReadBytes((std::string(kPath) + ".new").c_str()));
}

TEST_F(AdjustScheduleTest, AClockOutsideThirtyTwoBitsCorrectsNothing)
{
    const std::string before = TextLines({kBasis, kLater});
    WriteBytes(kPath, before);
    // The first wraps round to the worked example's moment.
    for (std::int64_t now : {std::int64_t{kNow} + (std::int64_t{1} << 32), std::int64_t{INT32_MAX} + 1,
                             std::int64_t{-1}})
        EXPECT_EQ(0, AdjustScheduleFile(kPath, now, 0, RecordReport, RecordNotSaved)) << now;
    EXPECT_EQ(0, reports);
    EXPECT_EQ(before, ReadBytes(kPath));
}
