#include "engine/token_guard.h"

#include "engine/guard_chars.h"

#include <algorithm>
#include <cstring>

namespace srctdy {
namespace {

constexpr int kOutput = 0;
constexpr int kReference = 1;

// Splits a text at LF; a CR before the LF goes, and a final LF starts no empty line.
class Lines {
public:
    explicit Lines(std::string_view text) : rest_(text) {}
    bool next(std::string_view& line) {
        if (rest_.empty())
            return false;
        size_t lf = rest_.find('\n');
        line = rest_.substr(0, lf);
        rest_ = lf == std::string_view::npos ? std::string_view() : rest_.substr(lf + 1);
        if (lf != std::string_view::npos && !line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        return true;
    }

private:
    std::string_view rest_;
};

constexpr size_t kMostWaiting = 256;

// Calls take(part) for each part of a line that a CR not followed by its LF ends: the compiler
// takes such a CR for a line end, as it takes an LF (old Mac files end every line so).
template <class Take> void ForEachCompilerLine(std::string_view line, Take take) {
    if (!guard::HasCr(line)) [[likely]] {
        take(line);
        return;
    }
    for (size_t cr; (cr = line.find('\r')) != std::string_view::npos;) {
        take(line.substr(0, cr));
        line.remove_prefix(cr + 1);
    }
    take(line);
}

} // namespace

TokenGuard::TokenGuard(GuardOptions options)
    : quick_(options.quickLines), output_(options.encoding, options.cpp, false),
      reference_(options.encoding, options.cpp, true) {}

void TokenGuard::outputLine(std::string_view head, std::string_view text) {
    leaveStep();
    if (failed_ || finished_)
        return;
    std::string_view line = text;
    if (!head.empty()) {
        joined_.assign(head);
        joined_.append(text);
        line = joined_;
    }
    ForEachCompilerLine(line, [&](std::string_view part) { arrive(kOutput, part, 0); });
}

void TokenGuard::referenceLine(std::string_view text, long inputLine) {
    leaveStep();
    if (failed_ || finished_)
        return;
    ForEachCompilerLine(text, [&](std::string_view part) { arrive(kReference, part, inputLine); });
}

void TokenGuard::linesApart(std::string_view head, std::string_view text,
                            std::string_view reference, long inputLine) {
    leaveStep();
    if (failed_ || finished_)
        return;
    arrive(kReference, reference, inputLine);
    if (failed_ || finished_)
        return;
    if (head.empty()) {
        arrive(kOutput, text, 0);
    } else {
        joined_.assign(head);
        joined_.append(text);
        arrive(kOutput, joined_, 0);
    }
}

void TokenGuard::pairApart(std::string_view head, std::string_view text, std::string_view reference,
                           long inputLine) {
    // A CR inside a line ends a line for the compiler: the lines are taken apart there (the
    // quick step takes none). The text is most often a part of its reference.
    const bool inReference = text.data() >= reference.data() &&
                             text.data() + text.size() <= reference.data() + reference.size();
    if (guard::HasCr(reference) || (!inReference && guard::HasCr(text)) || guard::HasCr(head))
        [[unlikely]] {
        referenceLine(reference, inputLine);
        outputLine(head, text);
        return;
    }
    if (inStep_) {
        if (guard::AllBlank(head.data(), head.size())) {
            if (int skipped = reference_.stepAlike(text, reference)) {
                if (skipped == 2)
                    passedTokens(inputLine);
                return;
            }
            if (skipPair(text, reference, inputLine, true))
                return;
        }
        leaveStep();
    }
    if (failed_ || finished_)
        return;
    if (quick_ && waitingStart_ == waiting_.size() && aheadStart_ == ahead_.size() &&
        guard::AllBlank(head.data(), head.size()) && output_.canSkip(reference_) &&
        skipPair(text, reference, inputLine, true)) {
        inStep_ = true;
        return;
    }
    linesApart(head, text, reference, inputLine); // linePair found no CR in them
}

// While in step only the reference's tokenizer follows the pairs skipped: the output's stands
// where the reference's does.
void TokenGuard::leaveStep() {
    if (inStep_) {
        output_.follow(reference_);
        inStep_ = false;
    }
}

// While both sides stand matched and alike, a line waits, untokenized, for its counterpart; a
// pair alike as lines is then skipped on both sides at once.
void TokenGuard::arrive(int side, std::string_view text, long inputLine) {
    bool waiting = waitingStart_ < waiting_.size();
    if (waiting && waitingSide_ != side) {
        const Waiting& w = waiting_[waitingStart_];
        std::string_view other(waitingText_.data() + w.start, w.size);
        if (skipPair(text, other, side == kReference ? inputLine : w.line, false)) {
            if (++waitingStart_ == waiting_.size()) {
                waiting_.clear();
                waitingText_.clear();
                waitingStart_ = 0;
            }
            return;
        }
    } else if (quick_ && (waiting ? waiting_.size() - waitingStart_ < kMostWaiting
                                  : aheadStart_ == ahead_.size() && output_.canSkip(reference_))) {
        waiting_.push_back({waitingText_.size(), text.size(), inputLine});
        waitingText_.append(text);
        waitingSide_ = side;
        return;
    }
    lexWaiting();
    lex(side, text, inputLine);
}

bool TokenGuard::skipPair(std::string_view a, std::string_view b, long inputLine,
                          bool referenceOnly) {
    GuardTokenizer::Skip skip;
    std::string_view ta = guard::Trimmed(a);
    std::string_view tb = guard::Trimmed(b);
    bool alike = ta.size() == tb.size() && std::memcmp(ta.data(), tb.data(), ta.size()) == 0;
    if (!(alike ? reference_.scanAlike(ta, &skip) : reference_.scanRespaced(ta, tb, &skip)) &&
        !reference_.quickScan(ta, tb, &skip))
        return false;
    if (!referenceOnly)
        output_.skipLine(skip);
    reference_.skipLine(skip);
    if (skip.tokens)
        passedTokens(inputLine);
    return true;
}

// The last nonzero line of the marks, which all stand matched.
void TokenGuard::dropMarks() {
    auto& marks = reference_.marks();
    for (size_t k = marks.size(); k > markStart_; --k)
        if (marks[k - 1].line != 0) {
            lastKnownLine_ = marks[k - 1].line;
            break;
        }
    marks.clear();
    markStart_ = 0;
}

void TokenGuard::lexWaiting() {
    for (; waitingStart_ < waiting_.size(); ++waitingStart_) {
        const Waiting& w = waiting_[waitingStart_];
        lex(waitingSide_, std::string_view(waitingText_.data() + w.start, w.size), w.line);
    }
    waiting_.clear();
    waitingText_.clear();
    waitingStart_ = 0;
}

void TokenGuard::lex(int side, std::string_view text, long inputLine) {
    if (failed_)
        return;
    GuardTokenizer& tokens = side == kOutput ? output_ : reference_;
    tokens.line(text, inputLine);
    take(side, tokens);
}

bool TokenGuard::finish() {
    leaveStep();
    if (finished_)
        return !failed_;
    lexWaiting();
    if (!failed_) {
        output_.finish();
        take(kOutput, output_);
    }
    if (!failed_) {
        reference_.finish();
        take(kReference, reference_);
    }
    // Both streams end in a record no other can begin with, so what is left is a difference.
    if (!failed_ && aheadStart_ != ahead_.size())
        fail(matched_);
    finished_ = true;
    return !failed_;
}

void TokenGuard::take(int side, GuardTokenizer& tokens) {
    compare(side, tokens.produced());
    tokens.drained();
    trimMarks();
}

// Matches a side's new stream bytes against the other side's bytes that are ahead; what goes
// beyond them is kept, now as this side's lead.
void TokenGuard::compare(int side, std::string_view bytes) {
    size_t n = bytes.size();
    size_t waiting = ahead_.size() - aheadStart_;
    if (n == 0)
        return;
    if (waiting == 0 || aheadSide_ == side) {
        if (waiting == 0) {
            ahead_.clear();
            aheadStart_ = 0;
        }
        ahead_.append(bytes);
        aheadSide_ = side;
        return;
    }
    size_t m = std::min(waiting, n);
    const char* a = ahead_.data() + aheadStart_;
    if (std::memcmp(a, bytes.data(), m) != 0) {
        size_t j = 0;
        while (a[j] == bytes[j])
            ++j;
        fail(matched_ + j);
        return;
    }
    matched_ += m;
    aheadStart_ += m;
    if (m < n) {
        ahead_.assign(bytes.substr(m));
        aheadStart_ = 0;
        aheadSide_ = side;
    } else if (aheadStart_ >= (1u << 16) && aheadStart_ * 2 >= ahead_.size()) {
        ahead_.erase(0, aheadStart_);
        aheadStart_ = 0;
    }
}

// Keeps the reference's line marks from the one that covers the first unmatched byte.
void TokenGuard::trimMarks() {
    auto& marks = reference_.marks();
    while (markStart_ + 1 < marks.size() && marks[markStart_ + 1].offset <= matched_) {
        if (marks[markStart_].line != 0)
            lastKnownLine_ = marks[markStart_].line;
        ++markStart_;
    }
    if (markStart_ >= 4096 && markStart_ * 2 >= marks.size()) {
        marks.erase(marks.begin(), marks.begin() + static_cast<std::ptrdiff_t>(markStart_));
        markStart_ = 0;
    }
}

void TokenGuard::fail(uint64_t referenceOffset) {
    failed_ = true;
    const auto& marks = reference_.marks();
    size_t k = marks.size();
    while (k > markStart_ && marks[k - 1].offset > referenceOffset)
        --k;
    // marks[k - 1] covers the offset; an inserted line (0) gives the input line before it.
    while (k > markStart_ && marks[k - 1].line == 0)
        --k;
    partingLine_ = k > markStart_ ? marks[k - 1].line : lastKnownLine_;
}

bool SameTokens(std::string_view output, std::string_view reference, GuardOptions options,
                long* partingLine) {
    TokenGuard guard(options);
    Lines out(output);
    Lines ref(reference);
    std::string_view line;
    long number = 0;
    bool moreOut = true;
    bool moreRef = true;
    while (moreOut || moreRef) {
        if (moreOut && (moreOut = out.next(line)))
            guard.outputLine({}, line);
        if (moreRef && (moreRef = ref.next(line)))
            guard.referenceLine(line, ++number);
    }
    bool same = guard.finish();
    if (partingLine)
        *partingLine = guard.partingLine();
    return same;
}

} // namespace srctdy
