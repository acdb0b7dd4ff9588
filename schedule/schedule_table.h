#pragma once

#include "common/file_commit.h"
#include "schedule/schedule_file.h"
#include "schedule/schedule_record.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>

// The whole of upstrm.dat in memory, with one new entry waiting to be put
// in time order. Slot 0 of records is the head of the chain: its
// nextIndex names the first record. Loaded records fill slots 1 to count
// in file order.
class ScheduleTable {
public:
    ScheduleTable();
    virtual ~ScheduleTable();
    ScheduleTable(const ScheduleTable&) = delete;
    ScheduleTable& operator=(const ScheduleTable&) = delete;

    // The zero-filled slot of the next record and its index (the new
    // count); nullptr when there is no memory for it, the table unchanged.
    ScheduleRecord* Append(std::int32_t* index);
    // The first record in file order; nullptr when the table is empty.
    ScheduleRecord* First();
    // Fills a zeroed record from a line. 1 when field 19 was reached, else
    // 0; -1 when the action is longer than a record holds, or a field 19
    // that must be kept as text is longer than kKeptStampMax or finds no
    // memory.
    int ParseLine(const char* line, ScheduleRecord* record);
    // Field 19 of a record as its line had it, when ParseLine kept it as
    // text; nullptr otherwise.
    const char* KeptStamp(const ScheduleRecord& record) const;

    // Reads the file. 1 when every line was taken in, either as a record
    // or, from the first line that cannot be one (an empty line, one too
    // long, one with a NUL byte or an over-long action) to the end, as
    // text that Save writes back unchanged. 0 when the file cannot be
    // opened or read, holds a 0x1A byte (where text mode would end it), or
    // memory ran out: Save then refuses, so that no line is lost.
    int Load(const char* path);
    // Writes the record's line when it is present. 1, or 0 when the write failed.
    int WritePending(std::FILE* stream, const ScheduleRecord& record);
    // Rewrites the file: every record in file order with the pending entry
    // before the first later one, then the text Load kept. The lines go to
    // a new file beside it (the path with ".new", or with its last character
    // made "~" where that would exceed MAX_PATH) that replaces the old one,
    // keeping its attributes and security, only once all of them reached
    // the disk, and only while the old one is still the file Load read
    // (its size, last write time and bytes). 1; 0 on failure, -1 when the
    // file changed since it was read: after either the old file is as it
    // was, and after a 0 LastSystemError (common/file_commit.h) tells why.
    int Save(const char* path);

    // The restore-time correction (restore_correction.cpp). Times are
    // seconds since 1970, correction in seconds.
    int FindRestoreBasis(std::int32_t now, std::int32_t correction);
    int MatchOpen107(std::int32_t index, std::int32_t* minutes, std::int32_t mask) const;
    int MatchDone107(std::int32_t index, std::int32_t* minutes, std::int32_t mask) const;
    void MarkDone(std::int32_t number, const std::int32_t* indices);
    int IsClear(std::int32_t candidate, std::int32_t mask) const;
    std::int32_t FirstClear(std::int32_t number, const std::int32_t* indices,
                            std::int32_t mask) const;
    int MakeRestoreEntry(std::int32_t start, std::int32_t minutes, std::int32_t now,
                         std::int32_t correction);

    struct FreeMemory {
        void operator()(void* memory) const;
    };

    std::unique_ptr<ScheduleRecord[], FreeMemory> records;
    ScheduleRecord pending;
    std::int32_t capacity;
    std::int32_t count;
    std::uint32_t maxSerial1;
    std::uint32_t maxSerial2;

private:
    // Bytes kept as the file had them.
    struct Kept {
        std::unique_ptr<char, FreeMemory> bytes;
        std::size_t size = 0;
        std::size_t capacity = 0;
        bool Add(const char* more, std::size_t length);
    };

    bool KeepUnread(LineReader& reader, const char* start, std::size_t startLength);
    bool WriteAll(std::FILE* stream);

    // What the records did not take in.
    Kept unread_;
    // Fields 19 the runtime gives no timestamp for, each NUL-terminated.
    Kept stamps_;
    bool loadedInPart_ = false;
    // What the file was when Load read it; Save replaces only that file.
    FileIdentity identity_;
    bool identified_ = false;
};

inline constexpr std::int32_t kInitialCapacity = 200;
