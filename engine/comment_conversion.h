#pragma once

#include "engine/conversion_state.h"

#include <string>
#include <string_view>

namespace srctdy {

// Rewrites the comments of state.line for commentMode 1 (block to line comments), 2 (line to
// block comments) or 3 (split a long line into its comment and its code); mode 0 does nothing.
// Updates commentState (mode 1), splitComment and splitPending (mode 3). Never drops a line.
void ConvertComments(int commentMode, ConversionState& state);

// Splits text into its code part and its comment part (block comments with their delimiters,
// then the line comment). Returns 0 when the split is usable, 1 when a quote is left open.
int SplitCommentLine(std::string_view text, std::string& code, std::string& comment);

} // namespace srctdy
