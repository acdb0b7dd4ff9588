#pragma once

// Copies every entry of the package folder whose name does not begin
// with a full stop into the UPS manager folder, overwriting, and lists
// each tried target in the deletion list (its path into kPathBuffer
// bytes). Stops at the first failed copy and returns false; true when
// nothing failed, also for a missing or empty package folder. A path
// that cannot be formed counts as a failed copy. 2000 when the deletion
// list cannot be created (nothing is copied then) or not every line of it
// reached the file; false then too.
bool CopyPackageFiles(const char* sourceFolder, const char* targetFolder, char* deletionList);
