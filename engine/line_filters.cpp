#include "engine/line_filters.h"

#include "engine/cp932.h"
#include "engine/encoded_text.h"
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
// line becomes raw without the white space at both ends, copied once; a side that belongs
// to a literal, or keeps two tokens apart, stays. Returns the bytes taken off the front.
size_t AssignTrimmed(std::string& line, std::string_view raw, bool keepLeading, bool keepTrailing) {
    const size_t end = keepTrailing ? raw.size() : TrimmedEnd(raw, 0);
    const size_t begin = keepLeading ? 0 : LeadingBlanks(raw, end);
    line.clear();
    line.append(raw.data() + begin, end - begin);
    return begin;
}

// Whether the blanks at the start of raw hold a CR.
bool CrInLeadingBlanks(std::string_view raw) {
    return std::memchr(raw.data(), '\r', LeadingBlanks(raw, raw.size())) != nullptr;
}

// Whether raw ends in a backslash (a byte 0x5C, for the byte reading too) and blanks that hold
// a CR.
bool BackslashBeforeCrInTrailingBlanks(std::string_view raw) {
    // NULs are blanks to the compiler, though trimming keeps them.
    size_t end = raw.size();
    while (end > 0 && (IsTrimBlank(raw[end - 1]) || raw[end - 1] == '\0'))
        --end;
    return end > 0 && raw[end - 1] == '\\' &&
           std::memchr(raw.data() + end, '\r', raw.size() - end) != nullptr;
}

// Whether the line's last literal is one a CR ended unclosed, with only blanks after it: its
// trailing blanks are its text, as they are where the line ends it.
bool LiteralCutByCrBeforeTrailingBlanks(const LineLex& lex, std::string_view raw) {
    if (!lex.holdsCr || lex.spans.empty() || !lex.spans.back().cutByCr)
        return false;
    for (size_t i = lex.spans.back().end; i < raw.size(); ++i)
        if (!IsTrimBlank(raw[i]))
            return false;
    return true;
}

// Each full-width space (81 40, or U+3000 in UTF-8) becomes two ASCII spaces, except inside a
// string or character literal, where it is part of the program's text. Most lines hold no byte
// that can begin one and are passed over by one memchr. shift: where line begins in rawLine.
void FullWidthSpacesToAscii(TextEncoding encoding, std::string& line, const LineLex& lex,
                            size_t shift) {
    const std::string_view space = encoded::FullWidthSpace(encoding);
    if (!std::memchr(line.data(), space[0], line.size()))
        return;
    const bool literals = lex.anyLiteral();
    auto converts = [&](size_t at) { return !literals || !lex.inLiteral(at + shift); };
    if (encoding == TextEncoding::Cp932) {
        // The same length: in place.
        char* p = line.data();
        const size_t n = line.size();
        for (size_t i = 0; i < n;) {
            if (p[i] == space[0] && i + 1 < n && p[i + 1] == space[1]) {
                if (converts(i))
                    p[i] = p[i + 1] = ' ';
                i += 2;
            } else {
                i += cp932::CharLength(line, i);
            }
        }
        return;
    }
    // UTF-8: three bytes become two. A byte search is safe: the space's bytes cannot start
    // inside another character.
    thread_local std::string result;
    result.clear();
    size_t copied = 0;
    for (size_t at = line.find(space); at != std::string::npos;
         at = line.find(space, at + space.size())) {
        if (!converts(at))
            continue;
        result.append(line, copied, at - copied);
        result.append("  ");
        copied = at + space.size();
    }
    if (copied == 0)
        return;
    result.append(line, copied, std::string::npos);
    line.swap(result);
}

// The definition comments in the file's encoding, converted once.
const std::array<std::string, 6>& DefinitionComments(TextEncoding encoding) {
    static const std::array<std::string, 6> cp932Comments = [] {
        std::array<std::string, 6> out;
        for (size_t i = 0; i < out.size(); ++i)
            out[i] = cp932::FromUtf8(text::kDefinitionComments[i]).value_or("");
        return out;
    }();
    static const std::array<std::string, 6> utf8Comments = [] {
        std::array<std::string, 6> out;
        for (size_t i = 0; i < out.size(); ++i)
            out[i] = text::kDefinitionComments[i];
        return out;
    }();
    return encoding == TextEncoding::Utf8 ? utf8Comments : cp932Comments;
}

