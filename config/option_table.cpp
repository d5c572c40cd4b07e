#include "config/option_table.h"

#include "engine/cp932.h"
#include "engine/utf8.h"
#include "platform/string_table.h"

#include <array>

namespace srctdy {

namespace {

using Kind = OptionValue::Kind;

std::string TomlString(std::string_view utf8) {
    std::string out = "\"";
    for (char c : utf8) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                static constexpr char kHex[] = "0123456789ABCDEF";
                out += "\\u00";
                out += kHex[(c >> 4) & 0xF];
                out += kHex[c & 0xF];
            } else {
                out += c;
            }
        }
    }
    return out + "\"";
}

// A code page 932 text shown as a TOML string (bytes that do not convert are shown as they are).
std::string ShowText(const std::string& cp932Text) {
    return TomlString(cp932::ToUtf8(cp932Text).value_or(cp932Text));
}

std::string ShowBool(int on) {
    return on ? "true" : "false";
}

bool SetBoolean(const OptionValue& value, int& field, std::string& reason) {
    if (value.kind != Kind::Boolean) {
        reason = text::kOptionMustBeBoolean;
        return false;
    }
    field = value.text == "true" ? 1 : 0;
    return true;
}

// A conversion text, kept in UTF-8: each file uses it in its own encoding (see FileTexts).
// false turns the option off (off = true).
bool SetText(const OptionValue& value, std::string& field, bool& off, std::string& reason) {
    off = false;
    if (value.turnsOff()) {
        off = true;
        return true;
    }
    if (value.kind != Kind::Text) {
        reason = text::kOptionMustBeText;
        return false;
    }
    if (!utf8::IsValid(value.text)) {
        reason = text::kOptionNotUtf8;
        return false;
    }
    field = value.text;
    return true;
}

// The index of value among names, or -1.
template <size_t N>
int Choose(const OptionValue& value, const std::array<std::string_view, N>& names) {
    if (value.kind != Kind::Text)
        return -1;
    for (size_t i = 0; i < N; ++i)
        if (value.text == names[i])
            return static_cast<int>(i);
    return -1;
}

constexpr std::array<std::string_view, 5> kIndents = {"2", "4", "8", "tab", "off"};
constexpr std::array<std::string_view, 4> kCommentModes = {"keep", "line", "block", "split"};
constexpr std::array<std::string_view, 3> kLineEnds = {"crlf", "lf", "keep"};
constexpr std::array<std::string_view, 3> kEncodings = {"auto", "cp932", "utf-8"};

} // namespace

const std::vector<ConversionOptionSpec>& ConversionOptionTable() {
    static const std::vector<ConversionOptionSpec> table = {
        {"indent", CliForm::Value},
        {"trim", CliForm::NegatableFlag},
        {"fullwidth", CliForm::NegatableFlag},
        {"collapse-empty", CliForm::NegatableFlag},
        {"delete-empty", CliForm::Flag},
        {"delete-lines", CliForm::Value},
        {"replace", CliForm::Value},
        {"with", CliForm::Value},
        {"delete-if", CliForm::Value},
        {"definitions", CliForm::Flag},
        {"template", CliForm::OptionalValue},
        {"comments", CliForm::Value},
        {"function-names", CliForm::Flag},
        {"eol", CliForm::Value},
        {"encoding", CliForm::Value},
    };
    return table;
}

const ConversionOptionSpec* FindConversionOption(std::string_view key) {
    for (const ConversionOptionSpec& spec : ConversionOptionTable())
        if (spec.key == key)
            return &spec;
    return nullptr;
}

const std::vector<std::pair<std::string_view, std::string_view>>& ExclusiveOptions() {
    // Both take the search text: one file may not ask for both.
    static const std::vector<std::pair<std::string_view, std::string_view>> pairs = {
        {"replace", "delete-lines"}};
    return pairs;
}

