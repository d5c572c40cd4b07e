#include "engine/line_output.h"

#include "engine/cp932.h"
#include "engine/line_writer.h"

#include <string_view>

namespace srctdy {
namespace {

bool StartsWith(const std::string& line, std::string_view prefix) {
    return line.compare(0, prefix.size(), prefix) == 0;
}

// Tabs in a preprocessor line become single spaces, in place. Character-aware: the byte after
// a lead byte is its second byte even when it is a tab.
void TabsToSpaces(std::string& line) {
    for (size_t at = cp932::Find(line, "\t"); at != std::string::npos;
         at = cp932::Find(line, "\t", at + 1))
        line[at] = ' ';
}

// The text written before a line: an optional "//" and `levels` indentation units. The buffer
// keeps its capacity from line to line so that the steady state allocates nothing.
std::string_view BuildHead(std::string& buffer, bool lineComment, const std::string& unit,
                           int levels) {
    buffer.clear();
    if (lineComment)
        buffer += "//";
    for (int i = 0; i < levels; ++i)
        buffer += unit;
    return buffer;
}

} // namespace

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
        if (s != 1 && !preprocessor) {
            if (cp932::Contains(line, "}"))
                --state.braceDepth;
            levels = state.braceDepth;
            if (cp932::Contains(line, "{"))
                ++state.braceDepth;
        }
        if (preprocessor)
            TabsToSpaces(line);
        // Labels go one level out from the depth after this line's own "{".
        if (s == 0 && (StartsWith(line, "case") || StartsWith(line, "default")))
            levels = state.braceDepth - 1;
    }

    thread_local std::string head;
    if ((s == 1 || s == 2) && commentMode == 1) {
        // A line inside or closing a converted block comment becomes a line comment.
        out.writeInputLine(BuildHead(head, !cp932::Contains(line, "//"), indentation.unit, levels),
                           line, state.rawLineEnd);
    } else {
        BuildHead(head, false, indentation.unit, levels);
        if (state.splitPending)
            out.writeLine(head, state.splitComment);
        out.writeInputLine(head, line, state.rawLineEnd);
    }

    if (commentMode == 1 && s == 2)
        state.commentState = 0;
    if (!state.rawLine.empty())
        state.blankRun = 0;
}

} // namespace srctdy
