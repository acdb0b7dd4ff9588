#pragma once

// Restricts the search for DLLs loaded at run time to the system folder,
// so that none planted in the program's folder or the current directory
// is loaded. Called first thing in each program's entry.
void RestrictDllSearch();
