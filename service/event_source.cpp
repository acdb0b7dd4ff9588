#include "service/event_source.h"

#include "common/merlow_service.h"
#include "common/unique_handle.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr char kEventLogKey[] = "SYSTEM\\CurrentControlSet\\Services\\Eventlog\\System";

// False when the source name would not fit; nothing is then touched.
bool SourceKeyPath(const char* source, char (&path)[1024])
{
    const int length = std::snprintf(path, sizeof path, "%s\\%s", kEventLogKey, source);
    return length > 0 && static_cast<size_t>(length) < sizeof path;
}

}  // namespace

int InstallEventSource(const char* source, const char* messageFile)
{
    char path[1024];
    if (!SourceKeyPath(source, path))
        return 0;
    unique_hkey key;
    char noClass[] = "";
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, noClass, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, key.put(), nullptr) != ERROR_SUCCESS)
        return 0;
    RegSetValueExA(key.get(), "EventMessageFile", 0, REG_EXPAND_SZ,
                   reinterpret_cast<const BYTE*>(messageFile),
                   static_cast<DWORD>(std::strlen(messageFile) + 1));
    const DWORD types = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;
    RegSetValueExA(key.get(), "TypesSupported", 0, REG_DWORD,
                   reinterpret_cast<const BYTE*>(&types), sizeof types);
    return 1;
}

int RemoveEventSource(const char* source)
{
    char path[1024];
    if (!SourceKeyPath(source, path))
        return 0;
    return RegDeleteKeyA(HKEY_LOCAL_MACHINE, path) == ERROR_SUCCESS ? 1 : 0;
}

int ReportServiceEvent(WORD type, DWORD eventId, WORD stringCount, DWORD dataSize,
                       const char** strings, void* data)
{
    unique_event_source source(RegisterEventSourceA(nullptr, kCompanionServiceName));
    if (!source)
        return 0;
    ReportEventA(source.get(), type, 0, eventId, nullptr, stringCount, dataSize, strings, data);
    return 1;
}
