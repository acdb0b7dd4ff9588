"""What the tests, the soak and the demo know of the product alike: its
event ids, keys and message texts, the records of the UPS manager's
schedule file, the layout of the UPS manager's stand-in, and the lines the
child fixtures log."""

import datetime
import os
import re
import zoneinfo

from .prefix import fixture_path, product_path

# -- event ids and the installer's message boxes ------------------------------------
STARTED_EVENT, STOPPED_EVENT, SCHEDULE_EVENT = 0x40000007, 0x40000008, 0x40000064
NOT_STARTED_EVENT, NOT_SAVED_EVENT = 0x80000065, 0x80000066  # warnings
EVENT_NAMES = {STARTED_EVENT: "MSG_SERVICE_STARTED", STOPPED_EVENT: "MSG_SERVICE_STOPPED",
               SCHEDULE_EVENT: "MSG_SCHEDULE_ADDED", NOT_STARTED_EVENT: "MSG_PROGRAM_NOT_STARTED",
               NOT_SAVED_EVENT: "MSG_SCHEDULE_NOT_SAVED"}
EVENTLOG_WARNING_TYPE = 2

MB_ICONERROR, MB_ICONWARNING, MB_ICONINFORMATION = 0x10, 0x30, 0x40
NO_FOLDER = "MERLOWｻｰﾋﾞｽのｲﾝｽﾄｰﾙ先ﾌｫﾙﾀﾞが見つかりませんでした。"
NOT_NEEDED = "この版数のUPS管理プログラムには必要ありません。"
SAME = "既に同じ版数がインストールされています。"
NEWER = "既に新しい版数がインストールされています。"
COPY_FAILED = "ファイルのコピーに失敗しました。"
COMPLETED = "ｲﾝｽﾄｰﾙが完了しました。"
FAILED = "ｲﾝｽﾄｰﾙに失敗しました。\nエラー番号：%d"

# -- keys -----------------------------------------------------------------------------
MERLOW_KEY = r"HKLM\SYSTEM\CurrentControlSet\Services\Merlow"
PARAMETERS = MERLOW_KEY + r"\Parameters"
UNINSTALL_KEY = r"HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Ombrix"

# -- the UPS manager's stand-in and the companion builds -----------------------------
PRODUCT = ("Ombrix",)
MANAGER_FOLDER = PRODUCT + ("Merlow",)
MANAGER_SERVICE = "Merlow"
MANAGER_IMAGE = "merlow.exe"


def manager_stand_in(version):
    """The stand-in UPS manager service that reports this file version."""
    return fixture_path(os.path.join("merlow-" + version, MANAGER_IMAGE))


def companion(version=None):
    """The shipped companion, or a test build at another product version."""
    if version is None:
        return product_path("merlowsp.exe")
    return fixture_path(os.path.join("companion-" + version, "merlowsp.exe"))


# -- records of upstrm.dat ---------------------------------------------------------------
# Wine hands the Unix TZ to the Windows environment, where the C runtime
# reads it in Microsoft's form ("Asia/Tokyo" would give it a wrong zone):
# each zone is passed in that form, which glibc reads alike.
ZONES = {"UTC": "UTC", "JST-9": "Asia/Tokyo"}


def stamp(t, zone):
    return datetime.datetime.fromtimestamp(t, zoneinfo.ZoneInfo(ZONES[zone])).strftime("%d.%m.%Y_%H:%M:%S")


def record(start, zone, serial, kind, state, action, made=1000):
    return "%d;0;0;0;1;0;70;4;0;0;%d;%d;%d;%d;%d;300;1;%s;%s" % (
        made, serial, serial, kind, state, made, action, stamp(start, zone))


