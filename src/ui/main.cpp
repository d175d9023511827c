#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/version.h"

#include "ui/orvane_app.h"

namespace {
bool Set(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}
}  // namespace

int main(int argc, char** argv) {
    // The version needs no window, so it is answered before anything asks for a display.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0 || std::strcmp(argv[i], "-v") == 0) {
            std::printf("orvane %s\n", orvane::kOrvaneVersion);
            return 0;
        }
    }
    // Without a display Qt aborts with a message about platform plugins; say what it means.
    if (!Set("QT_QPA_PLATFORM") && !Set("DISPLAY") && !Set("WAYLAND_DISPLAY")) {
        std::fprintf(stderr,
                     "orvane: there is no display (neither DISPLAY nor WAYLAND_DISPLAY is set), so "
                     "the workbench window cannot open.\norvane-cli runs every command without a "
                     "window: see orvane-cli --help.\n");
        return 1;
    }
    orvane::COrvaneApp app(argc, argv);
    return app.Run();
}
