#pragma once

#include <string>

namespace srctdy {

// The settings file keeps one thing between runs: the last chosen folder, as the first line
// of "SRCTDY.INI" in the start-up folder, ended by CR LF. The path is kept as the file
// system's bytes; nothing in it is interpreted.

// startupFolder + "/SRCTDY.INI". startupFolder is the current directory at start, read once
// by the caller (CurrentFolder() in app/current_folder.h).
std::string SettingsPathFor(const std::string& startupFolder);

// The folder saved in the file at settingsPath: its first line, whatever its length, without
// the line end (LF, or CR LF). Empty when there is no file, it cannot be read or it is empty.
// A folder that no longer exists is returned all the same.
std::string LoadSettings(const std::string& settingsPath);

// Writes folderPath and CR LF as the whole file, through a temporary file beside it that then
// replaces it, so a failure leaves the previous file as it was. Returns whether the file was
// written; callers ignore a failure (a read-only folder keeps no settings).
bool SaveSettings(const std::string& settingsPath, const std::string& folderPath);

} // namespace srctdy
