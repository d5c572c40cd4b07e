#pragma once

#include "cli/cli_options.h"
#include "cli/file_walk.h"
#include "config/option_resolver.h"

#include <map>
#include <ostream>
#include <string>

namespace srctdy {

// The options of each file of a run: the start-up defaults, the file's .editorconfig and
// .srctdy.toml, then the command line. Relative paths are taken against the current
// directory here, the one place that reads it.
class FileOptions {
public:
    explicit FileOptions(const CliOptions& options);

    // A walked folder's file types and excludes: its configuration's, unless the command
    // line gave them. A bad configuration is kept in error().
    FolderRules rulesFor(const std::string& folder);

    // The options for path as the command line names it ("-": standard input, looked up from
    // --assume-filename's folder, else the current directory). false: see error().
    bool resolve(const std::string& path, ResolvedOptions& out);

    // The first configuration error met; "" when none.
    const std::string& error() const { return error_; }

private:
    const CliOptions& options_;
    OptionResolver resolver_;
    std::string error_;
    std::map<std::string, std::string> absoluteFolders_; // as named -> resolved
};

// --print-config: writes the options in effect for the file and where each came from.
// Returns the exit status.
int PrintFileOptions(const CliOptions& options, std::ostream& out, std::ostream& err);

} // namespace srctdy
