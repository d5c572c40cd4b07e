#include "config/option_resolver.h"

#include "config/editor_config.h"
#include "platform/string_table.h"

#include <sys/stat.h>

namespace srctdy {

namespace {

std::string FolderOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos || slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::string Source(const OptionSetting& s) {
    if (s.origin.empty())
        return std::string(text::kConfigFromCommandLine);
    if (s.line == 0)
        return s.origin;
    return s.origin + ":" + std::to_string(s.line);
}

// Applies a layer that was checked when it was read.
void ApplyLayer(const std::vector<OptionSetting>& layer, ResolvedOptions& out) {
    for (const OptionSetting& s : layer) {
        ApplyOption(s.key, s.value, out.options);
        out.sources[s.key] = Source(s);
        if (s.key == "charset")
            out.sources["encoding"] = Source(s);
        // Setting one of two options that exclude each other turned the other off; turning one
        // off leaves the other as it stood, and where it came from.
        if (s.value.turnsOff())
            continue;
        for (const auto& [a, b] : ExclusiveOptions()) {
            if (s.key == a && out.sources.count(b))
                out.sources[std::string(b)] = Source(s);
            if (s.key == b && out.sources.count(a))
                out.sources[std::string(a)] = Source(s);
        }
    }
}

} // namespace

OptionResolver::OptionResolver(ConversionOptions defaults, std::vector<OptionSetting> commandLine,
                               ConfigFiles files)
    : defaults_(std::move(defaults)), commandLine_(std::move(commandLine)),
      files_(std::move(files)) {}

const ProjectConfig* OptionResolver::configFor(const std::string& folder, std::string& error) {
    if (!files_.read)
        return nullptr;
    std::string path = files_.configPath;
    if (path.empty()) {
        auto known = nearest_.find(folder);
        if (known == nearest_.end())
            known = nearest_.emplace(folder, FindProjectConfig(folder)).first;
        path = known->second;
    }
    if (path.empty())
        return nullptr;
    if (auto failed = errors_.find(path); failed != errors_.end()) {
        error = failed->second;
        return nullptr;
    }
    auto loaded = configs_.find(path);
    if (loaded == configs_.end()) {
        auto config = std::make_unique<ProjectConfig>();
        std::string problem = LoadProjectConfig(path, *config);
        if (!problem.empty()) {
            errors_.emplace(path, problem);
            error = problem;
            return nullptr;
        }
        loaded = configs_.emplace(path, std::move(config)).first;
    }
    return loaded->second.get();
}

// Whether folder or a folder above it holds an .editorconfig: most trees have none, and the
// library looks for one in every folder up to the root for every file.
bool OptionResolver::editorConfigAbove(const std::string& folder) {
    if (auto known = editorConfigAbove_.find(folder); known != editorConfigAbove_.end())
        return known->second;
    struct stat st;
    const std::string file = (folder == "/" ? "" : folder) + "/.editorconfig";
    const bool here = ::stat(file.c_str(), &st) == 0;
    const bool above = here || (folder != "/" && editorConfigAbove(FolderOf(folder)));
    editorConfigAbove_.emplace(folder, above);
    return above;
}

std::string OptionResolver::resolve(const std::string& path, ResolvedOptions& out) {
    out = ResolvedOptions{};
    out.options = defaults_;
    if (files_.read) {
        std::vector<OptionSetting> editor;
        std::string error;
        if (editorConfigAbove(FolderOf(path)))
            error = ReadEditorConfig(path, editor);
        if (!error.empty())
            return error;
        ApplyLayer(editor, out);
        const ProjectConfig* config = configFor(FolderOf(path), error);
        if (!error.empty())
            return error;
        if (config) {
            ApplyLayer(config->settings, out);
            out.projectConfig = config->path;
        }
    }
    ApplyLayer(commandLine_, out);
    FinishOptions(out.options);

    // A replacement text from one layer needs a search text from this or another.
    auto with = out.sources.find("with");
    if (with != out.sources.end() && !out.options.format.replaceOrDelete) {
        if (with->second == text::kConfigFromCommandLine)
            return std::string(text::kConfigWithNeedsReplace);
        return FormatText(text::kConfigWithNeedsReplaceIn, with->second);
    }
    return {};
}

std::string LoadFolderOptions(const std::string& folder, const FormatOptions& startup,
                              FormatOptions& options, ConvertSettings& settings,
                              std::string& configPath) {
    options = startup;
    settings = ConvertSettings{};
    configPath.clear();
    ConversionOptions defaults;
    defaults.format = startup;
    OptionResolver resolver(defaults, {}, ConfigFiles{});
    std::string error;
    const ProjectConfig* config = resolver.configFor(folder, error);
    if (!config)
        return error;
    ResolvedOptions resolved;
    resolved.options = defaults;
    ApplyLayer(config->settings, resolved);
    FinishOptions(resolved.options);
    options = resolved.options.format;
    settings.indentOn = resolved.options.settings.indentOn;
    settings.indentSizeIndex = resolved.options.settings.indentSizeIndex;
    configPath = config->path;
    return {};
}

} // namespace srctdy
