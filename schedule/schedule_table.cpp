#include "schedule/schedule_table.h"

#include "common/dbcs.h"
#include "common/decimal.h"
#include "common/file_commit.h"
#include "common/unique_file.h"
#include "schedule/schedule_file.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace {

constexpr char kNewFileSuffix[] = ".new";
constexpr std::size_t kMaxPathLength = 259;  // MAX_PATH less the end byte
constexpr std::size_t kUnreadStart = 65536;

}  // namespace

void ScheduleTable::FreeMemory::operator()(void* memory) const
{
    std::free(memory);
}

ScheduleTable::ScheduleTable()
    : records(static_cast<ScheduleRecord*>(std::calloc(kInitialCapacity, sizeof(ScheduleRecord)))),
      pending(),
      capacity(kInitialCapacity),
      count(0),
      maxSerial1(0),
      maxSerial2(0)
{
}

ScheduleTable::~ScheduleTable() = default;

ScheduleRecord* ScheduleTable::Append(std::int32_t* index)
{
    if (!records)
        return nullptr;
    if (count + 1 >= capacity) {
        // The first growth is to 400 slots, as the product always did;
        // after that the table doubles, so that loading stays linear.
        const std::int32_t step = capacity > kInitialCapacity ? capacity : kInitialCapacity;
        if (capacity > INT32_MAX - step ||
            static_cast<std::size_t>(capacity + step) > SIZE_MAX / sizeof(ScheduleRecord))
            return nullptr;
        // realloc can grow a large block without copying it. The slots
        // beyond count are zeroed as they are handed out.
        void* grown = std::realloc(records.get(), sizeof(ScheduleRecord) * (capacity + step));
        if (grown == nullptr)
            return nullptr;
        records.release();
        records.reset(static_cast<ScheduleRecord*>(grown));
        capacity += step;
    }
    ++count;
    *index = count;
    records[count] = ScheduleRecord();
    return &records[count];
}

ScheduleRecord* ScheduleTable::First()
{
    if (!records || records[0].nextIndex <= 0 || records[0].nextIndex > count)
        return nullptr;
    return &records[records[0].nextIndex];
}

int ScheduleTable::ParseLine(const char* line, ScheduleRecord* record)
{
    std::int32_t* const numbers[] = {
        &record->madeTime,  &record->madeTm[0], &record->madeTm[1], &record->madeTm[2],
        &record->madeTm[3], &record->madeTm[4], &record->madeTm[5], &record->madeTm[6],
        &record->madeTm[7], &record->madeTm[8], &record->serial1,   &record->serial2,
        &record->kindFlags, &record->state,     &record->number15,  &record->number16,
        &record->number17,
    };
    const int kNumbers = sizeof numbers / sizeof numbers[0];
    // The numbers and the timestamp are read where they stand: each
    // reader stops at the ";" that ends its field.
    int result = 0;
    const char* rest = line;
    for (int k = 0; *rest != '\0'; ++k) {
        const char* end = rest;
        while (*end != ';' && *end != '\0')
            ++end;
        if (k < kNumbers) {
            *numbers[k] = ParseDecimal(rest);
        } else if (k == kNumbers) {
            if (NextField(rest, ';', record->action, sizeof record->action) == nullptr)
                return -1;
        } else if (k == kNumbers + 1) {
            record->startTime = ParseTimestamp(rest, record->stamp);
            record->stampTime = record->startTime;
            // Written back from the value, the field would come out empty.
            if (record->stamp[0] == '\0') {
                const std::size_t length = static_cast<std::size_t>(end - rest);
                if (length > kKeptStampMax || stamps_.size >= INT32_MAX - kKeptStampMax)
                    return -1;
                const std::size_t at = stamps_.size;
                if (!stamps_.Add(rest, length) || !stamps_.Add("", 1))
                    return -1;
                record->keptStamp = static_cast<std::int32_t>(at) + 1;
            }
            result = 1;
        }
        rest = *end == ';' ? end + 1 : end;
    }
    return result;
}

const char* ScheduleTable::KeptStamp(const ScheduleRecord& record) const
{
    return record.keptStamp > 0 && static_cast<std::size_t>(record.keptStamp) <= stamps_.size
               ? stamps_.bytes.get() + record.keptStamp - 1
               : nullptr;
}

namespace {

// Whether the file holds a 0x1A byte, where reading in text mode ends it
// for the Windows runtime, and what the file is. 1 or 0; -1 when it cannot
// be read. The time is taken first: a write during the read changes it.
int HoldsEndOfFileMark(const char* path, FileIdentity* identity)
{
    unique_file file(std::fopen(path, "rb"));
    if (!file)
        return -1;
    identity->writeTime = StreamWriteTime(file.get());
    bool found = false;
    char chunk[16384];
    for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0;) {
        found = found || std::memchr(chunk, 0x1A, got) != nullptr;
        AddToIdentity(identity, chunk, got);
    }
    return std::ferror(file.get()) ? -1 : found ? 1 : 0;
}

}  // namespace

