#pragma once

// Copies every entry of the package folder whose name does not begin
// with a full stop into the UPS manager folder, overwriting, and lists
// each tried target in the deletion list (its path into kPathBuffer
// bytes). Stops at the first failed copy and returns false; true when
// nothing failed, also for a missing or empty package folder. 2000 when
// the deletion list cannot be created (nothing is copied then).
bool CopyPackageFiles(const char* sourceFolder, const char* targetFolder, char* deletionList);
