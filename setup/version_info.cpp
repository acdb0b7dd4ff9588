#include "setup/version_info.h"

#include <cstring>

namespace {

std::uint32_t Word32(const unsigned char* at)
{
    return at[0] | (at[1] << 8) | (at[2] << 16) | (static_cast<std::uint32_t>(at[3]) << 24);
}

}  // namespace

bool FindFixedFileInfo(const unsigned char* resource, std::size_t size, FixedFileInfo* out)
{
    if (size < 4 || (resource[2] | (resource[3] << 8)) == 0)
        return false;
    for (std::size_t at = 4; at + sizeof(FixedFileInfo) <= size; at += 4) {
        if (Word32(resource + at) == kFixedFileInfoSignature) {
            std::memcpy(out, resource + at, sizeof(FixedFileInfo));
            return true;
        }
    }
    return false;
}

int CompareVersionPair(std::uint32_t installedMS, std::uint32_t installedLS,
                       std::uint32_t newMS, std::uint32_t newLS)
{
    if (installedMS != newMS)
        return installedMS > newMS ? 1 : -1;
    if (installedLS != newLS)
        return installedLS > newLS ? 1 : -1;
    return 0;
}
