// line_copy: the floor for the benchmarks. Reads lines and writes them with CR LF line ends,
// nothing else, doing the same file work as srctdy-cli in sub-folder output:
//
//   line_copy [--subfolder=NAME] [--type=PATTERN] [--tidy | --tidy-track] PATH...
//
// --tidy adds the least a tidy of every line does (see TidyCopier): what that costs beside the
// floor is a floor of its own for srctdy-cli's defaults. --tidy-track adds the least lexical
// look a tidy that must not change the tokens needs: where comments and literals begin and end.
//
// A PATH is a file or a folder (its plain files matching PATTERN, default "*.c", no
// recursion). Each output goes to NAME (default NewFolder) beside its input, written through
// a temporary file and renamed into place. Line ends as the engine reads them: LF, with a CR
// right before it belonging to the line end; a last line without LF gets one too.

#include "batch/file_list.h"
#include "engine/byte_blocks.h"

#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <fcntl.h>
#include <memory>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr size_t kReadSize = 1 << 20;
constexpr size_t kWriteAt = 1 << 20;

std::string Join(const std::string& folder, const std::string& name) {
    return folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
}

bool WriteAll(int fd, const char* p, size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

class LineCopier {
public:
    LineCopier() : in_(kReadSize) { out_.reserve(kWriteAt + kReadSize + 2); }

    // Copies in to out; false on a read or write error.
    bool copy(int in, int out) {
        out_.clear();
        bool pendingCr = false; // the last byte read was a CR; an LF may follow in the next read
        bool openLine = false;  // bytes of an unfinished line have been copied
        for (;;) {
            ssize_t n = ::read(in, in_.data(), in_.size());
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return false;
            if (n == 0)
                break;
            const char* p = in_.data();
            const char* end = p + n;
            while (p < end) {
                const char* nl = static_cast<const char*>(std::memchr(p, '\n', end - p));
                if (!nl) {
                    if (pendingCr)
                        out_ += '\r'; // not a line end after all
                    pendingCr = end[-1] == '\r';
                    out_.append(p, end - pendingCr);
                    openLine = true;
                    break;
                }
                const char* lineEnd = nl > p && nl[-1] == '\r' ? nl - 1 : nl;
                if (pendingCr && nl > p)
                    out_ += '\r';
                pendingCr = false;
                out_.append(p, lineEnd);
                out_ += "\r\n";
                openLine = false;
                p = nl + 1;
            }
            if (out_.size() >= kWriteAt) {
                if (!WriteAll(out, out_.data(), out_.size()))
                    return false;
                out_.clear();
            }
        }
        if (pendingCr)
            out_ += '\r';
        if (openLine)
            out_ += "\r\n";
        return WriteAll(out, out_.data(), out_.size());
    }

private:
    std::vector<char> in_;
    std::string out_;
};

#if defined(__SSE2__)
// The least the start-up defaults do to a line, and nothing that needs a lexical look: each
// line is trimmed of blanks (space, \t to \r) at both ends and indented by one tab per brace
// level, a "}" counting before its line and a "{" after it. A line holding a byte that would
// send it to a lexical look (a comment mark, a quote, a backslash, "#", a byte above 0x7F) is
// trimmed but moves no level, as if its braces were in a comment. Each 64 bytes are classified
// once, in one pass that finds the line ends, the blanks, the braces and those bytes together:
// the cheapest way a tidy has to see its lines.
//
// With Track, the tidy knows where each line begins, lexically: in code, in a block comment,
// or in a literal or line comment that a splice continued. The walk goes from mark to mark
// on bits the same pass finds, over the window and not line by line: a line without a mark,
// begun in code, costs it one test. Braces then move the level as the engine's indentation
// has them (every line but a directive, which stands at the margin), and a line that goes on
// a literal is written as it stands.
template <bool Track> class TidyCopier {
public:
    TidyCopier() : in_(kReadSize + kSlack), out_(new char[kWriteAt + kLongest + kSlack]) {}

    bool copy(int in, int out) {
        fd_ = out;
        ok_ = true;
        size_ = 0;
        depth_ = 0;
        state_ = kCode;
        startState_ = kCode;
        size_t have = 0;
        for (bool end = false; !end;) {
            if (have + kSlack >= in_.size())
                in_.resize(in_.size() * 2); // one line longer than the block
            ssize_t n = ::read(in, in_.data() + have, in_.size() - kSlack - have);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return false;
            end = n == 0;
            have += static_cast<size_t>(n);
            if (end && have > 0 && in_[have - 1] != '\n')
                in_[have++] = '\n'; // a last line without LF gets one too, as in the floor
            const size_t done = lines(in_.data(), have);
            std::memmove(in_.data(), in_.data() + done, have - done);
            have -= done;
        }
        flush();
        return ok_;
    }

private:
    static constexpr size_t kSlack = 64;     // windows are read up to 63 bytes past the data
    static constexpr size_t kLongest = 4096; // longer output lines go to the file directly
    static constexpr int kMostLevels = 1024; // a level count gone astray writes no megabytes

    struct Marks {
        uint64_t slash = 0, quote = 0, apostrophe = 0, backslash = 0;
    };

    // Writes the lines of p[0, size) that end in an LF; returns the bytes they take.
    size_t lines(const char* p, size_t size) {
        const void* last = ::memrchr(p, '\n', size);
        if (!last)
            return 0;
        const size_t limit = static_cast<size_t>(static_cast<const char*>(last) - p) + 1;
        size_t start = 0;       // the open line's first byte
        size_t text = SIZE_MAX; // the open line's first byte that is no blank
        size_t textEnd = 0;     // one past its last
        bool look = false, open = false, close = false;
        size_t from = 0; // where the open line starts in the window
        at_ = closeFrom_ = 0;
        for (size_t w = 0; w < limit; w += 64, from = 0) {
            uint64_t lf = 0, blank = 0, opens = 0, closes = 0, looks = 0;
            Marks marks; // in locals while they are gathered: the buffer may alias the members
            for (int k = 0; k < 4; ++k) {
                const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + w + 16 * k));
                auto is = [x](char c) { return _mm_cmpeq_epi8(x, _mm_set1_epi8(c)); };
                auto bits = [k](__m128i m) {
                    return uint64_t{static_cast<uint32_t>(_mm_movemask_epi8(m))} << (16 * k);
                };
                lf |= bits(is('\n'));
                blank |= uint64_t{srctdy::blocks::Blanks(x)} << (16 * k);
                opens |= bits(is('{'));
                closes |= bits(is('}'));
                if constexpr (Track) {
                    // The marks one by one, for the walk from mark to mark.
                    const __m128i slash = is('/'), quote = is('"'), apostrophe = is('\''),
                                  backslash = is('\\');
                    marks.slash |= bits(slash);
                    marks.quote |= bits(quote);
                    marks.apostrophe |= bits(apostrophe);
                    marks.backslash |= bits(backslash);
                } else {
                    looks |= bits(_mm_or_si128(_mm_or_si128(_mm_or_si128(is('/'), is('"')),
                                                            _mm_or_si128(is('\''), is('\\'))),
                                               _mm_or_si128(is('#'), x)));
                }
            }
            if (limit - w < 64)
                lf &= (uint64_t{1} << (limit - w)) - 1;
            [[maybe_unused]] const uint64_t any = marks.slash | marks.quote | marks.apostrophe;
            const uint64_t nonBlank = ~blank & ~lf;
            auto gather = [&](uint64_t range) {
                if (const uint64_t t = nonBlank & range) {
                    if (text == SIZE_MAX)
                        text = w + static_cast<size_t>(std::countr_zero(t));
                    textEnd = w + 64 - static_cast<size_t>(std::countl_zero(t));
                }
                look = look || (looks & range) != 0;
                open = open || (opens & range) != 0;
                close = close || (closes & range) != 0;
            };
            for (uint64_t ends = lf; ends != 0; ends &= ends - 1) {
                const size_t at = static_cast<size_t>(std::countr_zero(ends));
                gather((~uint64_t{0} << from) & ((uint64_t{1} << at) - 1));
                if constexpr (Track) {
                    // As the engine indents: braces move the level on every line but a
                    // directive, at the margin; a line that goes on a literal stands as it is.
                    const size_t end = w + at;
                    const size_t n = end - start - (end > start && p[end - 1] == '\r');
                    const bool continued = startState_ == kLiteral;
                    if (state_ != kCode || (any & ((uint64_t{1} << at) - 1)) >> from != 0)
                        walkMarks(p, w, marks, start + n);
                    // A literal or a line comment ends with its line unless a splice goes on.
                    if (!(n > 0 && p[start + n - 1] == '\\') &&
                        (state_ == kLiteral || state_ == kLineComment))
                        state_ = kCode;
                    const bool directive = text != SIZE_MAX && p[text] == '#';
                    look = continued || directive;
                    if (continued) {
                        text = n > 0 ? start : SIZE_MAX;
                        textEnd = start + n;
                    }
                    line(p, text, textEnd, look, open, close, !look);
                    startState_ = state_;
                    at_ = closeFrom_ = end + 1;
                } else {
                    line(p, text, textEnd, look, open, close);
                }
                start = w + at + 1;
                text = SIZE_MAX;
                look = open = close = false;
                from = at + 1;
            }
            if (from < 64) {
                gather(~uint64_t{0} << from);
                if constexpr (Track)
                    if (state_ != kCode || any >> from != 0)
                        walkMarks(p, w, marks, std::min(w + 64, limit));
            }
        }
        return limit;
    }

    // With Track: walks the marks of the open line from at_ up to end (end <= the window's
    // end), from the state the bytes before left: comment marks, quotes, and in a literal the
    // escapes. Each mark is met once, whatever line it stands in; a line without one costs
    // nothing here. Raw strings and double-byte characters are not seen.
    void walkMarks(const char* p, size_t w, const Marks& m, size_t end) {
        if (end <= w)
            return;
        const size_t hi = end - w;
        auto in = [&](uint64_t bits) {
            const size_t lo = at_ > w ? at_ - w : 0;
            if (lo >= hi)
                return uint64_t{0};
            bits = bits >> lo << lo;
            return hi < 64 ? bits & ((uint64_t{1} << hi) - 1) : bits;
        };
        auto first = [w](uint64_t bits) { return w + static_cast<size_t>(std::countr_zero(bits)); };
        for (;;) {
            if (state_ == kBlock) {
                uint64_t slashes = in(m.slash);
                // The "/" of a "*/", not the "/" of "/*/".
                while (slashes != 0 && !(first(slashes) >= closeFrom_ && first(slashes) > 0 &&
                                         p[first(slashes) - 1] == '*'))
                    slashes &= slashes - 1;
                if (slashes == 0)
                    break;
                at_ = first(slashes) + 1;
                state_ = kCode;
            } else if (state_ == kLiteral) {
                const uint64_t stops = in((quote_ == '"' ? m.quote : m.apostrophe) | m.backslash);
                if (stops == 0)
                    break;
                const size_t j = first(stops);
                at_ = j + (p[j] == '\\' ? 2 : 1); // an escape takes the byte after it
                if (p[j] != '\\')
                    state_ = kCode;
            } else if (state_ == kLineComment) {
                break;
            } else {
                const uint64_t stops = in(m.slash | m.quote | m.apostrophe);
                if (stops == 0)
                    break;
                const size_t j = first(stops);
                const char b = p[j];
                at_ = j + 1;
                if (b == '/' && p[j + 1] == '*') {
                    state_ = kBlock;
                    at_ = j + 2;
                    closeFrom_ = j + 3; // the "*" of "/*/" closes nothing
                } else if (b == '/' && p[j + 1] == '/') {
                    state_ = kLineComment;
                } else if (b != '/') {
                    state_ = kLiteral;
                    quote_ = b;
                }
            }
        }
        at_ = std::max(at_, end);
    }

    void line(const char* p, size_t text, size_t textEnd, bool look, bool open, bool close,
              bool indent = true) {
        const size_t length = text == SIZE_MAX ? 0 : textEnd - text;
        if (!look && close && depth_ > 0)
            --depth_;
        const size_t levels = length == 0 || !indent ? 0 : static_cast<size_t>(depth_);
        if (!look && open && depth_ < kMostLevels)
            ++depth_;
        if (levels + length + 2 > kLongest) {
            flush();
            const std::string head(levels, '\t');
            ok_ = ok_ && WriteAll(fd_, head.data(), head.size()) &&
                  WriteAll(fd_, p + text, length) && WriteAll(fd_, "\r\n", 2);
            return;
        }
        char* o = srctdy::blocks::FillOver(out_.get() + size_, '\t', levels);
        std::memcpy(srctdy::blocks::CopyOver(o, p + text, length), "\r\n", 2);
        size_ += levels + length + 2;
        if (size_ >= kWriteAt)
            flush();
    }

    void flush() {
        ok_ = ok_ && WriteAll(fd_, out_.get(), size_);
        size_ = 0;
    }

    std::vector<char> in_;
    std::unique_ptr<char[]> out_;
    size_t size_ = 0;
    int depth_ = 0;
    int fd_ = -1;
    bool ok_ = true;
    // With Track: what the line before left open, and for a literal its quote.
    enum { kCode, kBlock, kLiteral, kLineComment };
    int state_ = kCode;
    char quote_ = '"';
    int startState_ = kCode; // the state the open line began in
    size_t at_ = 0;          // the walk has seen the marks before this byte
    size_t closeFrom_ = 0;   // where a "*/" may end the open comment: not in its own "/*"
};
#else
template <bool Track> using TidyCopier = LineCopier;
#endif

