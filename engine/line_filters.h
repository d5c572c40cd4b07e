#pragma once

#include "engine/conversion_state.h"
#include "engine/file_texts.h"
#include "engine/format_options.h"
#include "engine/lexical_state.h"
#include "engine/line_scan.h"
#include "engine/text_encoding.h"

#include <ctime>
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

// Whether the options let lines take the short way: no deletion or replacement that looks at
// every line's text. The caller adds its own conditions (comment mode, module header).
bool ShortWayApplies(const FormatOptions& options, const FileContext& file);

// Whether a line so analysed leaves the filters nothing to do but trim it and perhaps drop
// it when empty: it begins in code or a block comment, after no splice, and ends with no
// literal or splice open.
bool OnlyTrimmed(const LineLex& lex);

// The filters for a line that holds no full-width space to convert, and no "#" when
// conditional blocks are deleted or definition comments are still to come, and is plain or
// OnlyTrimmed(): the same results ApplyLineFilters gives it. scan: ScanLine of
// state.rawLine. text becomes the line to write, a view of state.rawLine: nothing is copied.
// Not for a line inside a conditional block that is being deleted.
LineFate FilterTrimmedLine(const FormatOptions& options, LexKind startKind, const LineScan& scan,
                           ConversionState& state, std::string_view& text);

// The filters and insertions that run first on every line: conditional-block and
// matching-line deletion, the copy into state.line, trimming, full-width spaces, empty lines,
// the definition comments (written to out) and the replacement of searchText. tracker
// analyses the line (it is accepted by the caller); no change here alters the tokens.
// lex: what the tracker already found for this line, or null.
LineFate ApplyLineFilters(const FormatOptions& options, const FileContext& file,
                          ConversionState& state, LineWriter& out, LexicalTracker& tracker,
                          const LineLex* lex = nullptr);

// Today's local date as "YYYY-MM-DD".
std::string TodayText();
// The date of local, as TodayText writes it.
std::string DateText(const std::tm& local);

} // namespace srctdy
