#pragma once

#include <windows.h>

// Move-only owners of Win32 handles, one per kind of handle, so that every
// handle is closed exactly once on every path.
template <typename Traits>
class UniqueHandle {
public:
    using pointer = typename Traits::pointer;

    UniqueHandle() = default;
    explicit UniqueHandle(pointer handle) : handle_(handle) {}
    ~UniqueHandle() { reset(); }

    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    pointer get() const { return handle_; }
    explicit operator bool() const { return Traits::valid(handle_); }

    pointer release()
    {
        pointer handle = handle_;
        handle_ = Traits::empty();
        return handle;
    }

    void reset(pointer handle = Traits::empty())
    {
        if (Traits::valid(handle_))
            Traits::close(handle_);
        handle_ = handle;
    }

    // For an out-parameter: closes what is held and gives the address the
    // new handle is written to, as in RegOpenKeyExA(..., key.put()).
    pointer* put()
    {
        reset();
        return &handle_;
    }

private:
    pointer handle_ = Traits::empty();
};

struct KernelHandleTraits {
    using pointer = HANDLE;
    static pointer empty() { return nullptr; }
    // CreateFile fails with INVALID_HANDLE_VALUE, most others with NULL.
    static bool valid(pointer h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void close(pointer h) { CloseHandle(h); }
};

struct ServiceHandleTraits {
    using pointer = SC_HANDLE;
    static pointer empty() { return nullptr; }
    static bool valid(pointer h) { return h != nullptr; }
    static void close(pointer h) { CloseServiceHandle(h); }
};

struct RegistryKeyTraits {
    using pointer = HKEY;
    static pointer empty() { return nullptr; }
    static bool valid(pointer h) { return h != nullptr; }
    static void close(pointer h) { RegCloseKey(h); }
};

struct EventSourceTraits {
    using pointer = HANDLE;
    static pointer empty() { return nullptr; }
    static bool valid(pointer h) { return h != nullptr; }
    static void close(pointer h) { DeregisterEventSource(h); }
};

struct ModuleTraits {
    using pointer = HMODULE;
    static pointer empty() { return nullptr; }
    static bool valid(pointer h) { return h != nullptr; }
    static void close(pointer h) { FreeLibrary(h); }
};

using unique_handle = UniqueHandle<KernelHandleTraits>;
using unique_schandle = UniqueHandle<ServiceHandleTraits>;
using unique_hkey = UniqueHandle<RegistryKeyTraits>;
using unique_event_source = UniqueHandle<EventSourceTraits>;
using unique_module = UniqueHandle<ModuleTraits>;

struct FindTraits {
    using pointer = HANDLE;
    static pointer empty() { return INVALID_HANDLE_VALUE; }
    static bool valid(pointer h) { return h != INVALID_HANDLE_VALUE; }
    static void close(pointer h) { FindClose(h); }
};
using unique_find = UniqueHandle<FindTraits>;

// A started process: both handles of its PROCESS_INFORMATION, closed
// together, and its id, which outlives neither.
class unique_process {
public:
    unique_process() = default;
    explicit unique_process(const PROCESS_INFORMATION& started)
        : process_(started.hProcess), thread_(started.hThread), id_(started.dwProcessId)
    {
    }

    HANDLE process() const { return process_.get(); }
    HANDLE thread() const { return thread_.get(); }
    DWORD id() const { return id_; }
    explicit operator bool() const { return static_cast<bool>(process_); }

    void reset()
    {
        thread_.reset();
        process_.reset();
        id_ = 0;
    }

private:
    unique_handle process_;
    unique_handle thread_;
    DWORD id_ = 0;
};
