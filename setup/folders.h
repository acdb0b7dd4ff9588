#pragma once

#include <cstddef>

// Paths of the installer. Folder strings end in a backslash whenever they
// come from path splitting; a path is at most 259 bytes, and every buffer
// below holds two of them joined, so joining never cuts.
inline constexpr std::size_t kPathBuffer = 1024;

// The companion's base name; its program is "%s%s.exe" in a folder.
inline constexpr char kCompanionBaseName[] = "merlowsp";
inline constexpr char kPackageFolderName[] = "files\\";
inline constexpr char kDeletionListName[] = "upsombxfile.bat";
inline constexpr char kCompanionUninstallScript[] = "unmerlowsp.bat";
inline constexpr char kHookTemporaryName[] = "merlowsp.tmp";
// As long as kCompanionUninstallScript, so it fits wherever that does.
inline constexpr char kCompanionScriptTemporaryName[] = "unmerlowsp.tmp";

// folder followed by name, into a buffer of kPathBuffer bytes. 0, or -1
// (destination empty) when the result would not fit.
int JoinPath(char* destination, const char* folder, const char* name);

// folder followed by "merlowsp.exe".
int CompanionPath(char* destination, const char* folder);

// The parent of the UPS manager folder: one trailing backslash removed,
// then drive and directory of what is left ("D:\A\B\" gives "D:\A\").
// 0, or -1 (destination empty) when it would not fit.
int ProductFolderOf(const char* managerFolder, char* destination, std::size_t destinationSize);
