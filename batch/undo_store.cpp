#include "batch/undo_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>

namespace srctdy {

namespace {

namespace fs = std::filesystem;

constexpr const char* kListName = "files";

// What a run wrote into a file, enough to tell whether anyone has changed it since.
struct Fingerprint {
    uint64_t size = 0;
    uint64_t hash = 0;
    bool operator==(const Fingerprint&) const = default;
};

std::optional<Fingerprint> FingerprintOf(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    Fingerprint print;
    print.hash = 14695981039346656037ull; // FNV-1a
    char buffer[65536];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0) {
        for (ssize_t i = 0; i < n; ++i) {
            print.hash ^= static_cast<unsigned char>(buffer[i]);
            print.hash *= 1099511628211ull;
        }
        print.size += static_cast<uint64_t>(n);
    }
    ::close(fd);
    if (n < 0)
        return std::nullopt;
    return print;
}

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// Copies from to a new file to (which must not exist), with from's mode and times.
bool CopyFile(const std::string& from, const std::string& to) {
    int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return false;
    struct stat st {};
    int out = -1;
    bool ok = ::fstat(in, &st) == 0 &&
              (out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600)) >= 0;
    char buffer[65536];
    ssize_t n = 0;
    while (ok && (n = ::read(in, buffer, sizeof buffer)) > 0)
        ok = WriteAll(out, buffer, static_cast<size_t>(n));
    ok = ok && n == 0;
    if (ok) {
        if (geteuid() == 0)
            (void)!::fchown(out, st.st_uid, st.st_gid);
        const struct timespec times[2] = {st.st_atim, st.st_mtim};
        ok = ::fchmod(out, st.st_mode & 07777) == 0 && ::futimens(out, times) == 0;
    }
    if (out >= 0)
        ok = ::close(out) == 0 && ok;
    ::close(in);
    if (!ok && out >= 0)
        ::unlink(to.c_str());
    return ok;
}

// A hard link where the file systems allow one, a copy otherwise.
bool LinkOrCopy(const std::string& from, const std::string& to) {
    if (::link(from.c_str(), to.c_str()) == 0)
        return true;
    if (errno == EEXIST)
        return false;
    return CopyFile(from, to);
}

std::string FolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

struct Record {
    size_t number = 0;
    std::string saved;
    std::string path;
    Fingerprint print;
};

// One line of a run's list: "NUMBER SIZE HASH LENGTH PATH", the path taken by its length so
// that any byte may stand in it.
std::string ListLine(size_t number, const Fingerprint& print, const std::string& path) {
    char head[96];
    int n = std::snprintf(head, sizeof head, "%zu %llu %llx %zu ", number,
                          static_cast<unsigned long long>(print.size),
                          static_cast<unsigned long long>(print.hash), path.size());
    return std::string(head, static_cast<size_t>(n)) + path + "\n";
}

// The list of a run, one ListLine per file.
std::vector<Record> ReadList(const std::string& run) {
    std::vector<Record> records;
    const std::string list = run + "/" + kListName;
    FILE* file = std::fopen(list.c_str(), "rb");
    if (file == nullptr) // stopped while KeepOnly wrote it again: the new list is whole
        file = std::fopen((list + ".new").c_str(), "rb");
    if (file == nullptr)
        return records;
    unsigned long long number, size, hash;
    size_t length;
    while (std::fscanf(file, "%llu %llu %llx %zu ", &number, &size, &hash, &length) == 4) {
        std::string path(length, '\0');
        if (length > PATH_MAX || std::fread(path.data(), 1, length, file) != length ||
            std::fgetc(file) != '\n')
            break;
        records.push_back(
            {static_cast<size_t>(number), run + "/" + std::to_string(number), path, {size, hash}});
    }
    std::fclose(file);
    return records;
}

// The folder of the last run, empty when there is none.
std::string LastRun(const std::string& root) {
    std::error_code error;
    std::string last;
    for (const fs::directory_entry& entry : fs::directory_iterator(root, error)) {
        std::string name = entry.path().string();
        if (entry.is_directory(error) && name > last)
            last = name;
    }
    return last;
}

// Leaves in run only the records left, with their kept content; false when the list could not
// be written again (the run is then left whole).
bool KeepOnly(const std::string& run, const std::vector<Record>& records,
              const std::vector<const Record*>& left) {
    const std::string list = run + "/" + kListName;
    const std::string fresh = list + ".new";
    std::string text;
    for (const Record* record : left)
        text += ListLine(record->number, record->print, record->path);
    int fd = ::open(fresh.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    bool ok = fd >= 0 && WriteAll(fd, text.data(), text.size()) && ::fsync(fd) == 0;
    if (fd >= 0)
        ok = ::close(fd) == 0 && ok;
    // The old list goes first: a rename here replaces nothing. Between the two steps the run
    // lists nothing and undo has nothing to offer, but every kept file is still there.
    if (!ok || ::unlink(list.c_str()) != 0 || ::rename(fresh.c_str(), list.c_str()) != 0) {
        ::unlink(fresh.c_str());
        return false;
    }
    for (const Record& record : records)
        if (std::find(left.begin(), left.end(), &record) == left.end())
            ::unlink(record.saved.c_str());
    return true;
}

} // namespace

