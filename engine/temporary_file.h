#pragma once

#include <string>
#include <sys/types.h>

namespace srctdy {

// A conversion's temporary file, "srctdy_temp." and eight random characters in the folder of
// its target, so that no file list shows it and one rename puts it in place. It is removed
// when the object goes out of scope unless it was placed, whatever path the conversion took
// (an exception included). Every temporary file in progress is known process-wide, so that
// an interrupted run can remove them all (see RemoveTemporariesOnInterrupt).
class TemporaryFile {
public:
    // Creates a new, empty file in folder with mode; never opens an existing file. valid() is
    // false when that fails (errno tells why).
    TemporaryFile(const std::string& folder, mode_t mode);
    ~TemporaryFile();
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    bool valid() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    const std::string& path() const { return path_; }

    // Closes the descriptor; false when close reported an error (a delayed write error).
    bool close();
    // Renames the file to target, replacing it. Once placed, the file is no longer ours.
    bool placeAs(const std::string& target);
    // Removes the file now.
    void remove();

private:
    int fd_ = -1;
    std::string path_;
    bool registered_ = false;
};

// Starts a thread that waits for SIGINT, SIGTERM and SIGHUP; when one comes, every temporary
// file in progress is removed and the process ends with status 128 + the signal. Call it
// before any other thread starts: the signals are blocked in the calling thread, and so in
// every thread started from it afterwards.
void RemoveTemporariesOnInterrupt();

} // namespace srctdy
