#include <unistd.h>

#include <climits>

#include "platform/process_identity.h"

namespace vornmt::platform {

std::string ExecutableBaseName() {
    // /proc/self/exe names the executable itself, whatever argv[0] says.
    char path[PATH_MAX + 1];
    ssize_t length = ::readlink("/proc/self/exe", path, PATH_MAX);
    if (length <= 0) return std::string();
    std::string full(path, static_cast<std::size_t>(length));
    std::string base = full.substr(full.find_last_of('/') + 1);
    if (base.size() > 259) base.resize(259);
    return base;
}

std::uint32_t CurrentProcessId() { return static_cast<std::uint32_t>(::getpid()); }

}  // namespace vornmt::platform
