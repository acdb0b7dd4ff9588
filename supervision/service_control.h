#pragma once

#include "supervision/dependency_list.h"

#include <windows.h>

// Self-contained operations on another service: each opens the SCM and the
// service, does one thing, closes both and returns a plain result. None
// waits for a state change and none reports an error anywhere.

// 0 and the service's dwCurrentState on success; -1 on any failure, the
// out value untouched.
int QueryServiceState(const char* serviceName, DWORD* state);

// 0 when the stop control was accepted, else -1.
int StopServiceByName(const char* serviceName);

// 0 when the start was accepted, else -1. The service gets one argument,
// its own name.
int StartServiceByName(const char* serviceName);

// 1 when the service's configuration was read and name is not in its
// dependency list; 0 when it is, or on any failure. Writes nothing.
int IsDependencyMissing(const char* serviceName, const char* name);

// Adds (DEPEND_ADD) or removes (DEPEND_REMOVE) name in the service's
// dependency list. 1 when the list needed a change and the new list was
// handed to the SCM (whose own result is not looked at); 0 otherwise.
int EditDependency(const char* serviceName, const char* name, DependencyMode mode);
