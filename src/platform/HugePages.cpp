#include "platform/HugePages.h"

#include <cstdlib>
#include <cstring>
#include <string>

#if defined(__linux__) && defined(__GLIBC__)
#include <unistd.h>
#endif

namespace pq {

void restartWithHugePageHeap(char** argv)
{
#if defined(__linux__) && defined(__GLIBC__)
    static const char kTunable[] = "glibc.malloc.hugetlb=1";
    const char* current = std::getenv("GLIBC_TUNABLES");
    if (current && std::strstr(current, "glibc.malloc.hugetlb"))
        return; // already set, by us or by the user
    std::string tunables = current && *current ? std::string(current) + ":" + kTunable : kTunable;
    if (setenv("GLIBC_TUNABLES", tunables.c_str(), 1) != 0)
        return;
    // Restart the very same file, under its own name so the process keeps its name.
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (length <= 0)
        return;
    path[length] = '\0';
    execv(path, argv);
    // The restart failed: go on as we are.
#else
    (void)argv;
#endif
}

} // namespace pq
