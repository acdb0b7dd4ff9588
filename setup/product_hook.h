#pragma once

// Hooks the companion uninstall script into the product's unups.bat, in
// the parent of the UPS manager folder, unless it already holds the hook
// line of this release or of an earlier one; writes the companion uninstall script anew each time. On failure
// stores 2001 and returns false; unups.bat is then as it was.
bool HookProductUninstall(const char* managerFolder, const char* companionPath);
