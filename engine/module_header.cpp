#include "engine/module_header.h"

#include "engine/encoded_text.h"
#include "engine/line_writer.h"
#include "platform/string_table.h"

#include <algorithm>
#include <string_view>

namespace srctdy {
namespace {

// The markers "[関数名]" and "[概要]" in code page 932 (the string table holds them in
// UTF-8), and the closing line of 68 asterisks and a slash. Compared byte for byte against the
// line as read, in the file's encoding.
constexpr std::string_view kNameMarker = "\x5B\x8A\xD6\x90\x94\x96\xBC\x5D";
constexpr std::string_view kSummaryMarker = "\x5B\x8A\x54\x97\x76\x5D";
constexpr std::string_view kClosingLine =
    "********************************************************************/";
static_assert(kNameMarker.size() == 8 && kSummaryMarker.size() == 6);
static_assert(kClosingLine.size() == 69 && kClosingLine.find('/') == 68);

// A block writes itself out unchanged once this many lines wait behind its start marker.
constexpr int kMaxHeldLines = 250;

} // namespace

ModuleHeaderStage::Action ModuleHeaderStage::process(int commentMode, ConversionState& state,
                                                     LineWriter& out) {
    const std::string_view raw = state.rawLine;
    if (raw == kClosingLine) {
        if (headerLineCount_ == 0)
            return Action::Pass;
        hold(raw, state.rawLineEnd, state.lineNumber);
        return Action::BlockClosed;
    }
    const bool utf8 = state.lexOptions.encoding == TextEncoding::Utf8;
    if (raw.starts_with(utf8 ? text::kFunctionNameMarker : kNameMarker)) {
        if (headerLineCount_ >= 2)
            writeBlock(true, commentMode, state, out);
        headerLineCount_ = 1;
        return Action::Pass;
    }
    if (headerLineCount_ == 0)
        return Action::Pass;
    hold(raw, state.rawLineEnd, state.lineNumber);
    if (headerLineCount_ - 1 >= kMaxHeldLines)
        writeBlock(!raw.empty(), commentMode, state, out);
    return Action::Hold;
}

void ModuleHeaderStage::closeBlock(const std::string_view* nextRawLine, int commentMode,
                                   ConversionState& state, LineWriter& out) {
    // The name goes in only while nothing stands between the two markers, so a second run
    // over the same file inserts nothing.
    const std::string_view summary =
        state.lexOptions.encoding == TextEncoding::Utf8 ? text::kSummaryMarker : kSummaryMarker;
    if (nextRawLine != nullptr && headerLineCount_ >= 2 && held_[0] == summary) {
        // Cut at a character boundary: in code page 932 a "{" may be a second byte ("ボ").
        const std::string_view name = *nextRawLine;
        const size_t cut = std::min(encoded::Find(state.lexOptions.encoding, name, "{"),
                                    encoded::Find(state.lexOptions.encoding, name, "/"));
        out.writeInsertedLine(name.substr(0, cut));
    }
    // The closing line, never empty, is what causes this write.
    writeBlock(true, commentMode, state, out);
}

void ModuleHeaderStage::flush(int commentMode, ConversionState& state, LineWriter& out) {
    if (headerLineCount_ >= 2)
        writeBlock(false, commentMode, state, out);
    headerLineCount_ = 0;
}

void ModuleHeaderStage::hold(std::string_view rawLine, std::string_view lineEnd, long lineNumber) {
    const size_t slot = static_cast<size_t>(headerLineCount_ - 1);
    if (slot < held_.size()) {
        held_[slot].assign(rawLine);
        heldEnds_[slot] = lineEnd;
        heldNumbers_[slot] = lineNumber;
    } else {
        held_.emplace_back(rawLine);
        heldEnds_.push_back(lineEnd);
        heldNumbers_.push_back(lineNumber);
    }
    ++headerLineCount_;
}

void ModuleHeaderStage::writeBlock(bool causeNotEmpty, int commentMode, ConversionState& state,
                                   LineWriter& out) {
    for (int i = 0; i + 1 < headerLineCount_; ++i)
        out.writeInputLine({}, held_[static_cast<size_t>(i)], heldEnds_[static_cast<size_t>(i)],
                           held_[static_cast<size_t>(i)], heldNumbers_[static_cast<size_t>(i)]);
    headerLineCount_ = 0;
    if (commentMode == 1 && state.commentState == 2)
        state.commentState = 0;
    if (causeNotEmpty)
        state.blankRun = 0;
}

} // namespace srctdy
