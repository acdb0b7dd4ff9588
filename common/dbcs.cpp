#include "common/dbcs.h"

#ifdef _WIN32
#include <windows.h>
#endif

bool IsLeadByte(unsigned char byte)
{
#ifdef _WIN32
    return IsDBCSLeadByte(byte) != FALSE;
#else
    // The host build stands in for code page 932, the target systems' own.
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
#endif
}

int CharacterLength(const char* text)
{
    return IsLeadByte(static_cast<unsigned char>(text[0])) && text[1] != '\0' ? 2 : 1;
}
