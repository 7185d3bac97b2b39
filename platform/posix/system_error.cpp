#include "platform/system_error.h"

#include <cerrno>
#include <cstring>

namespace imvela::platform {

std::string system_error_text() {
    const int code = errno;
    char text[160] = "";
    // The GNU form returns the text (maybe not in the buffer); the XSI one fills the buffer.
#if defined(__GLIBC__) && defined(_GNU_SOURCE)
    const char* meaning = strerror_r(code, text, sizeof text);
#else
    const char* meaning = strerror_r(code, text, sizeof text) == 0 ? text : "";
#endif
    return "errno " + std::to_string(code) + " (" + meaning + ")";
}

}  // namespace imvela::platform
