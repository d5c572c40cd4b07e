#include "app/settings_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>

namespace srctdy {

namespace {

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
int CreateTempBeside(const std::string& target, std::string& tempPath) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = target + ".tmp" + std::to_string(getpid()) + "_" + std::to_string(attempt);
        int fd = open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

} // namespace

std::string SettingsPathFor(const std::string& startupFolder) {
    if (!startupFolder.empty() && startupFolder.back() == '/')
        return startupFolder + "SRCTDY.INI";
    return startupFolder + "/SRCTDY.INI";
}

std::string LoadSettings(const std::string& settingsPath) {
    std::ifstream in(settingsPath, std::ios::binary);
    std::string line;
    if (!in || !std::getline(in, line))
        return {};
    // Only a CR that stood before the LF belongs to the line end.
    if (!in.eof() && !line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

bool SaveSettings(const std::string& settingsPath, const std::string& folderPath) {
    std::string tempPath;
    int fd = CreateTempBeside(settingsPath, tempPath);
    if (fd < 0)
        return false;
    bool written = WriteAll(fd, folderPath + "\r\n");
    written = close(fd) == 0 && written;
    if (!written || std::rename(tempPath.c_str(), settingsPath.c_str()) != 0) {
        unlink(tempPath.c_str());
        return false;
    }
    return true;
}

} // namespace srctdy
