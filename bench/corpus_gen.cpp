// corpus_gen: writes a seeded benchmark corpus of C and C++ files.
//
//   corpus_gen FOLDER SIZE FILES SEED [--crlf]
//
// SIZE is the total in bytes, with an optional K, M or G (powers of 1000). One file is
// written as "single.c"; more files as "src00001.c" ..., a quarter of them C++ named ".cpp",
// their sizes spread around the mean. Files are written through a temporary name and renamed.

#include "bench/corpus_text.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using srctdy::bench::FileSeed;
using srctdy::bench::GenerateSourceFile;
using srctdy::bench::Rng;

bool ParseSize(const char* text, uint64_t& out) {
    char* end = nullptr;
    errno = 0;
    unsigned long long value = std::strtoull(text, &end, 10);
    if (errno != 0 || end == text)
        return false;
    uint64_t unit = 1;
    if (*end == 'K' || *end == 'k')
        unit = 1000;
    else if (*end == 'M' || *end == 'm')
        unit = 1000 * 1000;
    else if (*end == 'G' || *end == 'g')
        unit = 1000 * 1000 * 1000;
    if (unit != 1)
        ++end;
    if (*end != '\0')
        return false;
    out = value * unit;
    return true;
}

bool WriteWhole(const std::string& path, const std::string& bytes) {
    std::string temp = path + ".part";
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const char* p = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ::close(fd);
            ::unlink(temp.c_str());
            return false;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    if (::close(fd) != 0 || ::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

// Creates folder and any missing parents, like mkdir -p.
bool MakeFolders(const std::string& folder) {
    for (size_t at = folder.find('/', 1);; at = folder.find('/', at + 1)) {
        std::string part = folder.substr(0, at);
        if (::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST)
            return false;
        if (at == std::string::npos)
            return true;
    }
}

int Usage() {
    std::fprintf(stderr, "usage: corpus_gen FOLDER SIZE FILES SEED [--crlf]\n"
                         "  SIZE: total bytes, optionally with K, M or G (powers of 1000)\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args;
    bool crlf = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--crlf") == 0)
            crlf = true;
        else
            args.emplace_back(argv[i]);
    }
    uint64_t total = 0;
    uint64_t files = 0;
    uint64_t seed = 0;
    if (args.size() != 4 || !ParseSize(args[1].c_str(), total) ||
        !ParseSize(args[2].c_str(), files) || files == 0 || !ParseSize(args[3].c_str(), seed))
        return Usage();
    const std::string& folder = args[0];
    if (!MakeFolders(folder)) {
        std::fprintf(stderr, "corpus_gen: cannot create %s: %s\n", folder.c_str(),
                     std::strerror(errno));
        return 1;
    }

    // Sizes from 0.3 to 1.7 times the mean, scaled so that they add up to the total.
    Rng sizes(seed);
    std::vector<double> weights(files);
    double sum = 0;
    for (double& w : weights) {
        w = files == 1 ? 1.0 : 0.3 + static_cast<double>(sizes.below(1401)) / 1000.0;
        sum += w;
    }

    uint64_t written = 0;
    for (uint64_t i = 0; i < files; ++i) {
        const size_t target = static_cast<size_t>(static_cast<double>(total) * weights[i] / sum);
        Rng kind(FileSeed(seed, i) ^ 0x5A5A);
        const bool cpp = files > 1 && kind.percent(25);
        char name[32];
        if (files == 1)
            std::snprintf(name, sizeof name, "single.c");
        else
            std::snprintf(name, sizeof name, "src%05llu.%s", static_cast<unsigned long long>(i + 1),
                          cpp ? "cpp" : "c");
        std::string text = GenerateSourceFile(FileSeed(seed, i), target, cpp, crlf);
        if (!WriteWhole(folder + "/" + name, text)) {
            std::fprintf(stderr, "corpus_gen: cannot write %s/%s: %s\n", folder.c_str(), name,
                         std::strerror(errno));
            return 1;
        }
        written += text.size();
    }
    std::printf("%llu files, %llu bytes in %s\n", static_cast<unsigned long long>(files),
                static_cast<unsigned long long>(written), folder.c_str());
    return 0;
}
