#include "engine/temporary_file.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <pthread.h>
#include <random>
#include <set>
#include <shared_mutex>
#include <thread>
#include <unistd.h>

namespace srctdy {

namespace {

// The temporary files in progress. Creating a file and registering it, and placing it and
// forgetting it, happen while the gate is held shared; the interrupt thread takes it for good
// before it removes the files and ends the process, so no file is created or placed behind
// its back. Threads creating files never wait for each other's system calls.
struct Registry {
    std::shared_mutex gate;
    std::mutex mutex; // guards paths
    std::set<std::string> paths;

    bool add(const std::string& path) {
        std::lock_guard lock(mutex);
        return paths.insert(path).second;
    }
    void forget(const std::string& path) {
        std::lock_guard lock(mutex);
        paths.erase(path);
    }
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
        std::shared_lock gate(registry.gate);
        // Known before it exists: running out of memory cannot leave an unknown file.
        if (!registry.add(path_))
            continue;
        fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd_ >= 0) {
            registered_ = true;
            return;
        }
        const int error = errno;
        registry.forget(path_);
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
    std::shared_lock gate(registry.gate);
    if (!registered_ || ::rename(path_.c_str(), target.c_str()) != 0)
        return false;
    registry.forget(path_);
    registered_ = false;
    return true;
}

void TemporaryFile::remove() {
    if (!registered_)
        return;
    Registry& registry = TheRegistry();
    std::shared_lock gate(registry.gate);
    ::unlink(path_.c_str());
    registry.forget(path_);
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
        registry.gate.lock(); // held until the end: nothing new is created or placed
        registry.mutex.lock();
        for (const std::string& path : registry.paths)
            ::unlink(path.c_str());
        ::_exit(128 + signal);
    }).detach();
}

} // namespace srctdy
