#include "engine/line_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <unistd.h>
#include <utility>

namespace srctdy {

namespace {

constexpr size_t kReadSize = 256 * 1024;

// One spare block per thread: allocating and freeing a large block for every file makes the
// allocator hand memory back and fault it in again, which costs more than small files take.
struct SpareBlock {
    char* block = nullptr;
    size_t capacity = 0;
    ~SpareBlock() { std::free(block); }
};
thread_local SpareBlock spare;

char* Allocate(char* old, size_t size) {
    char* block = static_cast<char*>(std::realloc(old, size));
    if (!block)
        throw std::bad_alloc(); // caught per file by the driver; old is still owned
    return block;
}

} // namespace

void LineReader::Free::operator()(char* p) const {
    std::free(p);
}

LineReader::LineReader(int fd) : fd_(fd) {
    if (spare.block) {
        owned_.reset(std::exchange(spare.block, nullptr));
        capacity_ = spare.capacity;
    } else {
        owned_.reset(Allocate(nullptr, kReadSize));
        capacity_ = kReadSize;
    }
    data_ = owned_.get();
}

LineReader::LineReader(std::string_view bytes)
    : data_(bytes.data()), size_(bytes.size()), eof_(true) {}

LineReader::~LineReader() {
    // Blocks grown for one very long line are not kept.
    if (owned_ && capacity_ <= 4 * kReadSize && !spare.block) {
        spare.block = owned_.release();
        spare.capacity = capacity_;
    }
}

bool LineReader::tooLong() {
    eof_ = failed_ = tooLong_ = true;
    return false;
}

bool LineReader::fill() {
    // Keep the unread tail at the front; the block grows only while one line is longer.
    size_t tail = size_ - pos_;
    if (tail > kMaxLineLength + 1) // no line end in it: the line is too long (a CR may end it)
        return tooLong();
    if (pos_ > 0)
        std::memmove(owned_.get(), owned_.get() + pos_, tail);
    if (capacity_ - tail < kReadSize) {
        // Grow by half, in place where the allocator can: the block stays within 1.5 times
        // the longest line plus a read, and a large block is remapped rather than copied.
        size_t bigger = std::max(capacity_ + capacity_ / 2, tail + kReadSize);
        owned_.reset(Allocate(owned_.release(), bigger));
        capacity_ = bigger;
    }
    data_ = owned_.get();
    pos_ = 0;
    size_ = tail;
    ssize_t n;
    do {
        n = ::read(fd_, owned_.get() + size_, capacity_ - size_);
    } while (n < 0 && errno == EINTR);
    if (n <= 0) {
        eof_ = true;
        failed_ = n < 0;
        return false;
    }
    size_ += static_cast<size_t>(n);
    bytesRead_ += static_cast<uint64_t>(n);
    return true;
}

bool LineReader::next(std::string& line) {
    std::string_view view;
    if (!next(view))
        return false;
    line.assign(view);
    return true;
}

bool LineReader::next(std::string_view& line) {
    if (tooLong_)
        return false;
    size_t searchFrom = pos_;
    for (;;) {
        const void* nl = searchFrom < size_
                             ? std::memchr(data_ + searchFrom, '\n', size_ - searchFrom)
                             : nullptr;
        if (nl) {
            size_t end = static_cast<const char*>(nl) - data_;
            size_t len = end - pos_;
            lineEnd_ = "\n";
            if (len > 0 && data_[end - 1] == '\r') {
                --len; // CR LF reads as one line end
                lineEnd_ = "\r\n";
            }
            if (len > kMaxLineLength && fd_ >= 0)
                return tooLong();
            line = std::string_view(data_ + pos_, len);
            pos_ = end + 1;
            return true;
        }
        size_t tail = size_ - pos_;
        if (eof_ || !fill()) {
            if (pos_ >= size_ || tooLong_)
                return false;
            if (size_ - pos_ > kMaxLineLength && fd_ >= 0)
                return tooLong();
            line = std::string_view(data_ + pos_, size_ - pos_); // last line, no line end
            pos_ = size_;
            lineEnd_ = "";
            return true;
        }
        searchFrom = tail; // fill() moved the unread tail to the front; it holds no LF
    }
}

} // namespace srctdy
