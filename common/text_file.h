#pragma once

// Writes text to a file in text mode, replacing what was there: on Windows
// every line feed reaches the disk as CR LF, which is what cmd.exe and the
// product's own batch files expect. 0 on success, -1 when the file could
// not be opened or not every byte was written.
int WriteTextFile(const char* path, const char* text);
