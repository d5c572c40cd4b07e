#include "engine/line_output.h"

#include "engine/byte_blocks.h"
#include "engine/cp932.h"
#include "engine/line_writer.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <utility>

namespace srctdy {
namespace {

// Whether line begins with the literal prefix; compiles to a compare of a few bytes.
template <size_t N> bool StartsWith(std::string_view line, const char (&prefix)[N]) {
    return line.size() >= N - 1 && std::memcmp(line.data(), prefix, N - 1) == 0;
}
// The careful walk, character by character: a second byte that looks like a brace is part of
// a double-byte character.
Braces WalkBraces(std::string_view line) {
    Braces found;
    for (size_t i = 0; i < line.size(); i += cp932::CharLength(line, i)) {
        const unsigned char c = static_cast<unsigned char>(line[i]);
        if (c == '{')
            found.open = true;
        else if (c == '}')
            found.close = true;
    }
    return found;
}

// Tabs in a preprocessor line become single spaces, in place, except inside a literal.
// A tab is never a second byte, not even after a stray lead byte.
void TabsToSpaces(std::string& line, const ConversionState& state) {
    size_t at = cp932::Find(line, "\t");
    if (at == std::string::npos)
        return;
    if (state.startKind != LexKind::Code)
        return; // begins inside a comment or a literal: leave the line as it is
    // The tracker takes an #include's <...> name as a literal: its tabs stay too.
    LexicalTracker lexer(state.lexOptions);
    const LineLex& lex = lexer.analyse(line);
    for (; at != std::string::npos; at = cp932::Find(line, "\t", at + 1))
        if (!lex.inLiteral(at))
            line[at] = ' ';
}

// The text written before a line: an optional "//" and `levels` indentation units. Without
// the "//" it is a view of the unit run, so the usual line copies nothing.
[[gnu::always_inline]] inline std::string_view
BuildHead(std::string& buffer, bool lineComment, const Indentation& indentation, int levels) {
    const size_t width = levels > 0 ? indentation.unit.size() * static_cast<size_t>(levels) : 0;
    while (indentation.run.size() < width)
        [[unlikely]] indentation.run += indentation.unit;
    std::string_view indent(indentation.run.data(), width);
    if (!lineComment)
        return indent;
    buffer.assign("//");
    buffer.append(indent);
    return buffer;
}

// Moves the depth past the line's braces: a "}" counts before the line, a "{" after it.
// Returns the line's own levels.
int StepDepth(ConversionState& state, Braces braces) {
    if (braces.close)
        --state.braceDepth;
    const int levels = state.keepLeading ? 0 : state.braceDepth;
    if (braces.open)
        ++state.braceDepth;
    return levels;
}

// A label goes one level out from the depth after the line's own "{".
bool IsLabel(const ConversionState& state, std::string_view line) {
    return !state.keepLeading && (StartsWith(line, "case") || StartsWith(line, "default"));
}

} // namespace

Braces FindBraces(TextEncoding encoding, std::string_view line) {
#ifdef __SSE2__
    // Sixteen bytes at a time: which braces there are, and whether any byte could lead a
    // double-byte character. Only a line with both needs the careful walk, and few have.
    unsigned openMask = 0, closeMask = 0, highMask = 0;
    blocks::ForEachBlock(line, [&](__m128i x) {
        openMask |= blocks::Matches(x, '{');
        closeMask |= blocks::Matches(x, '}');
        highMask |= static_cast<unsigned>(_mm_movemask_epi8(x));
    });
    if ((openMask | closeMask) == 0)
        return {};
    if (highMask == 0 || encoding == TextEncoding::Utf8)
        return {openMask != 0, closeMask != 0};
#endif
    if (encoding == TextEncoding::Utf8)
        return {line.find('{') != std::string_view::npos, line.find('}') != std::string_view::npos};
    return WalkBraces(line);
}

std::string IndentUnitFor(int indentSizeIndex) {
    switch (indentSizeIndex) {
    case 0:
        return "  ";
    case 1:
        return "    ";
    case 2:
        return "        ";
    default:
        return "\t";
    }
}

void WriteOutputLine(const Indentation& indentation, int commentMode, ConversionState& state,
                     LineWriter& out) {
    // The comment state as the comment stage left it decides everything below, even though
    // it is reset at the end.
    const int s = state.commentState;
    std::string& line = state.line;

    int levels = 0;
    if (indentation.on) {
        const bool preprocessor = !line.empty() && line[0] == '#';
        if (s != 1 && !preprocessor)
            levels = StepDepth(state, FindBraces(state.lexOptions.encoding, line));
        if (preprocessor)
            TabsToSpaces(line, state);
        if (s == 0 && IsLabel(state, line))
            levels = state.braceDepth - 1;
    }

    thread_local std::string head;
    if ((s == 1 || s == 2) && commentMode == 1) {
        // A line inside or closing a converted block comment becomes a line comment.
        out.writeInputLine(BuildHead(head, !cp932::Contains(line, "//"), indentation, levels), line,
                           state.rawLineEnd, state.referenceText(), state.lineNumber);
    } else {
        const std::string_view prefix = BuildHead(head, false, indentation, levels);
        if (state.splitPending)
            out.writeLine(prefix, state.splitComment);
        out.writeInputLine(prefix, line, state.rawLineEnd, state.referenceText(), state.lineNumber);
    }

    if (commentMode == 1 && s == 2)
        state.commentState = 0;
    if (!state.rawLine.empty())
        state.blankRun = 0;
}

void WriteTrimmedLine(const Indentation& indentation, ConversionState& state, LineWriter& out,
                      std::string_view text, Braces braces) {
    int levels = 0;
    if (indentation.on && (text.empty() || text[0] != '#')) {
        levels = StepDepth(state, braces);
        if (IsLabel(state, text))
            levels = state.braceDepth - 1;
    }
    thread_local std::string head;
    const std::string_view prefix = BuildHead(head, false, indentation, levels);
    if (out.quick()) // every unit is one character repeated
        out.writeIndentedLine(prefix, indentation.unit[0], text, state.rawLineEnd);
    else
        out.writeInputLine(prefix, text, state.rawLineEnd, state.rawLine, state.lineNumber);
    if (!state.rawLine.empty())
        state.blankRun = 0;
}

} // namespace srctdy