template <class Copier>
bool CopyFile(Copier& copier, const std::string& path, const std::string& subFolder) {
    size_t slash = path.find_last_of('/');
    std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string outFolder = Join(folder, subFolder);
    ::mkdir(outFolder.c_str(), 0777); // an existing folder is simply used

    int in = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        std::fprintf(stderr, "line_copy: %s: %s\n", path.c_str(), std::strerror(errno));
        return false;
    }
    std::string temp = Join(outFolder, ".line_copy." + std::to_string(::getpid()));
    int out = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (out < 0) {
        std::fprintf(stderr, "line_copy: %s: %s\n", temp.c_str(), std::strerror(errno));
        ::close(in);
        return false;
    }
    bool ok = copier.copy(in, out);
    ::close(in);
    ok = ::close(out) == 0 && ok;
    if (ok)
        ok = ::rename(temp.c_str(), Join(outFolder, name).c_str()) == 0;
    if (!ok) {
        std::fprintf(stderr, "line_copy: %s: %s\n", path.c_str(), std::strerror(errno));
        ::unlink(temp.c_str());
    }
    return ok;
}

std::vector<std::string> ListFolder(const std::string& folder, std::string_view pattern) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return names;
    while (const dirent* entry = ::readdir(dir)) {
        std::string path = Join(folder, entry->d_name);
        struct stat st;
        if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
            srctdy::MatchesFileType(entry->d_name, pattern))
            names.push_back(path);
    }
    ::closedir(dir);
    return names;
}

