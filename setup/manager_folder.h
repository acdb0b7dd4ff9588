#pragma once

// The UPS manager folder: drive and directory of the program that the
// Merlow service's ImagePath names, read as the SCM reads it (a REG_EXPAND_SZ
// value expanded, surrounding double quotes removed with the arguments
// after them), into kPathBuffer bytes. On failure stores 1000 and returns
// false.
bool GetManagerFolder(char* destination);