std::string UndoStore::DefaultRoot() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/')
        return std::string(state) + "/srctdy/undo";
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/')
        return {};
    return std::string(home) + "/.local/state/srctdy/undo";
}

bool UndoStore::beginRun() {
    run_.clear();
    pending_.clear();
    next_ = 0;
    if (root_.empty())
        return false;
    std::error_code error;
    fs::create_directories(root_, error);
    for (const fs::directory_entry& entry : fs::directory_iterator(root_, error))
        fs::remove_all(entry.path(), error);
    // Names sort by time, so the last run is the greatest name.
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    char name[64];
    std::snprintf(name, sizeof name, "/%020lld-%d",
                  static_cast<long long>(std::chrono::nanoseconds(now).count()),
                  static_cast<int>(::getpid()));
    std::string run = root_ + name;
    if (::mkdir(run.c_str(), 0700) != 0)
        return false;
    int list =
        ::open((run + "/" + kListName).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (list < 0 || ::close(list) != 0) {
        fs::remove_all(run, error);
        return false;
    }
    run_ = run;
    return true;
}

bool UndoStore::keep(const std::string& path) {
    pending_.clear();
    if (run_.empty())
        return false;
    // The replace follows symbolic links, so the file to keep is the one they lead to.
    char* real = ::realpath(path.c_str(), nullptr);
    if (real == nullptr)
        return true; // nothing there to keep: the conversion reports the missing file
    std::string target = real;
    std::free(real);
    if (!LinkOrCopy(target, run_ + "/" + std::to_string(next_)))
        return false;
    pending_ = target;
    return true;
}

void UndoStore::settle(bool replaced) {
    if (pending_.empty())
        return;
    const std::string saved = run_ + "/" + std::to_string(next_);
    std::optional<Fingerprint> print;
    if (replaced)
        print = FingerprintOf(pending_);
    bool listed = false;
    if (print) {
        const std::string line = ListLine(next_, *print, pending_);
        int list = ::open((run_ + "/" + kListName).c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
        listed = list >= 0 && WriteAll(list, line.data(), line.size());
        if (list >= 0)
            listed = ::close(list) == 0 && listed;
    }
    if (listed)
        ++next_;
    else
        ::unlink(saved.c_str());
    pending_.clear();
}

size_t UndoStore::lastRunSize() const {
    if (root_.empty())
        return 0;
    std::string run = LastRun(root_);
    return run.empty() ? 0 : ReadList(run).size();
}

UndoStore::UndoReport
UndoStore::undoLastRun(const std::function<void(size_t, size_t, const std::string&)>& progress) {
    UndoReport report;
    if (root_.empty())
        return report;
    const std::string run = LastRun(root_);
    if (run.empty())
        return report;
    const std::vector<Record> records = ReadList(run);
    std::vector<const Record*> unrestored;
    for (size_t i = 0; i < records.size(); ++i) {
        const Record& record = records[i];
        if (progress)
            progress(i, records.size(), record.path);
        if (FingerprintOf(record.path) != std::optional<Fingerprint>(record.print)) {
            report.changedSince.push_back(record.path);
            continue;
        }
        // Into a temporary name beside the file first, so that the file is replaced whole.
        bool restored = false;
        for (int attempt = 0; attempt < 100 && !restored; ++attempt) {
            std::string temp = FolderOf(record.path) + "/.srctdy-undo-" +
                               std::to_string(::getpid()) + "-" + std::to_string(attempt);
            if (!LinkOrCopy(record.saved, temp)) {
                if (errno == EEXIST)
                    continue;
                break;
            }
            restored = ::rename(temp.c_str(), record.path.c_str()) == 0;
            if (!restored) {
                ::unlink(temp.c_str());
                break;
            }
        }
        if (restored) {
            ++report.restored;
        } else {
            report.failed.push_back(record.path);
            unrestored.push_back(&record);
        }
    }
    // A file that could not be put back keeps its old content here, for another try once the
    // cause is gone: forgetting the run would lose it.
    if (unrestored.empty()) {
        std::error_code error;
        fs::remove_all(run, error);
    } else {
        KeepOnly(run, records, unrestored);
    }
    return report;
}

} // namespace srctdy
