#include "engine/token_guard.h"

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

} // namespace

TokenGuard::TokenGuard(GuardOptions options)
    : output_(options.encoding, options.cpp, false),
      reference_(options.encoding, options.cpp, true) {}

void TokenGuard::outputLine(std::string_view head, std::string_view text) {
    if (failed_ || finished_)
        return;
    if (head.empty()) {
        output_.line(text, 0);
    } else {
        joined_.assign(head);
        joined_.append(text);
        output_.line(joined_, 0);
    }
    take(kOutput, output_);
}

void TokenGuard::referenceLine(std::string_view text, long inputLine) {
    if (failed_ || finished_)
        return;
    reference_.line(text, inputLine);
    take(kReference, reference_);
}

bool TokenGuard::finish() {
    if (finished_)
        return !failed_;
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
    std::string& bytes = tokens.produced();
    size_t n = bytes.size();
    size_t waiting = ahead_.size() - aheadStart_;
    if (n == 0) {
    } else if (waiting == 0 || aheadSide_ == side) {
        if (waiting == 0) {
            ahead_.clear();
            aheadStart_ = 0;
        }
        ahead_.append(bytes);
        aheadSide_ = side;
    } else {
        size_t m = std::min(waiting, n);
        const char* a = ahead_.data() + aheadStart_;
        if (std::memcmp(a, bytes.data(), m) != 0) {
            size_t j = 0;
            while (a[j] == bytes[j])
                ++j;
            tokens.drained();
            fail(matched_ + j);
            return;
        }
        matched_ += m;
        aheadStart_ += m;
        if (m < n) {
            ahead_.assign(bytes, m, n - m);
            aheadStart_ = 0;
            aheadSide_ = side;
        } else if (aheadStart_ >= (1u << 16) && aheadStart_ * 2 >= ahead_.size()) {
            ahead_.erase(0, aheadStart_);
            aheadStart_ = 0;
        }
    }
    tokens.drained();

    // Keep the reference's line marks from the one that covers the first unmatched byte.
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