template <class Copier>
int CopyAll(const std::vector<std::string>& paths, std::string_view pattern,
            const std::string& subFolder) {
    Copier copier;
    int status = 0;
    for (const std::string& path : paths) {
        struct stat st;
        if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            for (const std::string& file : ListFolder(path, pattern))
                if (!CopyFile(copier, file, subFolder))
                    status = 1;
        } else if (!CopyFile(copier, path, subFolder)) {
            status = 1;
        }
    }
    return status;
}

} // namespace

int main(int argc, char** argv) {
    std::string subFolder = "NewFolder";
    std::string pattern = "*.c";
    std::vector<std::string> paths;
    bool tidy = false;
    bool track = false;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (arg.rfind("--subfolder=", 0) == 0)
            subFolder = arg.substr(12);
        else if (arg.rfind("--type=", 0) == 0)
            pattern = arg.substr(7);
        else if (arg == "--tidy")
            tidy = true;
        else if (arg == "--tidy-track")
            tidy = track = true;
        else
            paths.emplace_back(arg);
    }
    if (paths.empty() || subFolder.empty()) {
        std::fprintf(stderr,
                     "usage: line_copy [--subfolder=NAME] [--type=PATTERN] [--tidy|--tidy-track] "
                     "PATH...\n");
        return 2;
    }
    if (track)
        return CopyAll<TidyCopier<true>>(paths, pattern, subFolder);
    return tidy ? CopyAll<TidyCopier<false>>(paths, pattern, subFolder)
                : CopyAll<LineCopier>(paths, pattern, subFolder);
}
