#pragma once

// The UPS manager folder: drive and directory of the Merlow service's
// ImagePath, used unchanged (no unquoting, no expansion), into kPathBuffer
// bytes. On failure stores 1000 and returns false.
bool GetManagerFolder(char* destination);
