#pragma once

#include "batch/file_renaming.h"
#include "config/project_config.h"
#include "engine/convert_file.h"
#include "engine/format_options.h"

#include <optional>
#include <string>
#include <vector>

namespace srctdy {

// Everything the command line asked for.
struct CliOptions {
    FormatOptions format;          // the start-up defaults and the command line's options
    ConvertSettings settings;      // (a file's configuration comes between them: see conversion)
    std::string encoding = "auto"; // --encoding: auto, cp932 or utf-8
    std::vector<OptionSetting> conversion;  // the conversion options as given, in order
    bool noConfig = false;                  // read no .srctdy.toml and no .editorconfig
    std::string configPath;                 // --config: one .srctdy.toml for every file
    std::optional<std::string> printConfig; // --print-config: show the options of this file
    bool typeGiven = false;                 // --type given (a configuration's type yields)
    bool excludeGiven = false;              // --exclude given (a configuration's yields)
    bool progress = false; // a progress line on standard error (a terminal, not --quiet)
    bool overwrite = false;
    bool toStdout = false;
    std::vector<std::string> fileTypes = {"*.c"}; // patterns for folder arguments
    bool check = false;                // convert in memory, list the files that would change
    bool diff = false;                 // like check, and print a unified diff of each
    bool recursive = false;            // walk folder arguments into their sub-folders
    std::vector<std::string> excludes; // globs of paths (relative to a folder argument) to skip
    bool followLinks = false;   // convert files (and write sub-folders) that links in a folder
                                // argument lead out of it
    bool sync = kSyncByDefault; // fsync each file before its rename, and its folder after
    bool quiet = false;         // only failures are reported
    bool verbose = false;       // every file is named, and a summary ends the run
    std::optional<std::string> assumeFilename; // for "-": the name behind %filename%
    std::optional<RenameKind> rename;
    unsigned jobs = 0; // files converted at once; 0: one per processor
    bool help = false;
    bool version = false;
    std::vector<std::string> paths;
};

// Parses argv. On a usage error returns false and puts a one-line reason into error.
bool ParseCommandLine(const std::vector<std::string>& args, CliOptions& options,
                      std::string& error);

} // namespace srctdy
