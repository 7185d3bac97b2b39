#include "platform/system_error.h"

#include <windows.h>

namespace imvela::platform {

std::string system_error_text() {
    const DWORD code = GetLastError();
    char text[256] = "";
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                                  sizeof text, nullptr);
    while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n' || text[length - 1] == ' '))
        text[--length] = '\0';
    SetLastError(code);
    return "system error " + std::to_string(code) + " (" + text + ")";
}

}  // namespace imvela::platform
