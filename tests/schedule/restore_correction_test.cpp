#include "schedule/schedule_table.h"
#include "schedule_test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <string>

namespace {

struct Entry {
    std::int32_t start;
    const char* action;
    std::int32_t kindFlags;
    std::int32_t state;
    std::int32_t serial;
};

void Fill(ScheduleTable& table, std::initializer_list<Entry> entries)
{
    std::int32_t previous = 0;
    for (const Entry& entry : entries) {
        std::int32_t index = 0;
        ScheduleRecord* record = table.Append(&index);
        ASSERT_NE(nullptr, record);
        record->startTime = entry.start;
        std::strcpy(record->action, entry.action);
        record->kindFlags = entry.kindFlags;
        record->state = entry.state;
        record->serial1 = entry.serial;
        record->serial2 = entry.serial;
        record->present = 1;
        table.records[previous].nextIndex = index;
        previous = index;
        if (static_cast<std::uint32_t>(entry.serial) > table.maxSerial1)
            table.maxSerial1 = table.maxSerial2 = static_cast<std::uint32_t>(entry.serial);
    }
}

const std::int32_t kOpen = 1;
const std::int32_t kDone = 19;
const std::int32_t kHour = 3600;
const std::int32_t kNow = 1015398000;  // 06.03.2002_07:00:00 UTC

// The new entry's length, or -1 when none was made.
std::int32_t NewLength(std::initializer_list<Entry> entries, std::int32_t now = kNow,
                       std::int32_t correction = 0)
{
    ScheduleTable table;
    Fill(table, entries);
    if (table.FindRestoreBasis(now, correction) != 1) {
        EXPECT_EQ(0, table.pending.present);
        return -1;
    }
    EXPECT_EQ("107," + std::to_string(table.pending.minutes), std::string(table.pending.action));
    return table.pending.minutes;
}

class RestoreCorrectionTest : public ::testing::Test {
protected:
    void SetUp() override { UseTimeZone("UTC0"); }
};

}  // namespace

TEST_F(RestoreCorrectionTest, AWindowRunsStrictlyBetweenItsStartAndEnd)
{
    const Entry entry = {kNow - 600, "107,10", 1, kOpen, 1};
    EXPECT_EQ(-1, NewLength({entry}, kNow - 600));
    EXPECT_EQ(10, NewLength({entry}, kNow - 599));
    EXPECT_EQ(1, NewLength({entry}, kNow - 1));  // 10 - 599 / 60
    EXPECT_EQ(-1, NewLength({entry}, kNow));
}

TEST_F(RestoreCorrectionTest, OnlyOpen107EntriesWithALengthRun)
{
    for (const char* action : {"107,0", "107,-5", "107", "107,", "1070", "10,600", " 107,600",
                               "107,-71582788"}) {
        EXPECT_EQ(-1, NewLength({{kNow - 60, action, 1, kOpen, 1}})) << action;
    }
    EXPECT_EQ(-1, NewLength({{kNow - 60, "107,600", 1, kDone, 1}}));
    EXPECT_EQ(599, NewLength({{kNow - 60, "107x600", 1, kOpen, 1}}));  // the fourth is skipped
    // A length past 32 bits of seconds is a long window, not a wrapped one.
    EXPECT_EQ(71582787, NewLength({{kNow - 60, "107,71582788", 1, kOpen, 1}}));
}

TEST_F(RestoreCorrectionTest, RunningKind1EntriesAreAllDoneAndTheFirstIsTheBasis)
{
    ScheduleTable table;
    Fill(table, {{kNow - 10 * kHour, "107,700", 1, kOpen, 1},
                 {kNow - kHour, "107,120", 5, kOpen, 2},
                 {kNow - 2 * kHour, "107,600", 8, kOpen, 3},
                 {kNow - 2 * kHour, "107,100", 1, kOpen, 4}});
    ASSERT_EQ(1, table.FindRestoreBasis(kNow, 0));
    EXPECT_EQ(kDone, table.records[1].state);
    EXPECT_EQ(kDone, table.records[2].state);
    EXPECT_EQ(kOpen, table.records[3].state);  // kind 8: not touched
    EXPECT_EQ(kOpen, table.records[4].state);  // over before now
    EXPECT_EQ(100, table.pending.minutes);     // 700 - 600 from the first
}

TEST_F(RestoreCorrectionTest, KindsAreTriedInTheOrder1Then8Then4)
{
    const Entry kind4 = {kNow - kHour, "107,100", 4, kOpen, 1};
    const Entry kind8 = {kNow - kHour, "107,200", 8, kOpen, 1};
    const Entry kind1 = {kNow - kHour, "107,300", 1, kOpen, 1};
    EXPECT_EQ(240, NewLength({kind4, kind8, kind1}));
    EXPECT_EQ(240, NewLength({kind1, kind8, kind4}));
    // A running kind-8 entry always overlaps a running kind-4 one, which
    // mask 9 then refuses; here the kind-8 one is blocked as well.
    EXPECT_EQ(-1, NewLength({kind4, kind8, {kNow - 2 * kHour, "107,90", 1, kDone, 1}}));
    EXPECT_EQ(140, NewLength({kind4, kind8}));
    EXPECT_EQ(40, NewLength({kind4}));
}

