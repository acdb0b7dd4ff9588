#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

// The batch texts that undo an installation. They are written in text
// mode, so each \n reaches the disk as CR LF on Windows.

// One line of the deletion list: del "<target path>".
std::string DeletionLine(const char* targetPath);

// The companion uninstall script: remove the dependency, stop and
// unregister the companion, run and then delete the deletion list.
std::string CompanionUninstallScriptText(const char* companionPath, const char* managerFolder);

// The block put at the top of the product uninstall script: run the
// companion uninstall script in a child command interpreter, delete it.
std::string HookBlock(const char* scriptPath);

// Line 2 of the hook block, line end included; its presence in the
// product uninstall script marks the script as hooked.
std::string HookLine(const char* scriptPath);

// The hook line that earlier releases wrote, cmd /c "<script path>": a
// script hooked by one of them is hooked already.
std::string EarlierHookLine(const char* scriptPath);

// Writes the companion uninstall script into the product folder and gives
// its path (kPathBuffer bytes). On failure stores 2000 and returns false.
bool WriteCompanionUninstallScript(const char* productFolder, const char* companionPath,
                                   const char* managerFolder, char* scriptPath);

// Reads one line of at most size - 1 bytes, its line feed included (a
// longer line comes in several pieces). Unlike fgets it keeps zero bytes:
// the length is what was read. 0 at the end of the file.
std::size_t ReadLine(std::FILE* file, char* buffer, std::size_t size);

// Copies a product uninstall script line by line behind what out already
// holds, looking for any of the hook lines until the first match (byte
// for byte, line end included: \n or, as stored, CR LF). Both streams
// are binary, so every byte is copied as it is, a 0x1A included. Returns
// whether it matched; false too when writing failed (*written false).
bool CopyLookingForHook(std::FILE* in, std::FILE* out, const std::vector<std::string>& hookLines,
                        bool* written);
