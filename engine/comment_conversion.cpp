#include "engine/comment_conversion.h"

#include "engine/cp932.h"
#include "engine/lexical_state.h"

#include <cstring>

namespace srctdy {
namespace {

// An open block comment is held until it closes, so that the decision can see its end; one
// longer than this is left as it is.
constexpr size_t kMaxHeldLines = 1000;
constexpr size_t kMaxHeldBytes = 256 * 1024;

bool IsBlank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}
bool AllBlank(std::string_view text, size_t begin, size_t end) {
    for (size_t i = begin; i < end; ++i)
        if (!IsBlank(text[i]))
            return false;
    return true;
}

// Whether nothing but blanks and comments that end on this line follows span k: code there
// would end up inside the line comment.
bool OnlyCommentsAfter(std::string_view text, const LineLex& lex, size_t k) {
    size_t at = lex.spans[k].end;
    for (size_t j = k + 1; j < lex.spans.size(); ++j) {
        const LexSpan& span = lex.spans[j];
        if (!span.isComment() || !AllBlank(text, at, span.begin))
            return false;
        if (span.kind == LexKind::BlockComment && !span.closesHere)
            return false;
        at = span.end;
    }
    return AllBlank(text, at, text.size());
}

// A line inside or closing a converted comment is written with "//" in front only when it
// holds no "//" already; one that does must hold nothing before it, or that part turns into
// code.
bool StaysComment(std::string_view text) {
    const size_t at = cp932::Find(text, "//");
    return at == std::string_view::npos || AllBlank(text, 0, at);
}

// Whether text holds a CR. The compiler ends a line there, where the lexical tracker sees
// none: a comment on such a line may end or go on otherwise than it sees, and stays as it is.
bool HoldsCr(std::string_view text) {
    return std::memchr(text.data(), '\r', text.size()) != nullptr;
}

// Whether the first CR from span k's start on lies inside span k or a comment after it.
bool CrInsideComment(std::string_view text, const LineLex& lex, size_t k) {
    const size_t cr = text.find('\r', lex.spans[k].begin);
    if (cr == std::string_view::npos)
        return false;
    for (size_t j = k; j < lex.spans.size(); ++j)
        if (lex.spans[j].isComment() && lex.spans[j].begin < cr && cr < lex.spans[j].end)
            return true;
    return false;
}

bool EndsInAnySplice(std::string_view text, TextEncoding encoding) {
    return EndsInSplice(text, encoding, true) || EndsInSplice(text, encoding, false);
}

// Whether converted, an in-place edit of line, splices at a CR inside it where line does not:
// a line comment that now ends at that CR in a backslash would take the next line in.
bool SplicesAtACr(std::string_view converted, std::string_view line, TextEncoding encoding) {
    for (size_t cr = converted.find('\r'); cr != std::string_view::npos;
         cr = converted.find('\r', cr + 1))
        if (EndsInAnySplice(converted.substr(0, cr), encoding) &&
            !EndsInAnySplice(line.substr(0, cr), encoding))
            return true;
    return false;
}

// Line comments to block comments: the comment that runs to the end of the line, when it
// neither continues onto the next line nor holds a "*/" of its own.
bool LineToBlockComment(ConversionState& state, const LineLex& lex) {
    if (lex.spans.empty())
        return false;
    const LexSpan& span = lex.spans.back();
    if (span.kind != LexKind::LineComment || !span.opensHere)
        return false;
    std::string& line = state.line;
    const size_t at = span.begin;
    // A continued line may finish a directive begun above, "#include <\\" then "//>": the
    // "//" may be part of a header name there.
    if (lex.continued || lex.byteContinued || lex.endsInSplice || lex.endsInByteSplice ||
        line.find("*/", at + 2) != std::string::npos ||
        HoldsCr(std::string_view(line).substr(at))) {
        ++state.commentsLeft;
        return false;
    }
    thread_local std::string converted;
    converted.assign(line);
    converted[at + 1] = '*';
    // Further "//" in the comment's text become "/*" too, outside quotes, as they always were.
    bool inQuotes = false;
    for (size_t i = at + 2; i < converted.size();) {
        if (converted[i] == '"') {
            inQuotes = !inQuotes;
            ++i;
        } else if (!inQuotes && converted[i] == '/' && i + 1 < converted.size() &&
                   converted[i + 1] == '/') {
            converted[i + 1] = '*';
            i += 2;
        } else {
            ++i;
        }
    }
    converted += " */";
    // "///" turns into "/*/", whose "*/" would close the comment early.
    if (converted.find("*/", at + 2) != converted.size() - 2) {
        ++state.commentsLeft;
        return false;
    }
    line.swap(converted);
    return true;
}

} // namespace

