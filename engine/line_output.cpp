#include "engine/line_output.h"

#include "engine/line_writer.h"

namespace srctdy {

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

void WriteOutputLine(const Indentation&, int, ConversionState& state, LineWriter& out) {
    out.writeLine(state.line);
    if (!state.rawLine.empty())
        state.blankRun = 0;
}

} // namespace srctdy
