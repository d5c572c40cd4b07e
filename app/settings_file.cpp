#include "app/settings_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace srctdy {

namespace {

// The first line is all that is ever used; a settings file longer than this is not ours.
constexpr size_t kMaxSettingsRead = 4096;

bool WriteAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// Opens a new file beside target for writing; its name goes to tempPath. -1 on failure.
int CreateTempBeside(const std::string& target, mode_t mode, std::string& tempPath) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = target + ".tmp" + std::to_string(getpid()) + "_" + std::to_string(attempt);
        int fd = open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// The file a settings path finally names: a link is written through to its target, not
// replaced by a plain file. A dangling link names the file it would create.
std::string FinalTarget(const std::string& path) {
    std::string target = path;
    for (int hops = 0; hops < 40; ++hops) {
        char link[PATH_MAX];
        const ssize_t n = readlink(target.c_str(), link, sizeof link - 1);
        if (n < 0)
            return target;
        std::string next(link, static_cast<size_t>(n));
        if (next.front() != '/') {
            const size_t slash = target.find_last_of('/');
            next = (slash == std::string::npos ? "" : target.substr(0, slash + 1)) + next;
        }
        target = next;
    }
    return target;
}

} // namespace

std::string SettingsPathFor(const std::string& startupFolder) {
    if (!startupFolder.empty() && startupFolder.back() == '/')
        return startupFolder + "SRCTDY.INI";
    return startupFolder + "/SRCTDY.INI";
}

std::string LoadSettings(const std::string& settingsPath) {
    // Never wait: a pipe or a device in the file's place counts as no file at all.
    const int fd = open(settingsPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return {};
    struct stat st;
    std::string bytes;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        char buffer[kMaxSettingsRead];
        size_t got = 0;
        while (got < sizeof buffer) {
            ssize_t n = read(fd, buffer + got, sizeof buffer - got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            got += static_cast<size_t>(n);
            if (std::memchr(buffer, '\n', got))
                break;
        }
        bytes.assign(buffer, got);
    }
    close(fd);
    const size_t newline = bytes.find('\n');
    if (newline == std::string::npos)
        return bytes;
    // Only a CR that stood before the LF belongs to the line end.
    bytes.resize(newline > 0 && bytes[newline - 1] == '\r' ? newline - 1 : newline);
    return bytes;
}

bool SaveSettings(const std::string& settingsPath, const std::string& folderPath) {
    const std::string target = FinalTarget(settingsPath);
    mode_t mode = 0666; // a new file: the umask applies
    bool keepMode = false;
    struct stat st;
    if (stat(target.c_str(), &st) == 0) {
        // Leave alone what is not a plain file, and a file the user has made read-only or
        // may not write: replacing it would go round its protection.
        if (!S_ISREG(st.st_mode) || (st.st_mode & 0222) == 0 ||
            faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
            return false;
        mode = st.st_mode & 07777;
        keepMode = true;
    }
    std::string tempPath;
    int fd = CreateTempBeside(target, mode, tempPath);
    if (fd < 0)
        return false;
    bool written = WriteAll(fd, folderPath + "\r\n") && (!keepMode || fchmod(fd, mode) == 0);
    written = close(fd) == 0 && written;
    if (!written || std::rename(tempPath.c_str(), target.c_str()) != 0) {
        unlink(tempPath.c_str());
        return false;
    }
    return true;
}

} // namespace srctdy