bool SplitCommentLine(std::string_view text, const LineLex& lex, std::string& code,
                      std::string& comment) {
    code.clear();
    comment.clear();
    if (lex.continued || lex.byteContinued || lex.endsInSplice || lex.endsInByteSplice ||
        lex.start != LexKind::Code || lex.end != LexKind::Code || lex.endsInOpenLiteral ||
        HoldsCr(text))
        return false;
    size_t at = 0;
    for (const LexSpan& span : lex.spans) {
        if (!span.isComment())
            continue;
        code.append(text.substr(at, span.begin - at));
        // Cutting a comment out must not glue the code on its two sides into one token.
        if (!code.empty() && !IsBlank(code.back()) && span.end < text.size() &&
            !IsBlank(text[span.end]) && span.kind == LexKind::BlockComment) {
            const LexSpan* next = &span + 1;
            const bool nextIsComment = next < lex.spans.data() + lex.spans.size() &&
                                       next->isComment() && next->begin == span.end;
            if (!nextIsComment)
                return false;
        }
        comment.append(text.substr(span.begin, span.end - span.begin));
        at = span.end;
    }
    code.append(text.substr(at));
    // No comment, or nothing but a comment: a split would only add a line, on every run.
    if (comment.empty() || AllBlank(code, 0, code.size()))
        return false;
    // Either part on a line of its own must not end in a backslash (read as bytes, the
    // second byte of a double-byte character counts too): it would take the next line in.
    return !EndsInSplice(code, TextEncoding::Cp932, true) &&
           !EndsInSplice(comment, TextEncoding::Cp932, true);
}

bool CommentStage::convertBlockComments(ConversionState& state, const LineLex& lex,
                                        size_t firstSpan, size_t closingSpan,
                                        bool closingConverted) {
    std::string& line = state.line;
    thread_local std::string converted;
    converted.assign(line);
    bool any = false;
    for (size_t k = firstSpan; k < lex.spans.size(); ++k) {
        const LexSpan& span = lex.spans[k];
        if (span.kind != LexKind::BlockComment || !span.closesHere)
            continue;
        const bool whole = span.opensHere;
        if (k == closingSpan && !whole && !closingConverted)
            continue;
        // A mark split by a splice ("*\\" then "/") has a byte on another line, and a CR in
        // the comment, or in one after it, ends the compiler's line inside what the line
        // comment would take: left as is.
        const bool marksHere = span.end >= 2 && line.compare(span.end - 2, 2, "*/") == 0 &&
                               (!whole || line.compare(span.begin, 2, "/*") == 0) &&
                               !CrInsideComment(line, lex, k);
        if (!marksHere || !OnlyCommentsAfter(line, lex, k)) {
            if (whole || !marksHere)
                ++state.commentsLeft;
            continue;
        }
        if (whole)
            converted[span.begin + 1] = '/';
        converted[span.end - 2] = ' ';
        converted[span.end - 1] = ' ';
        any = true;
    }
    if (!any)
        return false;
    // A line comment that ends in a backslash, or in a double-byte character whose second
    // byte is one, takes the next line in: at the line's end, or at a CR inside it.
    const TextEncoding encoding = state.lexOptions.encoding;
    if (lex.endsInSplice || lex.endsInByteSplice || EndsInAnySplice(converted, encoding) ||
        (lex.holdsCr && SplicesAtACr(converted, line, encoding))) {
        ++state.commentsLeft;
        return false;
    }
    line.swap(converted);
    return true;
}

void CommentStage::hold(const ConversionState& state) {
    if (heldCount_ == held_.size())
        held_.emplace_back();
    HeldLine& held = held_[heldCount_++];
    held.raw.assign(state.rawLine);
    held.rawEnd = state.rawLineEnd;
    held.line.assign(state.line);
    held.referenceEdited = state.referenceEdited;
    if (state.referenceEdited)
        held.reference.assign(state.reference);
    held.lineNumber = state.lineNumber;
    held.keepLeading = state.keepLeading;
    held.startKind = state.startKind;
    heldBytes_ += state.rawLine.size();
}

void CommentStage::releaseHeld(int commentState) {
    for (size_t i = 0; i < heldCount_; ++i) {
        released_.push_back(std::move(held_[i]));
        released_.back().commentState = commentState;
    }
    heldCount_ = 0;
    heldBytes_ = 0;
}

