"""What a Session's services wrote to their stderr: Wine's event log is a
stub that keeps nothing, so event reports are read from its trace."""

import re

# Events of a process that is no service go to its own stderr; the file
# trace shows when the new schedule file is made.
PROCESS_TRACE = "-all,fixme+advapi,trace+eventlog,trace+file"

class EventsMixin:
    def trace(self):
        """What the session's services wrote to their stderr (event reports and the like)."""
        with open(self.services_log, "rb") as log:
            return log.read().decode("utf-8", "replace")

    def event_reports(self):
        """(type, id, strings) of each ReportEvent call seen in the services' trace."""
        text = self.trace()
        reports = []
        for m in re.finditer(r"ReportEventW \([^,]*,0x([0-9a-f]+),0x[0-9a-f]+,0x([0-9a-f]+)", text):
            reports.append((int(m.group(1), 16), int(m.group(2), 16)))
        return reports

    def event_records(self):
        """(type, id, source, [insertion strings]) of each ReportEvent call
        in the services' trace. Wine's event log is a stub that keeps
        nothing: the source is the one its thread last registered, and the
        strings follow the call's own trace line on that thread."""
        sources, records, open_record = {}, [], {}
        for line in self.trace().splitlines():
            m = re.match(r"([0-9a-f]{4}):", line)
            if not m:
                continue
            thread = m.group(1)
            m = re.search(r'RegisterEventSourceA \([^,]*,"(.*)"\)', line)
            if m:
                sources[thread] = m.group(1)
                continue
            m = re.search(r"fixme:advapi:ReportEventW \([^,]*,0x([0-9a-f]+),0x[0-9a-f]+,"
                          r"0x([0-9a-f]+),[^,]*,0x([0-9a-f]+)", line)
            if m:
                record = (int(m.group(1), 16), int(m.group(2), 16), sources.get(thread), [])
                records.append(record)
                open_record[thread] = (record, int(m.group(3), 16))
                continue
            # Wine traces a warning's strings as warn:, an error's as err:.
            m = re.search(r'(?:trace|warn|err):eventlog:ReportEventW L"(.*)"$', line)
            if m and thread in open_record:
                record, count = open_record[thread]
                if len(record[3]) < count:
                    record[3].append(m.group(1))
        return records
