#pragma once
// What `tarnwell` (src/cli/launcher) decides before any library is loaded:
// plain C, so that the launcher itself loads nothing but libc.
#include <climits>
#include <initializer_list>
#include <cstring>
#include <unistd.h>

namespace Launch {
// True when the arguments ask for something that needs no display (--list,
// --json, --help, --version): the command-line program answers them.
inline bool isHeadless(int argc, const char* const* argv)
{
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if (std::strcmp(a, "--") == 0)
            break;
        for (const char* headless :
             {"--list", "-l", "--json", "--help", "-h", "-?", "--help-all", "--version", "-v"}) {
            if (std::strcmp(a, headless) == 0)
                return true;
        }
    }
    return false;
}

// Becomes `name`: the one beside this program (a build tree, or the
// programs in libexec among themselves), else `installed`. Returns only
// when that fails, with errno set.
inline void become(const char* name, const char* installed, char** argv)
{
    char path[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n > 0) {
        path[n] = '\0';
        char* slash = std::strrchr(path, '/');
        if (slash && size_t(slash + 1 - path) + std::strlen(name) < sizeof path) {
            std::strcpy(slash + 1, name);
            if (::access(path, X_OK) == 0) {
                ::execv(path, argv);
                return;
            }
        }
    }
    ::execv(installed, argv);
}
}  // namespace Launch
