#pragma once

// What the suite relies on in the UPS manager service, which belongs to
// the UPS management product and lies outside the suite. Any Win32
// service registered under this name serves the supervision.

// The UPS manager service and the companion, as the SCM knows them (the
// SCM compares service names without regard to case; dependency entries
// are compared byte for byte).
inline constexpr char kManagerServiceName[] = "Merlow";
inline constexpr char kCompanionServiceName[] = "MERLOWSP";

// Its registry entry; the drive and directory of ImagePath are the UPS
// manager folder.
inline constexpr char kManagerServiceKey[] = "SYSTEM\\CurrentControlSet\\Services\\Merlow";
inline constexpr char kManagerImagePathValue[] = "ImagePath";

// Its program, with a version resource under the integer name 1.
inline constexpr char kManagerProgramName[] = "merlow.exe";

// Its parameters: "UpsDevice" (presence only) and "UpsDownDelay"
// (decimal text, seconds).
inline constexpr char kManagerParametersKey[] = "SYSTEM\\CurrentControlSet\\Services\\Merlow\\Parameters";
inline constexpr char kUpsDeviceValue[] = "UpsDevice";
inline constexpr char kUpsDownDelayValue[] = "UpsDownDelay";

// Its schedule file, in the UPS manager folder.
inline constexpr char kScheduleFileName[] = "upstrm.dat";

// The product's uninstall script, in the parent of the UPS manager folder,
// and its uninstall key.
inline constexpr char kProductUninstallScript[] = "unups.bat";
inline constexpr char kProductUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Ombrix";
inline constexpr char kProductUninstallValue[] = "UninstallString";
