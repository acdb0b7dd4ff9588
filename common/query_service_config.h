#pragma once

#include "common/service_config.h"

#include <windows.h>

#include <cstddef>

// A service's configuration as the SCM gives it, in a buffer of the fixed
// size; a configuration that does not fit counts as unreadable.
class ServiceConfig {
public:
    bool Read(SC_HANDLE service);

    const QUERY_SERVICE_CONFIGA& Config() const
    {
        return *reinterpret_cast<const QUERY_SERVICE_CONFIGA*>(buffer_);
    }

    // The dependency list and the bytes it may take up to the buffer's
    // end; an absent list is the empty list. Where the SCM's pointer does
    // not lie inside the buffer the list is taken as unreadable, whatever
    // the SCM handed back.
    bool Dependencies(const char** list, std::size_t* size) const;

private:
    alignas(QUERY_SERVICE_CONFIGA) char buffer_[kServiceConfigBufferSize];
};