CommentStage::Action CommentStage::process(ConversionState& state, LexicalTracker& tracker,
                                           bool headerHolds) {
    if (mode_ == 2) {
        LineToBlockComment(state, tracker.analyse(state.line));
        return Action::Pass;
    }
    if (mode_ == 3) {
        const size_t length = state.line.size();
        if (length <= kLongestUnsplitLine || length >= 256)
            return Action::Pass;
        const LineLex& lex = tracker.analyse(state.line);
        thread_local std::string code;
        thread_local std::string comment;
        if (SplitCommentLine(state.line, lex, code, comment)) {
            state.line.swap(code);
            state.splitComment.assign(comment);
            state.splitPending = true;
        } else {
            for (const LexSpan& span : lex.spans)
                if (span.isComment()) {
                    ++state.commentsLeft;
                    break;
                }
        }
        return Action::Pass;
    }
    if (mode_ != 1)
        return Action::Pass;

    const LineLex& lex = tracker.analyse(state.line);
    state.commentState = 0;
    const bool continuesComment = lex.start == LexKind::BlockComment && !lex.spans.empty();
    if (continuesComment && !lex.spans.front().closesHere) {
        // Inside a block comment opened on an earlier line.
        if (heldCount_ == 0)
            return Action::Pass; // not ours to convert (too long, or opened in the template)
        if (heldCount_ + 1 > kMaxHeldLines || heldBytes_ + state.rawLine.size() > kMaxHeldBytes) {
            ++state.commentsLeft;
            releaseHeld(0);
            hold(state);
            releaseHeld(0);
            return Action::Release;
        }
        hold(state);
        return Action::Hold;
    }

    size_t first = 0;
    bool closingConverted = false;
    const bool closesHeld = continuesComment && heldCount_ > 0;
    if (closesHeld) {
        // The closing line decides for the whole comment.
        closingConverted = OnlyCommentsAfter(state.line, lex, 0);
        // Where a CR stands in it, the compiler's lines part otherwise than the tracker's.
        if (HoldsCr(std::string_view(state.line).substr(0, lex.spans.front().end)))
            closingConverted = false;
        for (size_t i = 0; closingConverted && i < heldCount_; ++i) {
            if ((i > 0 && !StaysComment(held_[i].line)) || HoldsCr(held_[i].raw))
                closingConverted = false;
            // A module-header block is filled in and written as read: it stays a block comment.
            if (functionNames_ && std::string_view(held_[i].raw).starts_with(nameMarker_))
                closingConverted = false;
        }
        if (functionNames_ && state.rawLine.starts_with(nameMarker_))
            closingConverted = false;
        // A module-header block being held takes the comment's first lines as read and may
        // write them before the rest comes: a half-converted comment would lose its close.
        if (headerHolds)
            closingConverted = false;
        // An opening "/\" then "*" has its "/" on the line before: it stays as it is.
        if (!openWhole_)
            closingConverted = false;
    }
    std::string before;
    if (closesHeld)
        before = state.line;
    const int leftBefore = state.commentsLeft;
    bool converted = convertBlockComments(state, lex, first, 0, closingConverted);
    if (closesHeld && closingConverted) {
        // The closing "*/" must have gone, and the line must stay comment up to any "//".
        const LexSpan& closing = lex.spans.front();
        const bool closed = converted && state.line[closing.end - 1] == ' ';
        if (!closed || !StaysComment(state.line)) {
            // Tried again without the closing comment: what the first try counted goes too.
            closingConverted = false;
            state.line = before;
            state.commentsLeft = leftBefore;
            converted = convertBlockComments(state, lex, first, 0, false);
        }
    }
    if (closesHeld) {
        if (!closingConverted)
            ++state.commentsLeft;
        else
            held_[0].line[openAt_ + 1] = '/';
        releaseHeld(closingConverted ? 1 : 0);
    }
    state.commentState = converted ? 2 : 0;

    // A block comment that opens here and goes on: hold it until it closes.
    if (!lex.spans.empty()) {
        const LexSpan& last = lex.spans.back();
        if (last.kind == LexKind::BlockComment && last.opensHere && !last.closesHere) {
            if (closesHeld) {
                // Closes one comment and opens the next: the first goes out now; the new one
                // is left as it is (its opening line is already on its way).
                ++state.commentsLeft;
            } else {
                openAt_ = last.begin;
                openWhole_ = state.line.compare(last.begin, 2, "/*") == 0;
                hold(state);
                return Action::Hold;
            }
        }
    }
    if (!closesHeld)
        return Action::Pass;
    hold(state);
    releaseHeld(state.commentState);
    return Action::Release;
}

bool CommentStage::finish(ConversionState& state) {
    if (heldCount_ == 0)
        return false;
    ++state.commentsLeft; // runs to the end of the file
    releaseHeld(0);
    return true;
}

} // namespace srctdy
