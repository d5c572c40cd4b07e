#pragma once

#include "config/project_config.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace srctdy {

// The options in effect for one file, and where each came from.
struct ResolvedOptions {
    ConversionOptions options;
    std::map<std::string, std::string, std::less<>> sources; // key -> origin; absent: default
    std::string projectConfig; // the .srctdy.toml that applied; "" when none
};

// Which files beside the command line are read.
struct ConfigFiles {
    bool read = true;       // false: no .srctdy.toml and no .editorconfig (--no-config)
    std::string configPath; // one .srctdy.toml for every file instead of the lookup (--config)
};

// Puts the layers together, weakest first: the start-up defaults, the file's .editorconfig
// properties, its .srctdy.toml, then the command line. Each file is read once. Paths given
// here are absolute; the current directory is never read.
class OptionResolver {
public:
    OptionResolver(ConversionOptions defaults, std::vector<OptionSetting> commandLine,
                   ConfigFiles files);

    // The options for the file at path (absolute; it need not exist). Returns "" or the
    // error, one line naming the file, line and key.
    std::string resolve(const std::string& path, ResolvedOptions& out);

    // The .srctdy.toml that governs the files of folder (absolute); nullptr when none. On an
    // error, nullptr and error is set.
    const ProjectConfig* configFor(const std::string& folder, std::string& error);

private:
    ConversionOptions defaults_;
    std::vector<OptionSetting> commandLine_;
    ConfigFiles files_;
    std::map<std::string, std::unique_ptr<ProjectConfig>> configs_; // by path
    std::map<std::string, std::string> errors_;                     // by path
    std::map<std::string, std::string> nearest_;                    // folder -> config path
    std::map<std::string, bool> editorConfigAbove_;                 // folder -> any up to /

    bool editorConfigAbove(const std::string& folder);
};

// The desktop program's starting options for folder (absolute): its .srctdy.toml (the
// nearest from folder upward) over startup; only the file's own keys change. Returns "" or
// the error; on an error, or without a file, options hold startup and settings the
// defaults. configPath gets the file that was read ("" when none).
std::string LoadFolderOptions(const std::string& folder, const FormatOptions& startup,
                              FormatOptions& options, ConvertSettings& settings,
                              std::string& configPath);

} // namespace srctdy
