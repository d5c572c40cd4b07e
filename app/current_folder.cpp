#include "app/current_folder.h"

#include <unistd.h>

#include <cerrno>
#include <vector>

namespace srctdy {

std::string CurrentFolder() {
    std::vector<char> buffer(256);
    while (getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE)
            return {};
        buffer.resize(buffer.size() * 2);
    }
    return std::string(buffer.data());
}

void FollowFolder(const std::string& path) {
    // A folder that cannot be entered leaves the current directory where it was.
    if (!path.empty() && chdir(path.c_str()) != 0)
        return;
}

} // namespace srctdy
