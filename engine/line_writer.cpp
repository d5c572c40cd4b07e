#include "engine/line_writer.h"

#include <cerrno>
#include <unistd.h>

namespace srctdy {

namespace {
constexpr size_t kFlushAt = 128 * 1024;
constexpr std::string_view kCrLf = "\r\n";
} // namespace

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

LineWriter::LineWriter(ByteSink& sink, LineEnds lineEnds)
    : sink_(sink), keep_(lineEnds == LineEnds::Keep),
      addedEnd_(lineEnds == LineEnds::Lf ? "\n" : kCrLf) {
    buffer_.reserve(kFlushAt + 4096);
}

LineWriter::~LineWriter() {
    flush();
}

void LineWriter::writeLine(std::string_view head, std::string_view text) {
    append(head, text, addedEnd_);
}

void LineWriter::writeInputLine(std::string_view head, std::string_view text,
                                std::string_view inputEnd) {
    append(head, text, keep_ ? inputEnd : addedEnd_);
}

void LineWriter::setAddedLineEnd(std::string_view firstInputEnd) {
    if (keep_)
        addedEnd_ = firstInputEnd.empty() ? kCrLf : firstInputEnd;
}

void LineWriter::append(std::string_view head, std::string_view text, std::string_view end) {
    buffer_.append(head);
    buffer_.append(text);
    buffer_.append(end);
    if (buffer_.size() >= kFlushAt)
        flush();
}

bool LineWriter::flush() {
    if (!buffer_.empty()) {
        if (ok_)
            ok_ = sink_.write(buffer_);
        buffer_.clear();
    }
    return ok_;
}

} // namespace srctdy
