#pragma once

// The installer's one error code for the whole run: 0 until an operation
// fails; a later failure overwrites an earlier one, nothing resets it.
inline constexpr int kErrorImagePath = 1000;        // UPS manager's ImagePath unreadable
inline constexpr int kErrorUninstallString = 1001;  // product's UninstallString unreadable
inline constexpr int kErrorBatchFile = 2000;        // a batch file could not be created
inline constexpr int kErrorHook = 2001;             // product uninstall script not hooked
inline constexpr int kErrorRegistration = 3000;     // "merlowsp setup" failed or did not end

void SetInstallError(int code);
int GetInstallError();
