#include "app/DisplayCheck.h"

#include <cstdlib>
#include <cstring>

namespace app {

namespace {

bool Set(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

} // namespace

bool DisplayNamed(int argc, const char* const* argv) {
    if (Set("QT_QPA_PLATFORM") || Set("DISPLAY") || Set("WAYLAND_DISPLAY")) return true;
    // QGuiApplication takes "-platform NAME", with one dash or two.
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
            return true;
    return false;
}

} // namespace app
