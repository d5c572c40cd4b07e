#include "cli/file_options.h"

#include "platform/string_table.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <unistd.h>

namespace srctdy {

namespace {

std::string CurrentFolder() {
    char buffer[PATH_MAX];
    return ::getcwd(buffer, sizeof buffer) ? std::string(buffer) : std::string("/");
}

// The canonical form of a folder; a folder that cannot be resolved is joined to the current
// directory as it is.
std::string AbsoluteFolder(const std::string& folder) {
    char resolved[PATH_MAX];
    if (::realpath(folder.empty() ? "." : folder.c_str(), resolved))
        return resolved;
    if (!folder.empty() && folder[0] == '/')
        return folder;
    return CurrentFolder() + "/" + folder;
}

// The file's absolute path: its folder resolved, its own name as it is (a link to a file
// takes the configuration of the folder it stands in).
std::string AbsoluteFile(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return AbsoluteFolder(".") + "/" + path;
    std::string folder = AbsoluteFolder(slash == 0 ? "/" : path.substr(0, slash));
    return (folder == "/" ? "" : folder) + "/" + path.substr(slash + 1);
}

ConfigFiles FilesFor(const CliOptions& options) {
    ConfigFiles files;
    files.read = !options.noConfig;
    if (!options.configPath.empty())
        files.configPath = AbsoluteFile(options.configPath);
    return files;
}

ConversionOptions Defaults(const CliOptions& options) {
    ConversionOptions defaults;
    defaults.settings.subFolderName = options.settings.subFolderName;
    defaults.settings.guard = options.settings.guard; // --fast: run settings, no file sets them
    return defaults;
}

} // namespace

FileOptions::FileOptions(const CliOptions& options)
    : options_(options), resolver_(Defaults(options), options.conversion, FilesFor(options)) {}

FolderRules FileOptions::rulesFor(const std::string& folder) {
    FolderRules rules{options_.fileTypes, options_.excludes, std::nullopt};
    const std::string absolute = AbsoluteFolder(folder);
    std::string problem;
    const ProjectConfig* config = resolver_.configFor(absolute, problem);
    if (!problem.empty() && error_.empty())
        error_ = problem;
    if (!config)
        return rules;
    if (!options_.typeGiven && config->fileTypes)
        rules.fileTypes = *config->fileTypes;
    if (!options_.excludeGiven && config->excludes) {
        rules.excludes = *config->excludes;
        // The globs are relative to the configuration's folder: name this folder from there.
        const std::string& base = config->folder;
        if (absolute == base)
            rules.excludeBase = "";
        else if (absolute.rfind(base == "/" ? "/" : base + "/", 0) == 0)
            rules.excludeBase = absolute.substr(base == "/" ? 1 : base.size() + 1);
    }
    return rules;
}

bool FileOptions::resolve(const std::string& path, ResolvedOptions& out) {
    std::string absolute;
    if (path == "-") {
        absolute = options_.assumeFilename ? AbsoluteFile(*options_.assumeFilename)
                                           : AbsoluteFolder(".") + "/-";
    } else {
        // The files of one folder resolve it once.
        const size_t slash = path.find_last_of('/');
        const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
        auto found = absoluteFolders_.find(folder);
        if (found == absoluteFolders_.end())
            found =
                absoluteFolders_.emplace(folder, AbsoluteFolder(slash == 0 ? "/" : folder)).first;
        const std::string& resolved = found->second;
        absolute = (resolved == "/" ? "" : resolved) + "/" +
                   (slash == std::string::npos ? path : path.substr(slash + 1));
    }
    std::string problem = resolver_.resolve(absolute, out);
    if (problem.empty())
        return true;
    if (error_.empty())
        error_ = problem;
    return false;
}

int PrintFileOptions(const CliOptions& options, std::ostream& out, std::ostream& err) {
    FileOptions files(options);
    ResolvedOptions resolved;
    const std::string& path = *options.printConfig;
    if (!files.resolve(path, resolved)) {
        err << "srctdy-cli: " << files.error() << "\n";
        return 2;
    }
    const std::string file = AbsoluteFile(path);
    FolderRules rules = files.rulesFor(file.substr(0, std::max<size_t>(1, file.rfind('/'))));
    if (!files.error().empty()) {
        err << "srctdy-cli: " << files.error() << "\n";
        return 2;
    }
    out << FormatText(text::kConfigOptionsInEffect, path) << "\n";
    out << "# .srctdy.toml: "
        << (options.noConfig                 ? text::kConfigNotRead
            : resolved.projectConfig.empty() ? text::kConfigNone
                                             : resolved.projectConfig)
        << "\n";
    for (const ConversionOptionSpec& spec : ConversionOptionTable()) {
        auto source = resolved.sources.find(spec.key);
        out << spec.key << " = " << ShowOption(spec.key, resolved.options) << "  # "
            << (source == resolved.sources.end() ? std::string(text::kConfigFromDefault)
                                                 : source->second)
            << "\n";
    }
    auto list = [](const std::vector<std::string>& patterns) {
        std::string text = "[";
        for (size_t i = 0; i < patterns.size(); ++i)
            text += (i ? ", \"" : "\"") + patterns[i] + "\"";
        return text + "]";
    };
    auto walkSource = [&](bool given, bool fromDefault) {
        return given         ? std::string(text::kConfigFromCommandLine)
               : fromDefault ? std::string(text::kConfigFromDefault)
                             : resolved.projectConfig;
    };
    out << "type = " << list(rules.fileTypes) << "  # "
        << walkSource(options.typeGiven, rules.fileTypes == options.fileTypes) << "\n";
    out << "exclude = " << list(rules.excludes) << "  # "
        << walkSource(options.excludeGiven, rules.excludes == options.excludes) << "\n";
    return 0;
}

} // namespace srctdy
