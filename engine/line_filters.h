#pragma once

#include "engine/conversion_state.h"
#include "engine/file_texts.h"
#include "engine/format_options.h"
#include "engine/text_encoding.h"

#include <memory>
#include <string>
#include <string_view>

namespace srctdy {

class LineWriter;
class LexicalTracker;

// What the filters know about the file being converted.
struct FileContext {
    std::string nameOnly; // the file's name with extension, in its encoding where possible
    std::string dateText; // today's local date, "YYYY-MM-DD"
    TextEncoding encoding = TextEncoding::Cp932; // the file's encoding
    bool cpp = false; // a C++ file: raw strings and digit separators are lexed
    // The options' texts in the file's encoding; null: the options' own texts, already in it.
    std::shared_ptr<const FileTexts> texts{};
};

// Whether a line goes on to the next stage or is dropped.
enum class LineFate { Continue, Drop };

// The filters and insertions that run first on every line: conditional-block and
// matching-line deletion, the copy into state.line, trimming, full-width spaces, empty lines,
// the definition comments (written to out) and the replacement of searchText. tracker
// analyses the line (it is accepted by the caller); no change here alters the tokens.
LineFate ApplyLineFilters(const FormatOptions& options, const FileContext& file,
                          ConversionState& state, LineWriter& out, LexicalTracker& tracker);

// What one pass over a line as read finds, for the lines most code is made of: lines with no
// comment or quote mark, backslash, "#" or byte above 0x7F. Such a line, met where the tracker
// stands in plain code, opens no comment or literal and continues nothing, so the stages have
// nothing to ask the tracker; it leaves the tracker's state as it was.
struct PlainLine {
    bool plain = false;
    bool open = false;  // holds a "{"
    bool close = false; // holds a "}"
    size_t leading = 0; // the blanks before its text (when plain)
};
PlainLine ScanPlainLine(std::string_view raw);

// Whether the options let plain lines take the short way: no deletion or replacement that
// looks at every line's text. The caller adds its own conditions (comment mode, module header).
bool PlainLinesApply(const FormatOptions& options, const FileContext& file);

// The filters for a plain line (see above), with the same results ApplyLineFilters gives it:
// trimming and empty-line deletion are all that can apply. text becomes the line to write, a
// view of state.rawLine: nothing is copied. Not for a line inside a conditional block that is
// being deleted.
LineFate FilterPlainLine(const FormatOptions& options, const PlainLine& scan,
                         ConversionState& state, std::string_view& text);

// Today's local date as "YYYY-MM-DD".
std::string TodayText();

} // namespace srctdy