// The options' texts as this file needs them.
struct Texts {
    std::string_view search;
    std::string_view replace;
    std::string_view condition;
};
Texts TextsOf(const FormatOptions& options, const FileContext& file) {
    if (file.texts)
        return {file.texts->searchText, file.texts->replaceText, file.texts->conditionText};
    return {options.searchText, options.replaceText, options.conditionText};
}

// Conditional-block deletion: true when the line is dropped. Only a line that begins a
// directive opens or closes a block: one that starts in plain code, not inside a comment or a
// literal and not joined to the line before by a splice. Inside the block that is known from
// the block's own lexer, fed every line the block drops.
bool DropsConditionalBlock(std::string_view conditionText, ConversionState& state,
                           const LexicalTracker& tracker) {
    if (state.inIfBlock) {
        LexicalTracker& block = *state.ifBlockLexer;
        if (StartsWith(state.rawLine, "#endif") && block.atCodeLineStart()) {
            state.inIfBlock = false;
            state.ifBlockLexer.reset();
        } else {
            block.skip(state.rawLine);
        }
        return true;
    }
    // A plain byte search: the condition may stand anywhere, even inside "#if" itself.
    if (StartsWith(state.rawLine, "#if") && tracker.atCodeLineStart() &&
        state.rawLine.find(conditionText) != std::string::npos) {
        state.inIfBlock = true;
        state.ifBlockLexer.emplace(tracker);
        state.ifBlockLexer->skip(state.rawLine);
        return true;
    }
    return false;
}

// Replaces searchText in text; returns whether anything was replaced.
bool ReplaceSearchText(const Texts& texts, const FileContext& file, std::string_view rawLine,
                       std::string& text) {
    if (texts.replace == "%filename%") {
        if (StartsWith(rawLine, texts.search))
            return encoded::ReplaceAll(file.encoding, text, texts.search, file.nameOnly);
        return false;
    }
    if (texts.replace == "%date%")
        return encoded::ReplaceAll(file.encoding, text, texts.search, file.dateText);
    return encoded::ReplaceAll(file.encoding, text, texts.search, texts.replace);
}

} // namespace

