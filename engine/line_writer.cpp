#include "engine/line_writer.h"

#include "engine/byte_blocks.h"
#include "engine/token_guard.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <unistd.h>

namespace srctdy {

namespace {
constexpr std::string_view kCrLf = "\r\n";

// One spare buffer per thread, kept from file to file (see LineReader).
struct SpareBuffer {
    std::unique_ptr<char[]> bytes;
    size_t capacity = 0;
};
thread_local SpareBuffer spare;

thread_local LineFault plantedFault = nullptr;

} // namespace

void SetLineFaultForTesting(LineFault fault) {
    plantedFault = fault;
}

bool FdSink::write(std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::write(fd_, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

bool ComparingSink::write(std::string_view bytes) {
    if (same_)
        same_ = matches(bytes);
    offset_ += static_cast<off_t>(bytes.size());
    return !inner_ || inner_->write(bytes);
}

bool ComparingSink::matches(std::string_view bytes) {
    constexpr size_t kPiece = 64 * 1024;
    buffer_.resize(std::min(bytes.size(), kPiece));
    off_t at = offset_;
    while (!bytes.empty()) {
        const size_t want = std::min(bytes.size(), kPiece);
        ssize_t n = ::pread(fd_, buffer_.data(), want, at);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0 || std::memcmp(buffer_.data(), bytes.data(), static_cast<size_t>(n)) != 0)
            return false;
        bytes.remove_prefix(static_cast<size_t>(n));
        at += n;
    }
    return true;
}

LineWriter::LineWriter(ByteSink& sink, LineEnds lineEnds)
    : sink_(sink), keep_(lineEnds == LineEnds::Keep),
      addedEnd_(lineEnds == LineEnds::Lf ? "\n" : kCrLf), faultPlanted_(plantedFault != nullptr),
      quick_(!faultPlanted_) {
    if (spare.bytes) {
        buffer_ = std::move(spare.bytes);
        capacity_ = spare.capacity;
    } else {
        capacity_ = kFlushAt + kSpare;
        buffer_ = std::make_unique_for_overwrite<char[]>(capacity_);
    }
}

LineWriter::~LineWriter() {
    flush();
    if (!spare.bytes && capacity_ <= 4 * kFlushAt) {
        spare.bytes = std::move(buffer_);
        spare.capacity = capacity_;
    }
}

namespace {
// A CR that ends a line's text would make one line end with a bare LF after it (a compiler
// reads CR LF as one, and a backslash before the CR would then splice the next line on):
// such a line ends in CR LF.
[[gnu::always_inline]] inline std::string_view EndAfter(std::string_view text,
                                                        std::string_view end) {
    return end.size() == 1 && !text.empty() && text.back() == '\r' ? kCrLf : end;
}
} // namespace

void LineWriter::writeLine(std::string_view head, std::string_view text) {
    if (guard_)
        guard_->outputLine(head, text);
    append(head, text, addedEnd_);
}

void LineWriter::writeInsertedLine(std::string_view text) {
    if (guard_) {
        guard_->referenceLine(text, 0);
        guard_->outputLine({}, text);
    }
    append({}, text, addedEnd_);
}

void LineWriter::writeInputLine(std::string_view head, std::string_view text,
                                std::string_view inputEnd, std::string_view reference,
                                long inputLine) {
    thread_local std::string faulty;
    if (plantedFault) {
        faulty.assign(text);
        plantedFault(faulty);
        text = faulty;
    }
    if (guard_)
        guard_->linePair(head, text, reference, inputLine);
    if (inputBreaks_ || plantedFault)
        append(head, text, keep_ ? inputEnd : addedEnd_);
    else
        appendBytes(head, text, keep_ ? inputEnd : addedEnd_);
}

[[gnu::noinline]] void LineWriter::writeIndentedLine(std::string_view head, char fill,
                                                     std::string_view text,
                                                     std::string_view inputEnd) {
    const std::string_view end = EndAfter(text, keep_ ? inputEnd : addedEnd_);
    const size_t length = head.size() + text.size() + end.size();
    if (length > kQuickLength) [[unlikely]] {
        append(head, text, end);
        return;
    }
    // Below kFlushAt between writes, so the spare room past it takes the line and the bytes
    // the moves write beyond it.
    char* out = blocks::FillOver(buffer_.get() + size_, fill, head.size());
    blocks::CopyLineEnd(blocks::CopyOver(out, text.data(), text.size()), end);
    added(length);
}

void LineWriter::setAddedLineEnd(std::string_view firstInputEnd) {
    if (keep_)
        addedEnd_ = firstInputEnd.empty() ? kCrLf : firstInputEnd;
}

void LineWriter::append(std::string_view head, std::string_view text, std::string_view end) {
    // A text put into a line (a replacement, a file name) may hold line breaks; each one is
    // written as a line end of the file's own style, never as a bare LF.
    if (!text.empty() && std::memchr(text.data(), '\n', text.size())) {
        // A last line without a line end keeps none; its inner breaks take the added lines'.
        const std::string_view inner = end.empty() ? addedEnd_ : end;
        size_t newline;
        while ((newline = text.find('\n')) != std::string_view::npos) {
            std::string_view piece = text.substr(0, newline);
            if (!piece.empty() && piece.back() == '\r')
                piece.remove_suffix(1);
            appendBytes(head, piece, inner);
            head = {};
            text.remove_prefix(newline + 1);
        }
    }
    appendBytes(head, text, end);
}

[[gnu::always_inline]] inline void
LineWriter::appendBytes(std::string_view head, std::string_view text, std::string_view end) {
    end = EndAfter(text, end);
    const size_t length = head.size() + text.size() + end.size();
    if (length > kFlushAt) {
        // A line longer than the buffer goes to the sink as it is: copying it would double
        // the memory a huge line takes.
        flush();
        for (std::string_view part : {head, text, end})
            if (ok_ && !part.empty())
                ok_ = sink_.write(part);
        return;
    }
    // The moves may write fifteen bytes past the line.
    if (capacity_ - size_ < length + 16)
        grow(length + 16);
    char* out = blocks::CopyOver(buffer_.get() + size_, head.data(), head.size());
    blocks::CopyLineEnd(blocks::CopyOver(out, text.data(), text.size()), end);
    added(length);
}

void LineWriter::grow(size_t needed) {
    flush();
    if (capacity_ - size_ >= needed)
        return;
    // One line longer than the buffer: make room for it whole.
    capacity_ = std::max(capacity_ * 2, needed);
    buffer_ = std::make_unique_for_overwrite<char[]>(capacity_);
}

bool LineWriter::flush() {
    if (size_ > 0) {
        if (ok_)
            ok_ = sink_.write(std::string_view(buffer_.get(), size_));
        size_ = 0;
    }
    return ok_;
}

} // namespace srctdy
