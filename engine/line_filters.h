#pragma once

#include "engine/conversion_state.h"
#include "engine/file_texts.h"
#include "engine/format_options.h"
#include "engine/text_encoding.h"

#include <memory>
#include <string>

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

// Today's local date as "YYYY-MM-DD".
std::string TodayText();

} // namespace srctdy
