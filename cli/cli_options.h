#pragma once

#include "engine/format_options.h"

#include <optional>
#include <string>
#include <vector>

namespace srctdy {

enum class RenameKind { Upper, Lower, CToCpp, CppToC };

// Everything the command line asked for.
struct CliOptions {
    FormatOptions format;
    ConvertSettings settings;
    bool overwrite = false;
    bool toStdout = false;
    std::string fileType = "*.c";
    std::optional<std::string> assumeFilename; // for "-": the name behind %filename%
    std::optional<RenameKind> rename;
    bool help = false;
    bool version = false;
    std::vector<std::string> paths;
};

// Parses argv. On a usage error returns false and puts a one-line reason into error.
bool ParseCommandLine(const std::vector<std::string>& args, CliOptions& options,
                      std::string& error);

} // namespace srctdy
