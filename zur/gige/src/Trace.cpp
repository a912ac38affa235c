#include "Trace.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace zurgige {

bool Tracing() {
    const char* value = std::getenv("ZUR_GIGE_TRACE");
    return value != nullptr && *value != '\0' && std::strcmp(value, "0") != 0;
}

void Trace(const char* format, ...) {
    if (!Tracing()) {
        return;
    }
    char line[512];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(line, sizeof line, format, arguments);
    va_end(arguments);
    // One write per line, so that the lines of several threads do not mix.
    std::fprintf(stderr, "zur-gige: %s\n", line);
}

}  // namespace zurgige
