#pragma once

#include "config/option_table.h"

#include <optional>
#include <string>
#include <vector>

namespace srctdy {

// One setting of a conversion option, and where it came from.
struct OptionSetting {
    std::string key;
    OptionValue value;
    std::string origin; // the file that holds it; "" for the command line
    int line = 0;       // its line in origin (1-based); 0 when it has none
};

// Where a setting came from, for messages: "--KEY" or "PATH:LINE: KEY".
std::string DescribeSetting(const OptionSetting& setting);

// A .srctdy.toml, read and checked.
struct ProjectConfig {
    std::string path;                    // the file
    std::string folder;                  // its folder (canonical): relative paths start here
    std::vector<OptionSetting> settings; // conversion options, in the file's order; a template
                                         // is already an absolute path inside folder
    std::optional<std::vector<std::string>> fileTypes; // type = [...]
    std::optional<std::vector<std::string>> excludes;  // exclude = [...], relative to folder
};

inline constexpr std::string_view kProjectConfigName = ".srctdy.toml";

// Reads the .srctdy.toml at path. Returns "" when it is good, else one line naming the file,
// the line and the key ("PATH:LINE: KEY must be ..."). Nothing is thrown.
std::string LoadProjectConfig(const std::string& path, ProjectConfig& config);

// The nearest .srctdy.toml from folder (absolute) up to the root; "" when there is none.
std::string FindProjectConfig(const std::string& folder);

// The reason two settings of one layer exclude each other, or "" when none do.
std::string CheckExclusive(const std::vector<OptionSetting>& layer);

// Whether path (relative to folder, or absolute), with links followed, names something at or
// under folder (canonical). A path that does not exist yet is judged by its existing part.
bool StaysInside(const std::string& folder, const std::string& path, std::string& resolved);

} // namespace srctdy
