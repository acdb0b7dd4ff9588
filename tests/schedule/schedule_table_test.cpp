#include "schedule/schedule_file.h"
#include "schedule/schedule_table.h"
#include "schedule_test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#ifdef _WIN32
#include <direct.h>
#define make_directory(path) _mkdir(path)
#else
#include <sys/stat.h>
#define make_directory(path) mkdir(path, 0700)
#endif

namespace {

// A line as the product writes it, with the given serial numbers, kind,
// state, action and timestamp.
std::string Line(int serial, int kind, int state, const std::string& action, const char* stamp)
{
    char line[512];
    std::snprintf(line, sizeof line, "1000;0;0;0;1;0;70;4;0;0;%d;%d;%d;%d;1000;300;1;%s;%s", serial,
                  serial, kind, state, action.c_str(), stamp);
    return line;
}

class ScheduleTableTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        UseTimeZone("UTC0");
        path_ = std::string("table_") +
                ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".dat";
        std::remove(path());
    }
    void TearDown() override { std::remove(path()); }
    const char* path() const { return path_.c_str(); }

    // Loads lines, puts a pending entry at the given time, saves and gives
    // the file's lines back.
    std::string LoadAndSave(const std::vector<std::string>& lines, std::int32_t pendingTime,
                            int* loaded = nullptr)
    {
        WriteBytes(path(), TextLines(lines));
        ScheduleTable table;
        EXPECT_EQ(1, table.Load(path()));
        if (loaded != nullptr)
            *loaded = table.count;
        if (pendingTime >= 0) {
            table.pending.present = 1;
            table.pending.startTime = pendingTime;
            std::strcpy(table.pending.action, "P");
        }
        EXPECT_EQ(1, table.Save(path()));
        return ReadBytes(path());
    }

    std::string path_;
};

const char* const kT100 = "01.01.1970_00:01:40";
const char* const kT200 = "01.01.1970_00:03:20";
const char* const kT300 = "01.01.1970_00:05:00";

std::string Pending(const char* stamp)
{
    return std::string("0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;P;") + stamp;
}

}  // namespace

TEST_F(ScheduleTableTest, MissingAndEmptyFiles)
{
    ScheduleTable table;
    EXPECT_EQ(0, table.Load(path()));
    EXPECT_EQ(0, table.count);
    EXPECT_EQ(nullptr, table.First());
    WriteBytes(path(), "");
    ScheduleTable empty;
    EXPECT_EQ(1, empty.Load(path()));
    EXPECT_EQ(0, empty.count);
    EXPECT_EQ(kInitialCapacity, empty.capacity);
}

TEST_F(ScheduleTableTest, EveryRecordIsWrittenBackWithNineteenFields)
{
    const std::string full = Line(3, 1, 1, "107,600", kT100);
    std::int32_t loaded = 0;
    const std::string saved = LoadAndSave(
        {full, "1;2;3;4;5;6;7;8;9;10;11;12;13;14;15;16;17;short",
         Line(4, 8, 19, "107,5", kT200) + ";20th;21st", " -7;x;+3;;5;6;7;8;9;10;11;12;13;14;15;16;17;a;" + std::string(kT300) + ";"},
        -1, &loaded);
    EXPECT_EQ(4, loaded);
    EXPECT_EQ(TextLines({full, "1;2;3;4;5;6;7;8;9;10;11;12;13;14;15;16;17;short;01.01.1970_00:00:00",
                         Line(4, 8, 19, "107,5", kT200),
                         "-7;0;3;0;5;6;7;8;9;10;11;12;13;14;15;16;17;a;" + std::string(kT300)}),
              saved);
}

