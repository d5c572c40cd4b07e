#include "engine/temporary_file.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <pthread.h>
#include <random>
#include <set>
#include <thread>
#include <unistd.h>

namespace srctdy {

namespace {

// The temporary files in progress. Creating a file and registering it, and placing it and
// forgetting it, happen under the lock; the interrupt thread removes the files and ends the
// process while holding it, so no file is created or placed behind its back.
struct Registry {
    std::mutex mutex;
    std::set<std::string> paths;
};

Registry& TheRegistry() {
    static Registry* registry = new Registry; // never destroyed: threads may outlive main
    return *registry;
}

std::string RandomName() {
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937 random(std::random_device{}());
    std::string name = "srctdy_temp.";
    for (int i = 0; i < 8; ++i)
        name += kChars[random() % (sizeof kChars - 1)];
    return name;
}

sigset_t InterruptSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

} // namespace

TemporaryFile::TemporaryFile(const std::string& folder, mode_t mode) {
    const std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + "/";
    Registry& registry = TheRegistry();
    for (int attempt = 0; attempt < 100; ++attempt) {
        path_ = prefix + RandomName();
        std::lock_guard lock(registry.mutex);
        // Known before it exists: running out of memory cannot leave an unknown file.
        auto [known, inserted] = registry.paths.insert(path_);
        if (!inserted)
            continue;
        fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd_ >= 0) {
            registered_ = true;
            return;
        }
        const int error = errno;
        registry.paths.erase(known);
        if (error != EEXIST) {
            errno = error;
            return;
        }
    }
}

TemporaryFile::~TemporaryFile() {
    close();
    remove();
}

bool TemporaryFile::close() {
    const int fd = fd_;
    fd_ = -1;
    return fd < 0 || ::close(fd) == 0;
}

bool TemporaryFile::placeAs(const std::string& target) {
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    if (!registered_ || ::rename(path_.c_str(), target.c_str()) != 0)
        return false;
    registry.paths.erase(path_);
    registered_ = false;
    return true;
}

void TemporaryFile::remove() {
    if (!registered_)
        return;
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    ::unlink(path_.c_str());
    registry.paths.erase(path_);
    registered_ = false;
}

void RemoveTemporariesOnInterrupt() {
    const sigset_t signals = InterruptSignals();
    ::pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::thread([signals] {
        int signal = 0;
        while (::sigwait(&signals, &signal) != 0) {
        }
        Registry& registry = TheRegistry();
        registry.mutex.lock(); // held until the end: nothing new is created or placed
        for (const std::string& path : registry.paths)
            ::unlink(path.c_str());
        ::_exit(128 + signal);
    }).detach();
}

} // namespace srctdy
