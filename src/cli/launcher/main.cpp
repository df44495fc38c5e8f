// `tarnwell`, the one command: it loads no library but libc and becomes the
// command-line program (--list, --help, --version) or the window's.
#include "cli/Launch.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    const bool headless = Launch::isHeadless(argc, argv);
    const char* program = headless ? TARNWELL_CLI_INSTALLED : TARNWELL_GUI_INSTALLED;
    Launch::become(headless ? "tarnwell-cli" : "tarnwell-gui", program, argv);
    std::fprintf(stderr, "tarnwell: cannot start %s: %s\n", program, std::strerror(errno));
    return 1;
}
