#include "common/query_service_config.h"

bool ServiceConfig::Read(SC_HANDLE service)
{
    DWORD needed = 0;
    return QueryServiceConfigA(service, reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer_),
                               sizeof buffer_, &needed) != FALSE;
}

bool ServiceConfig::Dependencies(const char** list, std::size_t* size) const
{
    static const char empty[1] = {'\0'};
    const char* at = Config().lpDependencies;
    if (at == nullptr) {
        *list = empty;
        *size = sizeof empty;
        return true;
    }
    const char* end = buffer_ + sizeof buffer_;
    if (at < buffer_ + sizeof(QUERY_SERVICE_CONFIGA) || at >= end)
        return false;
    *list = at;
    *size = static_cast<std::size_t>(end - at);
    return true;
}
