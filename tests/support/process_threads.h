// The number of threads the process runs, for tests that check the library
// leaves none behind. Linux only (it reads /proc/self/task); -1 elsewhere.
#pragma once

#if defined(__linux__)
#include <dirent.h>
#endif

namespace vornmt::testing {

inline int CountProcessThreads() {
#if defined(__linux__)
    int count = 0;
    if (DIR* tasks = ::opendir("/proc/self/task")) {
        while (const dirent* entry = ::readdir(tasks)) count += entry->d_name[0] != '.';
        ::closedir(tasks);
    }
    return count;
#else
    return -1;
#endif
}

}  // namespace vornmt::testing
