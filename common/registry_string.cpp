#include "common/registry_string.h"

#include "common/unique_handle.h"

bool QueryRegistryString(HKEY key, const char* value, char* destination, DWORD size, DWORD limit,
                         DWORD* type)
{
    DWORD length = limit;
    if (RegQueryValueExA(key, value, nullptr, type, reinterpret_cast<BYTE*>(destination),
                         &length) != ERROR_SUCCESS) {
        destination[0] = '\0';
        return false;
    }
    if (length > 0 && destination[length - 1] == '\0')
        return true;
    if (length >= size) {
        destination[0] = '\0';
        return false;
    }
    destination[length] = '\0';
    return true;
}

bool ReadRegistryString(HKEY root, const char* keyPath, const char* value, char* destination,
                        DWORD size, DWORD* type)
{
    destination[0] = '\0';
    unique_hkey key;
    if (RegOpenKeyExA(root, keyPath, 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        return false;
    return QueryRegistryString(key.get(), value, destination, size, size, type);
}