LineFate ApplyLineFilters(const FormatOptions& options, const FileContext& file,
                          ConversionState& state, LineWriter& out, LexicalTracker& tracker,
                          const LineLex* known) {
    const Texts texts = TextsOf(options, file);
    if (options.deleteConditionalBlocks && DropsConditionalBlock(texts.condition, state, tracker))
        return LineFate::Drop;
    if (options.deleteMatchingLines && StartsWith(state.rawLine, texts.search)) {
        // Only a line that stands apart goes: one that ends in the state it began in, with no
        // splice into or out of it and no literal running on. Dropping any other would join
        // the lines around it otherwise (a splice would take the next line, a comment's body
        // would turn into code).
        known = known ? known : &tracker.analyse(state.rawLine);
        if (OnlyTrimmed(*known) && known->start == known->end)
            return LineFate::Drop;
    }

    const LineLex& lex = known ? *known : tracker.analyse(state.rawLine);
    state.startKind = lex.start;
    const bool inLiteral = lex.start == LexKind::String || lex.start == LexKind::Char ||
                           lex.start == LexKind::RawString;
    // A continued line's leading blanks may be all that keeps two tokens apart.
    // In a comment, a "*" before the splice would meet a "/" and close it.
    // A CR among them ends the line the splice joined them to (the compiler ends a line there):
    // without it, what follows would join that line.
    state.keepLeading =
        inLiteral || (lex.continued && lex.start == LexKind::Code && !lex.gapBeforeSplice) ||
        (lex.continued && lex.start == LexKind::BlockComment && lex.beforeSplice == '*') ||
        ((lex.continued || lex.byteContinued) && CrInLeadingBlanks(state.rawLine));
    // Trailing blanks of an unclosed literal (a CR may end it), or inside a raw string, are its
    // text. After a splice's backslash a CR is where the compiler splices (it ends a line as an
    // LF does): taking it away would splice at the LF instead, onto the next line.
    const bool keepTrailing = lex.end == LexKind::RawString ||
                              (lex.endsInOpenLiteral && !lex.endsInSplice) ||
                              BackslashBeforeCrInTrailingBlanks(state.rawLine) ||
                              LiteralCutByCrBeforeTrailingBlanks(lex, state.rawLine);
    // An empty line that a splice joins to the line before, or inside a raw string, is part
    // of it: dropping it would pull the next line in.
    const bool droppable = !lex.continued && !lex.byteContinued && !inLiteral;

    size_t shift = 0;
    if (options.trimBlanks)
        shift = AssignTrimmed(state.line, state.rawLine, state.keepLeading, keepTrailing);
    else
        state.line.assign(state.rawLine);
    const size_t trimmedLength = state.line.size();
    // Trimming takes only blanks: what the line as read holds, the trimmed line holds too.
    const std::string_view raw = state.rawLine;
    // A CR inside what is left of the line ends a line for the compiler, where the tracker
    // sees none: which full-width spaces stand in literals is not known there, and they stay.
    if (options.fullWidthToHalfWidth &&
        std::memchr(raw.data(), encoded::FullWidthSpace(file.encoding)[0], raw.size()) &&
        !std::memchr(state.line.data(), '\r', state.line.size())) {
        // A full-width space after a backslash at the line's end would turn it into a splice.
        thread_local std::string before;
        const bool mayMakeSplice =
            std::memchr(raw.data(), '\\', raw.size()) && !lex.endsInSplice && !lex.endsInByteSplice;
        if (mayMakeSplice)
            before = state.line;
        FullWidthSpacesToAscii(file.encoding, state.line, lex, shift);
        if (mayMakeSplice && (EndsInSplice(state.line, state.lexOptions.encoding, false) ||
                              EndsInSplice(state.line, state.lexOptions.encoding, true)))
            state.line.swap(before);
    }
    if (droppable && options.deleteEmptyLines && state.line.empty())
        return LineFate::Drop;
    if (droppable && options.collapseEmptyLines && state.line.empty() && ++state.blankRun >= 2)
        return LineFate::Drop;

    // Inserted comments go where the line before left plain code: inside a comment they would
    // close it, after a splice they would join the line before.
    if (options.insertDefinitionComments && !options.insertHeaderTemplate &&
        !state.definitionsInserted && StartsWith(state.rawLine, "#include") &&
        lex.start == LexKind::Code && !lex.continued && !lex.byteContinued) {
        for (const std::string& comment : DefinitionComments(file.encoding))
            out.writeInsertedLine(comment);
        state.definitionsInserted = true;
    }

    state.referenceEdited = false;
    if (options.replaceOrDelete && !texts.search.empty() &&
        ReplaceSearchText(texts, file, state.rawLine, state.line)) {
        // The reference is the line as read with the part that trimming left replaced by the
        // line as the replacement made it: the matches stand where they were found, also
        // where a full-width space (white space to the compiler) had become two blanks.
        state.reference.assign(state.rawLine.substr(0, shift));
        state.reference.append(state.line);
        state.reference.append(
            state.rawLine.substr(std::min(state.rawLine.size(), shift + trimmedLength)));
        state.referenceEdited = true;
        tracker.analyse(state.line);
    }
    return LineFate::Continue;
}

bool ShortWayApplies(const FormatOptions& options, const FileContext& file) {
    const Texts texts = TextsOf(options, file);
    return !options.deleteMatchingLines && !(options.replaceOrDelete && !texts.search.empty());
}

bool OnlyTrimmed(const LineLex& lex) {
    return (lex.start == LexKind::Code || lex.start == LexKind::BlockComment) && !lex.continued &&
           !lex.byteContinued && !lex.endsInOpenLiteral && !lex.endsInSplice &&
           !lex.endsInByteSplice;
}

LineFate FilterTrimmedLine(const FormatOptions& options, LexKind startKind, const LineScan& scan,
                           ConversionState& state, std::string_view& text) {
    state.startKind = startKind;
    state.keepLeading = false;
    state.referenceEdited = false;
    text = state.rawLine;
    if (options.trimBlanks)
        text = std::string_view(text.data() + scan.textBegin, scan.textEnd - scan.textBegin);
    if (options.deleteEmptyLines && text.empty())
        return LineFate::Drop;
    if (options.collapseEmptyLines && text.empty() && ++state.blankRun >= 2)
        return LineFate::Drop;
    return LineFate::Continue;
}

std::string TodayText() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return DateText(local);
}

std::string DateText(const std::tm& local) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%4d-%02d-%02d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday);
    return buffer;
}

} // namespace srctdy
