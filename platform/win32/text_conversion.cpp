#include <windows.h>

#include <climits>

#include "platform/text_conversion.h"

namespace imvela::platform {

bool wide_to_narrow(const IMVELA_WCHAR* text, char* out, size_t capacity) {
    if (!out || capacity == 0) return false;
    out[0] = '\0';
    if (!text || capacity > INT_MAX) return false;
    const UINT page = GetACP();
    BOOL used_default = FALSE;
    // UTF-8 (a possible ANSI page) refuses the default-character flag; it reports
    // unconvertible input through WC_ERR_INVALID_CHARS instead.
    const bool utf8 = page == CP_UTF8;
    const int written = WideCharToMultiByte(page, utf8 ? WC_ERR_INVALID_CHARS : 0, text, -1, out,
                                            static_cast<int>(capacity), nullptr, utf8 ? nullptr : &used_default);
    if (written <= 0 || used_default) {
        out[0] = '\0';
        return false;
    }
    return true;
}

bool narrow_to_wide(const char* text, IMVELA_WCHAR* out, size_t capacity) {
    if (!out || capacity == 0) return false;
    out[0] = 0;
    if (!text || capacity > INT_MAX) return false;
    const int written =
        MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, -1, out, static_cast<int>(capacity));
    if (written <= 0) {
        out[0] = 0;
        return false;
    }
    return true;
}

}  // namespace imvela::platform