TEST_F(ScheduleTableTest, FieldsLandInTheirPlaces)
{
    WriteBytes(path(), TextLines({Line(3, 12, 19, "107,600", kT100), "1;2;3;4;5;6;7;8;9;10;11;12;13;14;15;16;17;a;"}));
    ScheduleTable table;
    ASSERT_EQ(1, table.Load(path()));
    ASSERT_EQ(2, table.count);
    const ScheduleRecord& r = table.records[1];
    EXPECT_EQ(1000, r.madeTime);
    EXPECT_EQ(70, r.madeTm[5]);
    EXPECT_EQ(3, r.serial1);
    EXPECT_EQ(12, r.kindFlags);
    EXPECT_EQ(19, r.state);
    EXPECT_EQ(300, r.number16);
    EXPECT_STREQ("107,600", r.action);
    EXPECT_EQ(100, r.startTime);
    EXPECT_EQ(1, r.present);
    EXPECT_EQ(2, r.nextIndex);
    EXPECT_EQ(0, table.records[2].nextIndex);
    EXPECT_EQ(0, table.records[2].startTime);  // an empty field 19 is no field
    EXPECT_EQ(1, table.records[0].nextIndex);
}

TEST_F(ScheduleTableTest, PendingEntryGoesBeforeTheFirstLaterRecord)
{
    const std::vector<std::string> lines = {Line(1, 1, 1, "a", kT100), Line(2, 1, 1, "b", kT200),
                                            Line(3, 1, 1, "c", kT200), Line(4, 1, 1, "d", kT300)};
    EXPECT_EQ(TextLines({lines[0], lines[1], lines[2], Pending(kT200), lines[3]}),
              LoadAndSave(lines, 200));
    EXPECT_EQ(TextLines({Pending("01.01.1970_00:00:50"), lines[0], lines[1], lines[2], lines[3]}),
              LoadAndSave(lines, 50));
    EXPECT_EQ(TextLines({lines[0], lines[1], lines[2], lines[3], Pending("01.01.1970_00:06:40")}),
              LoadAndSave(lines, 400));
    EXPECT_EQ(TextLines(lines), LoadAndSave(lines, -1));
    EXPECT_EQ(TextLines({Pending(kT100)}), LoadAndSave({}, 100));
}

TEST_F(ScheduleTableTest, SerialMaximaAreUnsigned)
{
    WriteBytes(path(), TextLines({Line(7, 1, 1, "a", kT100), Line(-1, 1, 1, "b", kT100),
                                  Line(5, 1, 1, "c", kT100)}));
    ScheduleTable table;
    ASSERT_EQ(1, table.Load(path()));
    EXPECT_EQ(0xFFFFFFFFu, table.maxSerial1);
    EXPECT_EQ(0xFFFFFFFFu, table.maxSerial2);
}

TEST_F(ScheduleTableTest, GrowsAtThe200thRecordAndKeepsOrderAndContent)
{
    std::vector<std::string> lines;
    for (int n = 0; n < 199; ++n)
        lines.push_back(Line(n, n % 16, 1, "107," + std::to_string(n), kT100));
    WriteBytes(path(), TextLines(lines));
    {
        ScheduleTable table;
        ASSERT_EQ(1, table.Load(path()));
        EXPECT_EQ(199, table.count);
        EXPECT_EQ(200, table.capacity);
    }
    for (int n = 199; n < 1000; ++n)
        lines.push_back(Line(n, n % 16, 1, "107," + std::to_string(n), kT200));
    for (std::size_t records : {200u, 399u, 400u, 1000u}) {
        const std::vector<std::string> part(lines.begin(), lines.begin() + records);
        WriteBytes(path(), TextLines(part));
        ScheduleTable table;
        ASSERT_EQ(1, table.Load(path()));
        EXPECT_EQ(static_cast<std::int32_t>(records), table.count);
        EXPECT_EQ(records < 400 ? 400 : records < 800 ? 800 : 1600, table.capacity);
        EXPECT_EQ(1, table.Save(path()));
        EXPECT_EQ(TextLines(part), ReadBytes(path()));
    }
}

// The records end at the first line that cannot be one; that line and all
// after it are written back as they were, after the records and the new entry.
TEST_F(ScheduleTableTest, LinesAfterAnEmptyLineAreNotReadButKept)
{
    const std::string a = Line(1, 1, 1, "a", kT100);
    const std::string b = Line(2, 1, 1, "b", kT300);
    int loaded = 0;
    EXPECT_EQ(TextLines({a, Pending(kT200), "", b, "x"}), LoadAndSave({a, "", b, "x"}, 200, &loaded));
    EXPECT_EQ(1, loaded);
}

