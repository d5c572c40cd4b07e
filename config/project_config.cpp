#include "config/project_config.h"

#include "platform/string_table.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <toml++/toml.h>

namespace srctdy {

namespace {

std::string Where(const std::string& path, int line) {
    return path + ":" + std::to_string(line) + ": ";
}

std::string Parent(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos || slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::optional<std::string> RealPath(const std::string& path) {
    char resolved[PATH_MAX];
    if (!::realpath(path.c_str(), resolved))
        return std::nullopt;
    return std::string(resolved);
}

// A TOML value as an option value; arrays, tables, floats and dates fit no option.
OptionValue ToOptionValue(const toml::node& node) {
    if (auto b = node.as_boolean())
        return {OptionValue::Kind::Boolean, b->get() ? "true" : "false"};
    if (auto i = node.as_integer())
        return {OptionValue::Kind::Number, std::to_string(i->get())};
    if (auto s = node.as_string())
        return {OptionValue::Kind::Text, s->get()};
    return {OptionValue::Kind::Number, ""};
}

// type and exclude: an array of strings, or one string.
std::optional<std::vector<std::string>> ToPatterns(const toml::node& node) {
    std::vector<std::string> patterns;
    if (auto s = node.as_string()) {
        patterns.push_back(s->get());
    } else if (auto a = node.as_array()) {
        for (const toml::node& item : *a) {
            auto text = item.as_string();
            if (!text || text->get().empty())
                return std::nullopt;
            patterns.push_back(text->get());
        }
    } else {
        return std::nullopt;
    }
    return patterns;
}

} // namespace

std::string DescribeSetting(const OptionSetting& s) {
    if (s.origin.empty())
        return "--" + s.key;
    return Where(s.origin, s.line) + s.key;
}

std::string CheckExclusive(const std::vector<OptionSetting>& layer) {
    for (const auto& [a, b] : ExclusiveOptions()) {
        const OptionSetting* first = nullptr;
        const OptionSetting* second = nullptr;
        for (const OptionSetting& s : layer) {
            // Turning one of them off ("replace = false") stands beside anything.
            if (s.value.turnsOff())
                continue;
            if (s.key == a)
                first = &s;
            if (s.key == b)
                second = &s;
        }
        if (first && second) {
            const OptionSetting& later = first->line > second->line ? *first : *second;
            if (later.origin.empty())
                return FormatText(text::kConfigExcludeEachOther,
                                  {"--" + std::string(a), "--" + std::string(b)});
            return Where(later.origin, later.line) +
                   FormatText(text::kConfigExcludeEachOther, {a, b});
        }
    }
    return {};
}

bool StaysInside(const std::string& folder, const std::string& path, std::string& resolved) {
    std::string joined = !path.empty() && path[0] == '/' ? path : folder + "/" + path;
    // Resolve the longest part that exists; what follows may not climb out with "..".
    std::string existing = joined, rest;
    std::optional<std::string> real;
    while (!(real = RealPath(existing))) {
        size_t slash = existing.find_last_of('/');
        if (slash == std::string::npos)
            return false;
        std::string last = existing.substr(slash + 1);
        if (last == "..")
            return false;
        rest = rest.empty() ? last : last + "/" + rest;
        existing = slash == 0 ? "/" : existing.substr(0, slash);
    }
    if (rest.find("../") != std::string::npos || rest.find("/..") != std::string::npos)
        return false;
    resolved = rest.empty() ? *real : (*real == "/" ? "" : *real) + "/" + rest;
    return resolved == folder || resolved.rfind(folder == "/" ? "/" : folder + "/", 0) == 0;
}

std::string FindProjectConfig(const std::string& folder) {
    std::string dir = folder;
    for (;;) {
        std::string candidate = (dir == "/" ? "" : dir) + "/" + std::string(kProjectConfigName);
        struct stat st;
        if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode))
            return candidate;
        if (dir == "/" || dir.empty())
            return {};
        dir = Parent(dir);
    }
}

std::string LoadProjectConfig(const std::string& path, ProjectConfig& config) {
    config = ProjectConfig{};
    config.path = path;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return FormatText(text::kConfigCannotRead, path);
    std::stringstream bytes;
    bytes << in.rdbuf();
    std::optional<std::string> folder = RealPath(Parent(path));
    if (!folder)
        return FormatText(text::kConfigCannotRead, path);
    config.folder = *folder;

    toml::table table;
    try {
        table = toml::parse(bytes.str(), path);
    } catch (const toml::parse_error& e) {
        return Where(path, static_cast<int>(e.source().begin.line)) + std::string(e.description());
    } catch (const std::exception& e) {
        return path + ": " + e.what();
    }

    ConversionOptions scratch; // every value is checked here, whatever the command line says
    for (auto&& [key, node] : table) {
        const std::string name(key.str());
        const int line = static_cast<int>(key.source().begin.line);
        if (name == "type" || name == "exclude") {
            auto patterns = ToPatterns(node);
            if (!patterns || (name == "type" && patterns->empty()))
                return Where(path, line) + name + " " + std::string(text::kOptionPatterns);
            (name == "type" ? config.fileTypes : config.excludes) = std::move(*patterns);
            continue;
        }
        if (!FindConversionOption(name))
            return Where(path, line) + name + " " + std::string(text::kOptionUnknown);
        OptionSetting setting{name, ToOptionValue(node), path, line};
        const bool off = setting.value.turnsOff();
        if (name == "template" && !off) {
            std::string resolved;
            const std::string given = setting.value.kind == OptionValue::Kind::Text
                                          ? setting.value.text
                                          : std::string("FileTitle.txt");
            if (setting.value.kind == OptionValue::Kind::Number || given.empty())
                return Where(path, line) + name + " " + std::string(text::kOptionTemplateValue);
            if (!StaysInside(config.folder, given, resolved))
                return Where(path, line) + name + " " +
                       FormatText(text::kOptionTemplateOutside, config.folder);
            setting.value = {OptionValue::Kind::Text, resolved};
        }
        std::string reason = ApplyOption(name, setting.value, scratch);
        if (!reason.empty())
            return Where(path, line) + name + " " + reason;
        config.settings.push_back(std::move(setting));
    }
    // A file that takes code page 932 for every source needs its texts there.
    if (scratch.settings.forcedEncoding == TextEncoding::Cp932) {
        const std::string problem = CodePageTextsProblem(scratch.format);
        if (!problem.empty()) {
            const std::string key = problem.substr(0, problem.find(' '));
            int line = 0;
            for (const OptionSetting& s : config.settings)
                if (s.key == key)
                    line = s.line;
            return Where(path, line) + problem;
        }
    }
    std::stable_sort(config.settings.begin(), config.settings.end(),
                     [](const auto& a, const auto& b) { return a.line < b.line; });
    return CheckExclusive(config.settings);
}

} // namespace srctdy
