// Text conversions for the Linux builds, whose local code page is UTF-8.
#include "platform/platform.h"

int utf8_to_local(const std::string& utf8, std::string& local) {
    local = utf8;
    return 1;
}
