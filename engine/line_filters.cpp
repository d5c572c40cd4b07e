#include "engine/line_filters.h"

#include "engine/cp932.h"
#include "engine/lexical_state.h"
#include "engine/line_writer.h"
#include "platform/string_table.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace srctdy {

namespace {

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::memcmp(text.data(), prefix.data(), prefix.size()) == 0;
}
bool IsBlank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// line becomes raw without the white space at both ends, copied once; a side that belongs
// to a literal, or keeps two tokens apart, stays. Returns the bytes taken off the front.
size_t AssignTrimmed(std::string& line, std::string_view raw, bool keepLeading,
                     bool keepTrailing) {
    size_t end = raw.size();
    while (!keepTrailing && end > 0 && IsBlank(raw[end - 1]))
        --end;
    size_t begin = 0;
    while (!keepLeading && begin < end && IsBlank(raw[begin]))
        ++begin;
    line.clear();
    line.append(raw.data() + begin, end - begin);
    return begin;
}

// Each full-width space (0x81 0x40) becomes two ASCII spaces, in place, except inside a
// string or character literal, where it is part of the program's text. Most lines hold no
// 0x81 byte at all and are passed over by one memchr. shift: where line begins in rawLine.
void FullWidthSpacesToAscii(std::string& line, const LineLex& lex, size_t shift) {
    char* p = line.data();
    const size_t n = line.size();
    if (!std::memchr(p, 0x81, n))
        return;
    const bool literals = lex.anyLiteral();
    for (size_t i = 0; i < n;) {
        const unsigned char c = static_cast<unsigned char>(p[i]);
        if (c == 0x81 && i + 1 < n && p[i + 1] == 0x40) {
            if (!literals || !lex.inLiteral(i + shift))
                p[i] = p[i + 1] = ' ';
            i += 2;
        } else {
            i += cp932::IsLeadByte(c) && i + 1 < n ? 2 : 1;
        }
    }
}

// The definition comments as code page 932 bytes, converted once.
const std::array<std::string, 6>& DefinitionComments() {
    static const std::array<std::string, 6> comments = [] {
        std::array<std::string, 6> out;
        for (size_t i = 0; i < out.size(); ++i)
            out[i] = cp932::FromUtf8(text::kDefinitionComments[i]).value_or("");
        return out;
    }();
    return comments;
}

// Conditional-block deletion: true when the line is dropped.
bool DropsConditionalBlock(const FormatOptions& options, ConversionState& state) {
    if (StartsWith(state.rawLine, "#endif")) {
        if (state.inIfBlock) {
            state.inIfBlock = false;
            return true;
        }
    } else if (state.inIfBlock) {
        return true;
    }
    // A plain byte search: the condition may stand anywhere, even inside "#if" itself.
    if (StartsWith(state.rawLine, "#if") &&
        state.rawLine.find(options.conditionText) != std::string::npos) {
        state.inIfBlock = true;
        return true;
    }
    return false;
}

// Replaces searchText in text; returns whether anything was replaced.
bool ReplaceSearchText(const FormatOptions& options, const FileContext& file,
                       std::string_view rawLine, std::string& text) {
    if (options.replaceText == "%filename%") {
        if (StartsWith(rawLine, options.searchText))
            return cp932::ReplaceAll(text, options.searchText, file.nameOnly);
        return false;
    }
    if (options.replaceText == "%date%")
        return cp932::ReplaceAll(text, options.searchText, file.dateText);
    return cp932::ReplaceAll(text, options.searchText, options.replaceText);
}

} // namespace

LineFate ApplyLineFilters(const FormatOptions& options, const FileContext& file,
                          ConversionState& state, LineWriter& out, LexicalTracker& tracker) {
    if (options.deleteConditionalBlocks && DropsConditionalBlock(options, state))
        return LineFate::Drop;
    if (options.deleteMatchingLines && StartsWith(state.rawLine, options.searchText))
        return LineFate::Drop;

    const LineLex& lex = tracker.analyse(state.rawLine);
    state.startKind = lex.start;
    const bool inLiteral = lex.start == LexKind::String || lex.start == LexKind::Char ||
                           lex.start == LexKind::RawString;
    // A continued line's leading blanks may be all that keeps two tokens apart.
    state.keepLeading =
        inLiteral || (lex.continued && lex.start == LexKind::Code && !lex.gapBeforeSplice);
    // Trailing blanks of an unclosed literal, or inside a raw string, are its text.
    const bool keepTrailing =
        lex.end == LexKind::RawString || (lex.endsInOpenLiteral && !lex.endsInSplice);
    // An empty line that a splice joins to the line before, or inside a raw string, is part
    // of it: dropping it would pull the next line in.
    const bool droppable = !lex.continued && !lex.byteContinued && !inLiteral;

    size_t shift = 0;
    if (options.trimBlanks)
        shift = AssignTrimmed(state.line, state.rawLine, state.keepLeading, keepTrailing);
    else
        state.line.assign(state.rawLine);
    if (options.fullWidthToHalfWidth)
        FullWidthSpacesToAscii(state.line, lex, shift);
    if (droppable && options.deleteEmptyLines && state.line.empty())
        return LineFate::Drop;
    if (droppable && options.collapseEmptyLines && state.line.empty() && ++state.blankRun >= 2)
        return LineFate::Drop;

    // Inserted comments go where the line before left plain code: inside a comment they would
    // close it, after a splice they would join the line before.
    if (options.insertDefinitionComments && !options.insertHeaderTemplate &&
        !state.definitionsInserted && StartsWith(state.rawLine, "#include") &&
        lex.start == LexKind::Code && !lex.continued && !lex.byteContinued) {
        for (const std::string& comment : DefinitionComments())
            out.writeInsertedLine(comment);
        state.definitionsInserted = true;
    }

    state.referenceEdited = false;
    if (options.replaceOrDelete && !options.searchText.empty() &&
        ReplaceSearchText(options, file, state.rawLine, state.line)) {
        // The reference is the line as read with the same replacement; the line is lexed
        // again, since the new text may open or close a comment or a literal.
        state.reference.assign(state.rawLine);
        ReplaceSearchText(options, file, state.rawLine, state.reference);
        state.referenceEdited = true;
        tracker.analyse(state.line);
    }
    return LineFate::Continue;
}

std::string TodayText() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%4d-%02d-%02d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday);
    return buffer;
}

} // namespace srctdy
