#include "cli/cli_options.h"

#include "batch/batch_run.h"
#include "engine/cp932.h"

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

// A conversion text: UTF-8 in, code page 932 out.
bool ToCodePage(std::string_view option, std::string_view utf8, std::string& out,
                std::string& error) {
    auto converted = cp932::FromUtf8(utf8);
    if (!converted) {
        error = std::string(option) + ": the text cannot be written in code page 932";
        return false;
    }
    out = *converted;
    return true;
}

} // namespace

bool ParseCommandLine(const std::vector<std::string>& args, CliOptions& o, std::string& error) {
    bool deleteEmpty = false;
    bool sawSubfolder = false;
    bool sawWith = false;
    bool conversionOption = false; // anything that --rename cannot stand beside
    bool optionsEnded = false;
    FormatOptions& f = o.format;

    for (size_t i = 0; i < args.size(); ++i) {
        std::string raw = args[i];
        // "-j N" and "-jN" are short for --jobs=N.
        if (!optionsEnded && raw.rfind("-j", 0) == 0) {
            if (raw == "-j") {
                if (i + 1 == args.size()) {
                    error = "-j needs a number";
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
                error = std::string(a.name) + " needs a value (" + std::string(a.name) + "=...)";
            return a.hasValue;
        };
        auto noValue = [&]() {
            if (a.hasValue)
                error = std::string(a.name) + " takes no value";
            return !a.hasValue;
        };
        bool ok = true;
        bool conversion = true;
        if (a.name == "--help") {
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
        } else if (a.name == "--indent") {
            ok = needValue();
            static constexpr std::string_view kIndents[] = {"2", "4", "8", "tab"};
            bool known = false;
            for (int i = 0; i < 4; ++i) {
                if (a.value == kIndents[i]) {
                    o.settings.indentOn = true;
                    o.settings.indentSizeIndex = i;
                    known = true;
                }
            }
            if (a.value == "off") {
                o.settings.indentOn = false;
                known = true;
            }
            if (ok && !known) {
                error = "--indent must be 2, 4, 8, tab or off";
                ok = false;
            }
        } else if (a.name == "--trim" || a.name == "--no-trim") {
            ok = noValue();
            f.trimBlanks = a.name == "--trim";
        } else if (a.name == "--fullwidth" || a.name == "--no-fullwidth") {
            ok = noValue();
            f.fullWidthToHalfWidth = a.name == "--fullwidth";
        } else if (a.name == "--collapse-empty" || a.name == "--no-collapse-empty") {
            ok = noValue();
            f.collapseEmptyLines = a.name == "--collapse-empty";
        } else if (a.name == "--delete-empty") {
            ok = noValue();
            deleteEmpty = true;
        } else if (a.name == "--delete-lines") {
            ok = needValue() && ToCodePage(a.name, a.value, f.searchText, error);
            f.deleteMatchingLines = 1;
        } else if (a.name == "--replace") {
            ok = needValue() && ToCodePage(a.name, a.value, f.searchText, error);
            f.replaceOrDelete = 1;
        } else if (a.name == "--with") {
            ok = needValue() && ToCodePage(a.name, a.value, f.replaceText, error);
            sawWith = true;
        } else if (a.name == "--delete-if") {
            ok = needValue() && ToCodePage(a.name, a.value, f.conditionText, error);
            f.deleteConditionalBlocks = 1;
        } else if (a.name == "--definitions") {
            ok = noValue();
            f.insertDefinitionComments = 1;
        } else if (a.name == "--template") {
            f.insertHeaderTemplate = 1;
            f.templatePath = a.hasValue ? std::string(a.value) : "./FileTitle.txt";
        } else if (a.name == "--comments") {
            ok = needValue();
            static constexpr std::string_view kModes[] = {"keep", "line", "block", "split"};
            bool known = false;
            for (int i = 0; i < 4; ++i) {
                if (a.value == kModes[i]) {
                    f.commentMode = i;
                    known = true;
                }
            }
            if (ok && !known) {
                error = "--comments must be keep, line, block or split";
                ok = false;
            }
        } else if (a.name == "--function-names") {
            ok = noValue();
            f.insertFunctionNames = 1;
        } else if (a.name == "--type") {
            ok = needValue();
            conversion = false;
            o.fileTypes.clear();
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
                error = "--type needs at least one pattern";
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
            conversion = false;
        } else if (a.name == "--follow-links") {
            ok = noValue();
            o.followLinks = true;
            conversion = false;
        } else if (a.name == "--fsync" || a.name == "--no-fsync") {
            ok = noValue();
            o.sync = a.name == "--fsync";
        } else if (a.name == "--eol") {
            ok = needValue();
            if (a.value == "crlf")
                o.settings.lineEnds = LineEnds::CrLf;
            else if (a.value == "lf")
                o.settings.lineEnds = LineEnds::Lf;
            else if (a.value == "keep")
                o.settings.lineEnds = LineEnds::Keep;
            else if (ok) {
                error = "--eol must be crlf, lf or keep";
                ok = false;
            }
        } else if (a.name == "--quiet" || a.name == "--verbose") {
            ok = noValue();
            (a.name == "--quiet" ? o.quiet : o.verbose) = true;
            conversion = false;
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
                error = "--jobs must be a number from 1 to 1024";
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
                error = "--rename must be upper, lower, c-to-cpp or cpp-to-c";
                ok = false;
            }
        } else {
            error = "unknown option " + std::string(a.name);
            ok = false;
        }
        if (!ok)
            return false;
        conversionOption = conversionOption || conversion;
    }

    if (o.help || o.version)
        return true;
    // Deleting empty lines leaves nothing to collapse, whatever the order of the options.
    if (deleteEmpty) {
        f.deleteEmptyLines = 1;
        f.collapseEmptyLines = 0;
    }
    if (o.rename && conversionOption) {
        error = "--rename renames only: no conversion option may stand beside it";
        return false;
    }
    if (f.deleteMatchingLines && f.searchText.size() < 3) {
        error = "--delete-lines needs a prefix of at least 3 bytes";
        return false;
    }
    if (f.deleteMatchingLines && f.replaceOrDelete) {
        error = "--replace and --delete-lines cannot be used together";
        return false;
    }
    if (sawWith && !f.replaceOrDelete) {
        error = "--with needs --replace";
        return false;
    }
    if (o.quiet && o.verbose) {
        error = "--quiet and --verbose cannot be used together";
        return false;
    }
    if (o.check && (o.overwrite || o.toStdout)) {
        error = "--check and --diff write nothing: --overwrite and --stdout do not go with them";
        return false;
    }
    if (o.overwrite && (o.toStdout || sawSubfolder)) {
        error = "--overwrite cannot be used together with --stdout or --subfolder";
        return false;
    }
    if (!o.overwrite && !o.toStdout && o.settings.subFolderName.empty()) {
        error = "--subfolder needs a name";
        return false;
    }
    if (!o.overwrite && !o.toStdout && !IsValidSubFolderName(o.settings.subFolderName)) {
        error = "--subfolder must be a relative path whose parts are neither empty, \".\" nor "
                "\"..\"";
        return false;
    }
    if (o.paths.empty()) {
        error = "no PATH given";
        return false;
    }
    return true;
}

} // namespace srctdy
