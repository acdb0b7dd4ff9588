#pragma once

// Runs the previous installation's companion uninstall script from the
// folder of the product's UninstallString (a quoted value names the
// program up to its closing quote) and waits, at most 30 s from its
// start, until it has ended and the previous companion has stopped.
// Whether the script could be started; 1001 when the value is unreadable.
bool RemovePreviousCompanion();

// Sets a demand-start Merlow to automatic start (display name "Merlow").
void RestoreManagerAutoStart();