std::string ApplyOption(std::string_view key, const OptionValue& value, ConversionOptions& o) {
    FormatOptions& f = o.format;
    std::string reason;
    bool off = false;
    if (key == "trim") {
        SetBoolean(value, f.trimBlanks, reason);
    } else if (key == "fullwidth") {
        SetBoolean(value, f.fullWidthToHalfWidth, reason);
    } else if (key == "collapse-empty") {
        SetBoolean(value, f.collapseEmptyLines, reason);
    } else if (key == "delete-empty") {
        SetBoolean(value, f.deleteEmptyLines, reason);
    } else if (key == "definitions") {
        SetBoolean(value, f.insertDefinitionComments, reason);
    } else if (key == "function-names") {
        SetBoolean(value, f.insertFunctionNames, reason);
    } else if (key == "indent") {
        int i = Choose(value, kIndents);
        if (value.kind == Kind::Number &&
            (value.text == "2" || value.text == "4" || value.text == "8"))
            i = value.text == "2" ? 0 : value.text == "4" ? 1 : 2;
        if (i < 0)
            return std::string(text::kOptionIndentValues);
        o.settings.indentOn = i != 4;
        if (i != 4)
            o.settings.indentSizeIndex = i;
    } else if (key == "comments") {
        int i = Choose(value, kCommentModes);
        if (i < 0)
            return std::string(text::kOptionCommentsValues);
        f.commentMode = i;
    } else if (key == "eol") {
        int i = Choose(value, kLineEnds);
        if (i < 0)
            return std::string(text::kOptionEolValues);
        o.settings.lineEnds = i == 0 ? LineEnds::CrLf : i == 1 ? LineEnds::Lf : LineEnds::Keep;
    } else if (key == "encoding") {
        int i = Choose(value, kEncodings);
        if (i < 0)
            return std::string(text::kOptionEncodingValues);
        o.encoding = kEncodings[i];
        o.byteOrderMark = false;
        if (i == 0)
            o.settings.forcedEncoding.reset();
        else
            o.settings.forcedEncoding = i == 1 ? TextEncoding::Cp932 : TextEncoding::Utf8;
    } else if (key == "charset") {
        if (value.text != "utf-8" && value.text != "utf-8-bom")
            return std::string(text::kOptionCharsetValues);
        o.encoding = "utf-8";
        o.byteOrderMark = value.text == "utf-8-bom";
        // A hint shared by every editor: ASCII files are taken as UTF-8, and each other file is
        // still taken as its bytes show, so that a Shift-JIS file in the tree is never read as
        // UTF-8.
        o.settings.asciiEncoding = TextEncoding::Utf8;
    } else if (key == "delete-lines" || key == "replace") {
        f.textEncoding = TextEncoding::Utf8;
        std::string search;
        if (SetText(value, search, off, reason)) {
            const bool deleting = key == "delete-lines";
            // Bytes in code page 932 where the text fits it, in UTF-8 otherwise.
            if (deleting && !off && cp932::FromUtf8(search).value_or(search).size() < 3)
                return std::string(text::kOptionShortPrefix);
            int& mine = deleting ? f.deleteMatchingLines : f.replaceOrDelete;
            int& other = deleting ? f.replaceOrDelete : f.deleteMatchingLines;
            if (!off) {
                f.searchText = std::move(search);
                other = 0; // the two share the search text
            }
            mine = off ? 0 : 1;
        }
    } else if (key == "with") {
        f.textEncoding = TextEncoding::Utf8;
        if (value.kind != Kind::Text)
            return std::string(text::kOptionMustBeText);
        SetText(value, f.replaceText, off, reason);
    } else if (key == "delete-if") {
        f.textEncoding = TextEncoding::Utf8;
        if (SetText(value, f.conditionText, off, reason))
            f.deleteConditionalBlocks = off ? 0 : 1;
    } else if (key == "template") {
        if (value.kind == Kind::Boolean) {
            f.insertHeaderTemplate = value.text == "true";
            if (f.insertHeaderTemplate)
                f.templatePath = "./FileTitle.txt";
        } else if (value.kind == Kind::Text && !value.text.empty()) {
            f.insertHeaderTemplate = 1;
            f.templatePath = value.text; // a path: file-system bytes, not converted
        } else {
            return std::string(text::kOptionTemplateValue);
        }
    } else {
        return std::string(text::kOptionUnknown);
    }
    return reason;
}

void FinishOptions(ConversionOptions& options) {
    if (options.format.deleteEmptyLines)
        options.format.collapseEmptyLines = 0;
    options.format.textEncoding = TextEncoding::Utf8; // every layer gives its texts in UTF-8
}

std::string CodePageTextsProblem(const FormatOptions& f) {
    const struct {
        const char* key;
        const std::string& text;
        bool used;
    } texts[] = {
        {f.replaceOrDelete ? "replace" : "delete-lines", f.searchText,
         f.replaceOrDelete || f.deleteMatchingLines},
        {"with", f.replaceText, f.replaceOrDelete != 0},
        {"delete-if", f.conditionText, f.deleteConditionalBlocks != 0},
    };
    for (const auto& t : texts) {
        if (t.used && !cp932::FromUtf8(t.text))
            return FormatText(text::kOptionNotCp932, t.key);
    }
    return "";
}

std::string ShowOption(std::string_view key, const ConversionOptions& o) {
    const FormatOptions& f = o.format;
    if (key == "trim")
        return ShowBool(f.trimBlanks);
    if (key == "fullwidth")
        return ShowBool(f.fullWidthToHalfWidth);
    if (key == "collapse-empty")
        return ShowBool(f.collapseEmptyLines);
    if (key == "delete-empty")
        return ShowBool(f.deleteEmptyLines);
    if (key == "definitions")
        return ShowBool(f.insertDefinitionComments);
    if (key == "function-names")
        return ShowBool(f.insertFunctionNames);
    if (key == "indent") {
        int i = o.settings.indentOn ? std::min(o.settings.indentSizeIndex, 3) : 4;
        return TomlString(kIndents[static_cast<size_t>(std::max(i, 0))]);
    }
    if (key == "comments")
        return TomlString(kCommentModes[static_cast<size_t>(f.commentMode & 3)]);
    if (key == "eol")
        return TomlString(kLineEnds[static_cast<size_t>(o.settings.lineEnds)]);
    if (key == "encoding")
        return TomlString(o.byteOrderMark ? "utf-8" : o.encoding) +
               (o.byteOrderMark ? " # with the byte order mark" : "");
    if (key == "delete-lines")
        return f.deleteMatchingLines ? ShowText(f.searchText) : "false";
    if (key == "replace")
        return f.replaceOrDelete ? ShowText(f.searchText) : "false";
    if (key == "with")
        return ShowText(f.replaceText);
    if (key == "delete-if")
        return f.deleteConditionalBlocks ? ShowText(f.conditionText) : "false";
    if (key == "template")
        return f.insertHeaderTemplate ? TomlString(f.templatePath) : "false";
    return {};
}

} // namespace srctdy