int ScheduleTable::Load(const char* path)
{
    maxSerial1 = 0;
    maxSerial2 = 0;
    unique_file file(std::fopen(path, "r"));
    if (!file)
        return 0;
    // What follows a 0x1A would never be read, and so lost in the rewrite.
    // Read before the lines are, so that a write in between shows as a
    // change when the file is replaced.
    identity_ = FileIdentity();
    if (HoldsEndOfFileMark(path, &identity_) != 0) {
        loadedInPart_ = true;
        return 0;
    }
    identified_ = true;
    LineReader reader(file.get());
    char line[kScheduleLineRead];
    int length = 0;
    std::int32_t previous = 0;
    while (ReadScheduleLine(reader, line, sizeof line, &length) == 1) {
        ScheduleRecord parsed = {};
        if (ParseLine(line, &parsed) < 0) {
            // Kept as it came, newline and all.
            if (static_cast<std::size_t>(length) > std::strlen(line))
                line[length - 1] = '\n';
            break;
        }
        std::int32_t index = 0;
        ScheduleRecord* slot = Append(&index);
        if (slot == nullptr) {
            loadedInPart_ = true;
            return 0;
        }
        *slot = parsed;
        slot->present = 1;
        slot->nextIndex = 0;
        records[previous].nextIndex = index;
        previous = index;
        if (static_cast<std::uint32_t>(parsed.serial1) > maxSerial1)
            maxSerial1 = static_cast<std::uint32_t>(parsed.serial1);
        if (static_cast<std::uint32_t>(parsed.serial2) > maxSerial2)
            maxSerial2 = static_cast<std::uint32_t>(parsed.serial2);
        length = 0;
    }
    if (reader.Failed() || !KeepUnread(reader, line, static_cast<std::size_t>(length))) {
        loadedInPart_ = true;
        return 0;
    }
    return 1;
}

bool ScheduleTable::Kept::Add(const char* more, std::size_t length)
{
    if (length == 0)
        return true;
    if (size + length > capacity) {
        std::size_t wanted = capacity > 0 ? capacity : kUnreadStart;
        while (wanted < size + length) {
            if (wanted > SIZE_MAX / 2)
                return false;
            wanted *= 2;
        }
        char* grown = static_cast<char*>(std::realloc(bytes.get(), wanted));
        if (grown == nullptr)
            return false;
        bytes.release();
        bytes.reset(grown);
        capacity = wanted;
    }
    std::memcpy(bytes.get() + size, more, length);
    size += length;
    return true;
}

bool ScheduleTable::KeepUnread(LineReader& reader, const char* start, std::size_t startLength)
{
    if (!unread_.Add(start, startLength))
        return false;
    char chunk[4096];
    for (;;) {
        const std::size_t size = static_cast<std::size_t>(reader.Read(chunk, sizeof chunk));
        if (size == 0)
            return !reader.Failed();
        if (!unread_.Add(chunk, size))
            return false;
    }
}

int ScheduleTable::WritePending(std::FILE* stream, const ScheduleRecord& record)
{
    if (!record.present)
        return 1;
    char line[kScheduleLineSize];
    FormatScheduleLine(line, record, record.startTime);
    return std::fputs(line, stream) >= 0 ? 1 : 0;
}

bool ScheduleTable::WriteAll(std::FILE* stream)
{
    bool pendingDue = pending.present != 0;
    char line[kScheduleLineSize];
    std::int32_t steps = 0;
    for (const ScheduleRecord* record = First(); record != nullptr && steps < count; ++steps) {
        if (pendingDue && pending.startTime < record->startTime) {
            if (!WritePending(stream, pending))
                return false;
            pendingDue = false;
        }
        FormatScheduleLine(line, *record, record->startTime, KeptStamp(*record));
        if (std::fputs(line, stream) < 0)
            return false;
        const std::int32_t next = record->nextIndex;
        record = next > 0 && next <= count ? &records[next] : nullptr;
    }
    if (pendingDue && !WritePending(stream, pending))
        return false;
    return unread_.size == 0 ||
           std::fwrite(unread_.bytes.get(), 1, unread_.size, stream) == unread_.size;
}

int ScheduleTable::Save(const char* path)
{
    if (loadedInPart_)
        return 0;
    const std::size_t length = std::strlen(path);
    std::unique_ptr<char[]> fresh(new (std::nothrow) char[length + sizeof kNewFileSuffix]);
    if (!fresh)
        return 0;
    std::memcpy(fresh.get(), path, length);
    std::memcpy(fresh.get() + length, kNewFileSuffix, sizeof kNewFileSuffix);
    if (length + sizeof kNewFileSuffix - 1 > kMaxPathLength) {
        // The path with ".new" would not fit MAX_PATH: the new file takes
        // the path with its last character made "~", as long as the path
        // itself. A stale one from a crash is emptied by "w" like any other.
        std::size_t last = 0;
        for (std::size_t at = 0; at < length; at += static_cast<std::size_t>(CharacterLength(path + at)))
            last = at;
        const char mark = length - last == 1 && path[last] == '~' ? '_' : '~';
        for (std::size_t at = last; at < length; ++at)
            fresh[at] = mark;
        fresh[length] = '\0';
    }

    unique_file stream(std::fopen(fresh.get(), "w"));
    if (!stream)
        return 0;
    bool written = WriteAll(stream.get());
    written = CommitStream(stream.get()) && written;
    written = stream.close() && written;
    // Replaced by a rename, the file would get the new one's attributes
    // and security, the folder's defaults, instead of its own. Whatever
    // was written to the file since Load read it must not be replaced.
    const int moved = !written                ? 0
                      : identified_           ? MoveOverIfUnchanged(fresh.get(), path, identity_)
                      : MoveOverKeeping(fresh.get(), path);
    if (moved != 1) {
        const unsigned long error = LastSystemError();
        std::remove(fresh.get());
        SetLastSystemError(error);  // the failure's, for the caller to report
    }
    return moved;
}
