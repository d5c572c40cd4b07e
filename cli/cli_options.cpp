#include "cli/cli_options.h"

#include "batch/batch_run.h"
#include "platform/string_table.h"

#include <string_view>

namespace srctdy {

namespace {

// Splits "--name=value"; value is empty and hasValue false for a bare "--name".
struct Arg {
    std::string_view name;
    std::string_view value;
    bool hasValue = false;
};

Arg SplitArg(std::string_view arg) {
    size_t eq = arg.find('=');
    if (eq == std::string_view::npos)
        return {arg, {}, false};
    return {arg.substr(0, eq), arg.substr(eq + 1), true};
}

// A conversion option by its command-line name ("--trim", "--no-trim", "--indent"); negated
// tells a "--no-" form.
const ConversionOptionSpec* FindCliConversion(std::string_view name, bool& negated) {
    if (name.substr(0, 2) != "--")
        return nullptr;
    std::string_view key = name.substr(2);
    negated = key.substr(0, 3) == "no-";
    const ConversionOptionSpec* spec = FindConversionOption(negated ? key.substr(3) : key);
    if (negated && spec && spec->form != CliForm::NegatableFlag)
        return nullptr;
    return spec;
}

// Options that change nothing of a rename: it takes the files named and those of --type in
// the folders named, nothing more.
bool IgnoredByRename(std::string_view name) {
    for (std::string_view ignored : {"-r", "--recursive", "--exclude", "--fast", "--follow-links",
                                     "--verbose", "--config", "--no-config", "--jobs"})
        if (name == ignored)
            return true;
    return false;
}

} // namespace

bool ParseCommandLine(const std::vector<std::string>& args, CliOptions& o, std::string& error) {
    bool sawSubfolder = false;
    bool conversionOption = false; // anything that --rename cannot stand beside
    std::string renameIgnores;     // the first option a rename would do nothing with
    bool optionsEnded = false;
    ConversionOptions checked; // each value is checked as it comes

    for (size_t i = 0; i < args.size(); ++i) {
        std::string raw = args[i];
        // "-j N" and "-jN" are short for --jobs=N.
        if (!optionsEnded && raw.rfind("-j", 0) == 0) {
            if (raw == "-j") {
                if (i + 1 == args.size()) {
                    error = text::kCliJNeedsNumber;
                    return false;
                }
                raw = "--jobs=" + args[++i];
            } else {
                raw = "--jobs=" + raw.substr(2);
            }
        }
        if (optionsEnded || raw == "-" || raw.size() < 2 || raw[0] != '-') {
            o.paths.push_back(raw);
            continue;
        }
        if (raw == "--") {
            optionsEnded = true;
            continue;
        }
        Arg a = SplitArg(raw);
        auto needValue = [&]() {
            if (!a.hasValue)
                error = FormatText(text::kCliNeedsValue, {a.name, a.name});
            return a.hasValue;
        };
        auto noValue = [&]() {
            if (a.hasValue)
                error = FormatText(text::kCliTakesNoValue, a.name);
            return !a.hasValue;
        };
        bool ok = true;
        bool conversion = true;
        bool negated = false;
        if (const ConversionOptionSpec* spec = FindCliConversion(a.name, negated)) {
            OptionValue value{OptionValue::Kind::Boolean, negated ? "false" : "true"};
            switch (spec->form) {
            case CliForm::Flag:
            case CliForm::NegatableFlag:
                ok = noValue();
                break;
            case CliForm::Value:
                ok = needValue();
                value = {OptionValue::Kind::Text, std::string(a.value)};
                break;
            case CliForm::OptionalValue:
                if (a.hasValue)
                    value = {OptionValue::Kind::Text, std::string(a.value)};
                break;
            }
            if (ok) {
                std::string reason = ApplyOption(spec->key, value, checked);
                if (!reason.empty()) {
                    error = "--" + std::string(spec->key) + " " + reason;
                    ok = false;
                }
            }
            o.conversion.push_back({std::string(spec->key), value, "", static_cast<int>(i) + 1});
        } else if (a.name == "--help") {
            ok = noValue();
            o.help = true;
            conversion = false;
        } else if (a.name == "--version") {
            ok = noValue();
            o.version = true;
            conversion = false;
        } else if (a.name == "--subfolder") {
            ok = needValue();
            o.settings.subFolderName = a.value;
            sawSubfolder = true;
        } else if (a.name == "--overwrite") {
            ok = noValue();
            o.overwrite = true;
        } else if (a.name == "--stdout") {
            ok = noValue();
            o.toStdout = true;
        } else if (a.name == "--type") {
            ok = needValue();
            conversion = false;
            o.fileTypes.clear();
            o.typeGiven = true;
            std::string_view rest = a.value;
            while (ok) {
                size_t comma = rest.find(',');
                std::string_view one = rest.substr(0, comma);
                if (!one.empty())
                    o.fileTypes.emplace_back(one);
                if (comma == std::string_view::npos)
                    break;
                rest.remove_prefix(comma + 1);
            }
            if (ok && o.fileTypes.empty()) {
                error = text::kCliTypeNeedsPattern;
                ok = false;
            }
        } else if (a.name == "--check" || a.name == "--diff") {
            ok = noValue();
            o.check = true;
            o.diff = o.diff || a.name == "--diff";
        } else if (a.name == "-r" || a.name == "--recursive") {
            ok = noValue();
            o.recursive = true;
            conversion = false;
        } else if (a.name == "--exclude") {
            ok = needValue();
            o.excludes.emplace_back(a.value);
            o.excludeGiven = true;
            conversion = false;
        } else if (a.name == "--fast") {
            ok = noValue();
            o.settings.guard = false;
            conversion = false;
        } else if (a.name == "--follow-links") {
            ok = noValue();
            o.followLinks = true;
            conversion = false;
        } else if (a.name == "--fsync" || a.name == "--no-fsync") {
            ok = noValue();
            o.sync = a.name == "--fsync";
        } else if (a.name == "--quiet" || a.name == "--verbose") {
            ok = noValue();
            (a.name == "--quiet" ? o.quiet : o.verbose) = true;
            conversion = false;
        } else if (a.name == "--config") {
            ok = needValue();
            o.configPath = a.value;
            conversion = false;
            if (ok && o.configPath.empty()) {
                error = text::kCliConfigNeedsFile;
                ok = false;
            }
        } else if (a.name == "--no-config") {
            ok = noValue();
            o.noConfig = true;
            conversion = false;
        } else if (a.name == "--print-config") {
            conversion = false;
            if (!a.hasValue && i + 1 < args.size())
                o.printConfig = args[++i];
            else if (a.hasValue && !a.value.empty())
                o.printConfig = std::string(a.value);
            else {
                error = text::kCliPrintConfigNeedsPath;
                ok = false;
            }
        } else if (a.name == "--assume-filename") {
            ok = needValue();
            o.assumeFilename = std::string(a.value);
        } else if (a.name == "--jobs") {
            ok = needValue();
            conversion = false;
            unsigned long n = 0;
            bool digits = !a.value.empty() && a.value.size() < 6 &&
                          a.value.find_first_not_of("0123456789") == std::string_view::npos;
            if (digits)
                n = std::stoul(std::string(a.value));
            if (ok && (n < 1 || n > 1024)) {
                error = text::kCliJobsRange;
                ok = false;
            }
            o.jobs = static_cast<unsigned>(n);
        } else if (a.name == "--rename") {
            ok = needValue();
            conversion = false;
            if (a.value == "upper")
                o.rename = RenameKind::Upper;
            else if (a.value == "lower")
                o.rename = RenameKind::Lower;
            else if (a.value == "c-to-cpp")
                o.rename = RenameKind::CToCpp;
            else if (a.value == "cpp-to-c")
                o.rename = RenameKind::CppToC;
            else if (ok) {
                error = text::kCliRenameKinds;
                ok = false;
            }
        } else {
            error = FormatText(text::kCliUnknownOption, a.name);
            ok = false;
        }
        if (!ok)
            return false;
        conversionOption = conversionOption || conversion;
        if (renameIgnores.empty() && IgnoredByRename(a.name))
            renameIgnores = a.name;
    }

    if (o.help || o.version)
        return true;
    if (o.rename && conversionOption) {
        error = text::kCliRenameAlone;
        return false;
    }
    // An option a rename would pass over in silence is refused instead.
    if (o.rename && !renameIgnores.empty()) {
        error = FormatText(text::kCliRenameIgnores, renameIgnores);
        return false;
    }
    error = CheckExclusive(o.conversion);
    if (!error.empty())
        return false;
    if (o.noConfig && !o.configPath.empty()) {
        error = text::kCliConfigAndNoConfig;
        return false;
    }
    // What the command line alone gives over the start-up defaults; a file's configuration
    // goes between the two when each file is converted.
    ConversionOptions own;
    own.settings = o.settings;
    for (const OptionSetting& setting : o.conversion)
        ApplyOption(setting.key, setting.value, own);
    FinishOptions(own);
    o.format = own.format;
    o.settings = own.settings;
    o.encoding = own.encoding;
    // Under --encoding=cp932 every file needs the texts in code page 932.
    if (o.settings.forcedEncoding == TextEncoding::Cp932) {
        const std::string problem = CodePageTextsProblem(o.format);
        if (!problem.empty()) {
            error = "--" + problem;
            return false;
        }
    }
    if (o.quiet && o.verbose) {
        error = text::kCliQuietAndVerbose;
        return false;
    }
    if (o.check && (o.overwrite || o.toStdout)) {
        error = text::kCliCheckWritesNothing;
        return false;
    }
    if (o.overwrite && (o.toStdout || sawSubfolder)) {
        error = text::kCliOverwriteAlone;
        return false;
    }
    if (!o.overwrite && !o.toStdout && o.settings.subFolderName.empty()) {
        error = text::kCliSubFolderNeedsName;
        return false;
    }
    if (!o.overwrite && !o.toStdout && !IsValidSubFolderName(o.settings.subFolderName)) {
        error = text::kCliBadSubFolder;
        return false;
    }
    if (o.paths.empty() && !o.printConfig) {
        error = text::kCliNoPath;
        return false;
    }
    return true;
}

} // namespace srctdy