TEST_F(RestoreCorrectionTest, KindFlagsDecideTheKindByTheBits1And4And8)
{
    EXPECT_EQ(60, NewLength({{kNow - kHour, "107,120", 5, kOpen, 1}}));   // kind 1
    EXPECT_EQ(60, NewLength({{kNow - kHour, "107,120", 8, kOpen, 1}}));   // kind 8, clear
    EXPECT_EQ(-1, NewLength({{kNow - kHour, "107,120", 12, kOpen, 1}}));  // kind 4, blocks itself
    for (std::int32_t flags : {2, 16, 32, 0})
        EXPECT_EQ(-1, NewLength({{kNow - kHour, "107,120", flags, kOpen, 1}})) << flags;

    ScheduleTable table;
    Fill(table, {{kNow - kHour, "107,120", 8, kOpen, 1}});
    ASSERT_EQ(1, table.FindRestoreBasis(kNow, 0));
    EXPECT_EQ(kOpen, table.records[1].state);  // a kind-8 basis stays open
}

TEST_F(RestoreCorrectionTest, DoneAndPastEntriesBlockOverlappingCandidates)
{
    const Entry candidate = {kNow - 2 * kHour, "107,180", 8, kOpen, 1};
    const Entry laterCandidate = {kNow - kHour, "107,180", 8, kOpen, 1};
    const Entry doneKind1 = {kNow - 3 * kHour, "107,61", 1, kDone, 1};   // ends a minute in
    const Entry pastKind1 = {kNow - 3 * kHour, "107,61", 1, kOpen, 1};
    const Entry touching = {kNow - 3 * kHour, "107,60", 1, kDone, 1};    // ends at its start
    const Entry doneKind8 = {kNow - 3 * kHour, "107,120", 8, kDone, 1};
    EXPECT_EQ(-1, NewLength({candidate, doneKind1}));
    EXPECT_EQ(-1, NewLength({pastKind1, candidate}));
    EXPECT_EQ(60, NewLength({candidate, touching}));
    EXPECT_EQ(60, NewLength({candidate, doneKind8}));  // kind 8 is tested against bit 1 only
    EXPECT_EQ(120, NewLength({candidate, laterCandidate, doneKind1}));  // the first clear one
}

TEST_F(RestoreCorrectionTest, NewLengthIsTheRestLessTheCorrectionInWholeMinutes)
{
    const Entry entry = {kNow - 300, "107,10", 1, kOpen, 1};  // 300 s left
    EXPECT_EQ(5, NewLength({entry}, kNow, 0));
    EXPECT_EQ(1, NewLength({entry}, kNow, 240));
    EXPECT_EQ(0, NewLength({entry}, kNow, 300));
    EXPECT_EQ(0, NewLength({entry}, kNow, 359));
    EXPECT_EQ(1, NewLength({entry}, kNow, 360));  // below 0 becomes 1
    EXPECT_EQ(1, NewLength({entry}, kNow, 100000));
    EXPECT_EQ(15, NewLength({entry}, kNow, -630));  // -330 / 60 truncates to -5
    EXPECT_EQ(2147483647, NewLength({{kNow - 1, "107,2147483647", 1, kOpen, 1}}, kNow, -2147483647 - 1));
}

TEST_F(RestoreCorrectionTest, NewEntryCarriesTheProductsValues)
{
    ScheduleTable table;
    Fill(table, {{kNow - 9 * kHour, "107,600", 1, kOpen, 11}, {kNow + kHour, "x", 0, kOpen, -1}});
    table.maxSerial2 = 11;
    ASSERT_EQ(1, table.FindRestoreBasis(kNow, 180));
    const ScheduleRecord& p = table.pending;
    EXPECT_EQ(1, p.present);
    EXPECT_EQ(kNow, p.madeTime);
    const std::int32_t tm[9] = {0, 0, 7, 6, 2, 102, 3, 64, 0};
    EXPECT_EQ(0, std::memcmp(tm, p.madeTm, sizeof tm));
    EXPECT_EQ(0, p.serial1);  // one past 0xFFFFFFFF
    EXPECT_EQ(12, p.serial2);
    EXPECT_EQ(33, p.kindFlags);
    EXPECT_EQ(kOpen, p.state);
    EXPECT_EQ(kNow, p.number15);
    EXPECT_EQ(300, p.number16);
    EXPECT_EQ(1, p.number17);
    EXPECT_STREQ("107,57", p.action);
    EXPECT_EQ(kNow, p.startTime);
}

TEST_F(RestoreCorrectionTest, NothingIsMadeFromAnEmptyTable)
{
    ScheduleTable table;
    table.pending.present = 1;
    EXPECT_EQ(0, table.FindRestoreBasis(kNow, 0));
    EXPECT_EQ(0, table.pending.present);
}