TEST_F(ScheduleTableTest, LinesTheTableCannotHoldAreKeptAsTheyCame)
{
    const std::string a = Line(1, 1, 1, "a", kT100);
    const std::string b = Line(2, 1, 1, "b", kT200);
    const std::string action127(127, 'c');
    const std::string cases[] = {
        Line(5, 1, 1, std::string(1400, 'L'), kT100),   // over 1022 characters
        Line(5, 1, 1, std::string(128, 'A'), kT100),    // action over 127
        std::string("5;0;0\0;0", 8),                    // a NUL byte
    };
    for (const std::string& odd : cases) {
        int loaded = 0;
        EXPECT_EQ(TextLines({a, Pending(kT300), odd, b}), LoadAndSave({a, odd, b}, 300, &loaded));
        EXPECT_EQ(1, loaded);
    }
    int loaded = 0;
    const std::string fits = Line(5, 1, 1, action127, kT100);
    EXPECT_EQ(TextLines({a, fits, b}), LoadAndSave({a, fits, b}, -1, &loaded));
    EXPECT_EQ(3, loaded);
}

TEST_F(ScheduleTableTest, AFieldNineteenWithoutATimestampIsWrittenBackAsItCame)
{
    // Past 2038, before 1970, no timestamp at all, empty before a 20th
    // field, and the longest text a record carries.
    const std::string odd[] = {
        Line(1, 1, 1, "107,60", "15.03.2039_10:00:00"), Line(2, 1, 1, "a", "31.12.1969_12:00:00"),
        Line(3, 1, 1, "b", "not a time"), Line(4, 1, 1, "c", "") + ";20th",
        Line(5, 1, 1, "d", "") + std::string(kKeptStampMax, 'x'),
    };
    const std::string a = Line(6, 1, 1, "a", kT100);
    const std::string b = Line(7, 1, 1, "b", kT300);
    int loaded = 0;
    EXPECT_EQ(TextLines({odd[0], odd[1], odd[2], Line(4, 1, 1, "c", ""), a, odd[4], Pending(kT200), b}),
              LoadAndSave({odd[0], odd[1], odd[2], odd[3], a, odd[4], b}, 200, &loaded));
    EXPECT_EQ(7, loaded);
    // Longer than a record carries: the line and the rest stay as text.
    const std::string longer = Line(5, 1, 1, "d", "") + std::string(kKeptStampMax + 1, 'x');
    EXPECT_EQ(TextLines({a, Pending(kT200), longer, b}), LoadAndSave({a, longer, b}, 200, &loaded));
    EXPECT_EQ(1, loaded);
}

TEST_F(ScheduleTableTest, AFailedRewriteLeavesTheFileAsItWas)
{
    const std::string before = TextLines({Line(1, 1, 1, "a", kT100)});
    WriteBytes(path(), before);
    const std::string fresh = path_ + ".new";
    ASSERT_EQ(0, make_directory(fresh.c_str()));  // the new file cannot be made
    ScheduleTable table;
    ASSERT_EQ(1, table.Load(path()));
    table.pending.present = 1;
    EXPECT_EQ(0, table.Save(path()));
    EXPECT_EQ(before, ReadBytes(path()));
#ifdef _WIN32
    _rmdir(fresh.c_str());
#else
    rmdir(fresh.c_str());
#endif
    EXPECT_EQ(1, table.Save(path()));
    EXPECT_EQ("<missing>", ReadBytes(fresh.c_str()));
}

#ifdef _WIN32
// The Windows runtime converts no time before 1970.
TEST_F(ScheduleTableTest, AStartTimeLocaltimeCannotConvertIsWrittenEmpty)
{
    ScheduleTable table;
    table.pending.present = 1;
    table.pending.startTime = -1;
    std::strcpy(table.pending.action, "P");
    ASSERT_EQ(1, table.Save(path()));
    EXPECT_EQ(TextLines({"0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;P;"}), ReadBytes(path()));
}
#endif
