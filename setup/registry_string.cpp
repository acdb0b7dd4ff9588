#include "setup/registry_string.h"

#include "common/unique_handle.h"

bool ReadRegistryString(HKEY root, const char* keyPath, const char* value, char* destination,
                        DWORD size, DWORD* type)
{
    destination[0] = '\0';
    HKEY raw = nullptr;
    if (RegOpenKeyExA(root, keyPath, 0, KEY_READ, &raw) != ERROR_SUCCESS)
        return false;
    unique_hkey key(raw);
    DWORD length = size;
    if (RegQueryValueExA(key.get(), value, nullptr, type, reinterpret_cast<BYTE*>(destination),
                         &length) != ERROR_SUCCESS) {
        destination[0] = '\0';
        return false;
    }
    // Stored data need not end in a zero byte; add one where there is room.
    if (length > 0 && destination[length - 1] == '\0')
        return true;
    if (length >= size) {
        destination[0] = '\0';
        return false;
    }
    destination[length] = '\0';
    return true;
}
