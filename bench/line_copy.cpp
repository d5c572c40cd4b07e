// line_copy: the floor for the benchmarks. Reads lines and writes them with CR LF line ends,
// nothing else, doing the same file work as srctdy-cli in sub-folder output:
//
//   line_copy [--subfolder=NAME] [--type=PATTERN] PATH...
//
// A PATH is a file or a folder (its plain files matching PATTERN, default "*.c", no
// recursion). Each output goes to NAME (default NewFolder) beside its input, written through
// a temporary file and renamed into place. Line ends as the engine reads them: LF, with a CR
// right before it belonging to the line end; a last line without LF gets one too.

#include "batch/file_list.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
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

bool CopyFile(LineCopier& copier, const std::string& path, const std::string& subFolder) {
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

} // namespace

int main(int argc, char** argv) {
    std::string subFolder = "NewFolder";
    std::string pattern = "*.c";
    std::vector<std::string> paths;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (arg.rfind("--subfolder=", 0) == 0)
            subFolder = arg.substr(12);
        else if (arg.rfind("--type=", 0) == 0)
            pattern = arg.substr(7);
        else
            paths.emplace_back(arg);
    }
    if (paths.empty() || subFolder.empty()) {
        std::fprintf(stderr, "usage: line_copy [--subfolder=NAME] [--type=PATTERN] PATH...\n");
        return 2;
    }
    LineCopier copier;
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