def new_entry(t, zone, serial1, serial2, minutes):
    """The line the product's new entry must have, made at time t."""
    tm = datetime.datetime.fromtimestamp(t, zoneinfo.ZoneInfo(ZONES[zone])).timetuple()
    made = [tm.tm_sec, tm.tm_min, tm.tm_hour, tm.tm_mday, tm.tm_mon - 1, tm.tm_year - 1900,
            (tm.tm_wday + 1) % 7, tm.tm_yday - 1, 0]
    return "%d;%s;%d;%d;33;1;%d;300;1;107,%d;%s" % (
        t, ";".join(map(str, made)), serial1, serial2, t, minutes, stamp(t, zone))


def crlf(lines):
    return "".join(line + "\r\n" for line in lines).encode("cp932")


NUMBER = re.compile(rb"(0|-?[1-9][0-9]*)\Z")
STAMP = re.compile(rb"(\d\d)\.(\d\d)\.(\d{4})_(\d\d):(\d\d):(\d\d)\Z")


def parse_schedule(data):
    """upstrm.dat as the companion writes it: CR LF lines of 19 fields, 17
    numbers of 32 bits in plain decimal, the action (at most 127 bytes) and
    the timestamp (empty when the time had no local form). Returns the lines
    as lists of byte fields; raises ValueError naming the first bad line."""
    if not data:
        return []
    if not data.endswith(b"\r\n"):
        raise ValueError("the last line has no CR LF")
    lines = data[:-2].split(b"\r\n")
    for n, line in enumerate(lines, 1):
        fields = line.split(b";")
        problem = None
        if b"\r" in line or b"\n" in line:
            problem = "a bare CR or LF"
        elif len(fields) != 19:
            problem = "%d fields" % len(fields)
        elif not all(NUMBER.match(f) and -2**31 <= int(f) < 2**31 for f in fields[:17]):
            problem = "a field 1-17 that is no 32-bit decimal"
        elif len(fields[17]) > 127:
            problem = "an action of %d bytes" % len(fields[17])
        elif fields[18] and not valid_stamp(fields[18]):
            problem = "timestamp %r" % fields[18]
        if problem:
            raise ValueError("line %d has %s: %r" % (n, problem, line))
    return [line.split(b";") for line in lines]


def valid_stamp(text):
    m = STAMP.match(text)
    if not m:
        return False
    day, month, year, hour, minute, second = (int(g) for g in m.groups())
    return 1 <= day <= 31 and 1 <= month <= 12 and hour < 24 and minute < 60 and second < 60


def schedule_change(before, after):
    """None when `after` is `before` with at most one entry added by the
    correction and, only then, open kind-1 107 entries marked done (state
    19); otherwise what is wrong. `before` and `after` are parsed lines."""
    if len(after) == len(before):
        return None if after == before else "records changed without an entry added"
    if len(after) != len(before) + 1:
        return "%d records became %d" % (len(before), len(after))
    largest = max((int(f[10]) & 0xFFFFFFFF for f in before), default=0)
    for i, new in enumerate(after):
        kept = after[:i] + after[i + 1:]
        if all(same_but_done(old, now) for old, now in zip(before, kept)):
            if new[12] != b"33" or new[13] != b"1" or not new[17].startswith(b"107,"):
                return "the added entry is not an open 107 entry of kind 33: %r" % new
            if int(new[10]) & 0xFFFFFFFF != (largest + 1) & 0xFFFFFFFF:
                return "the added entry's serial %s does not follow %d" % (new[10], largest)
            return None
    return "an old record was lost or changed"


def same_but_done(old, new):
    if old == new:
        return True
    done = old[:13] + [b"19"] + old[14:]
    return (new == done and old[13] == b"1" and old[17].startswith(b"107")
            and int(old[12]) & 1 == 1)


# -- what the child fixtures and the stand-in log --------------------------------------
def read_log(path):
    """(Unix ms, what) of each "<ms> <what>" line of a fixture's log."""
    if not os.path.exists(path):
        return []
    with open(path, encoding="cp932") as f:
        return [(int(ms), what) for ms, what in (line.rstrip("\r\n").split(" ", 1) for line in f)]


def moment(log, prefix):
    hits = [ms for ms, what in log if what.startswith(prefix)]
    return hits[0] if hits else None
