#pragma once

// The drive and directory of the running executable, ending in a
// backslash, into a buffer of at least 260 bytes; the empty string when
// the module path is unavailable. Always 1.
int GetProgramDirectory(char* destination);
