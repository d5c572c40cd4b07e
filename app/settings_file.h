#pragma once

#include <string>

namespace srctdy {

// The settings file keeps one thing between runs: the last chosen folder, as the first line
// of "SRCTDY.INI" in the start-up folder, ended by CR LF. The path is kept as the file
// system's bytes; nothing in it is interpreted.

// startupFolder + "/SRCTDY.INI". startupFolder is the current directory at start, read once
// by the caller (CurrentFolder() in app/current_folder.h).
std::string SettingsPathFor(const std::string& startupFolder);

// The folder saved in the file at settingsPath: its first line, without the line end (LF, or
// CR LF), within the file's first 4,096 bytes. Empty when there is no file, it cannot be read,
// it is empty, or it is not a regular file (a pipe or a device is never waited for). A folder
// that no longer exists is returned all the same.
std::string LoadSettings(const std::string& settingsPath);

// Writes folderPath and CR LF as the whole file, through a temporary file beside it that then
// replaces it, so a failure leaves the previous file as it was. A link is written through to
// the file it names; the file keeps its mode. A file that is read-only, that the user may not
// write, or that is not a regular file is left as it was. Returns whether the file was
// written; callers ignore a failure (a read-only folder keeps no settings).
bool SaveSettings(const std::string& settingsPath, const std::string& folderPath);

} // namespace srctdy
