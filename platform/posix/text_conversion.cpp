// UTF-16 <-> UTF-8, strict: unpaired surrogates, overlong forms and code points beyond
// U+10FFFF are refused rather than replaced.
#include <cstdint>

#include "platform/text_conversion.h"

namespace imvela::platform {

namespace {

bool is_high_surrogate(uint32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool is_low_surrogate(uint32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

}  // namespace

bool wide_to_narrow(const IMVELA_WCHAR* text, char* out, size_t capacity) {
    if (!out || capacity == 0) return false;
    out[0] = '\0';
    if (!text) return false;
    size_t n = 0;
    for (const IMVELA_WCHAR* p = text; *p; ++p) {
        uint32_t code = static_cast<uint16_t>(*p);
        if (is_high_surrogate(code)) {
            const uint32_t low = static_cast<uint16_t>(p[1]);
            if (!is_low_surrogate(low)) return (out[0] = '\0', false);
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
            ++p;
        } else if (is_low_surrogate(code)) {
            return (out[0] = '\0', false);
        }
        unsigned char bytes[4];
        size_t length;
        if (code < 0x80) {
            bytes[0] = static_cast<unsigned char>(code);
            length = 1;
        } else if (code < 0x800) {
            bytes[0] = static_cast<unsigned char>(0xC0 | code >> 6);
            bytes[1] = static_cast<unsigned char>(0x80 | (code & 0x3F));
            length = 2;
        } else if (code < 0x10000) {
            bytes[0] = static_cast<unsigned char>(0xE0 | code >> 12);
            bytes[1] = static_cast<unsigned char>(0x80 | (code >> 6 & 0x3F));
            bytes[2] = static_cast<unsigned char>(0x80 | (code & 0x3F));
            length = 3;
        } else {
            bytes[0] = static_cast<unsigned char>(0xF0 | code >> 18);
            bytes[1] = static_cast<unsigned char>(0x80 | (code >> 12 & 0x3F));
            bytes[2] = static_cast<unsigned char>(0x80 | (code >> 6 & 0x3F));
            bytes[3] = static_cast<unsigned char>(0x80 | (code & 0x3F));
            length = 4;
        }
        if (n + length >= capacity) return (out[0] = '\0', false);  // keep room for the terminator
        for (size_t i = 0; i < length; ++i) out[n++] = static_cast<char>(bytes[i]);
    }
    out[n] = '\0';
    return true;
}

bool narrow_to_wide(const char* text, IMVELA_WCHAR* out, size_t capacity) {
    if (!out || capacity == 0) return false;
    out[0] = 0;
    if (!text) return false;
    auto fail = [out] { return (out[0] = 0, false); };
    size_t n = 0;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    while (*p) {
        const unsigned char lead = *p++;
        uint32_t code;
        int follow;
        uint32_t minimum;
        if (lead < 0x80) {
            code = lead, follow = 0, minimum = 0;
        } else if ((lead & 0xE0) == 0xC0) {
            code = lead & 0x1Fu, follow = 1, minimum = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            code = lead & 0x0Fu, follow = 2, minimum = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            code = lead & 0x07u, follow = 3, minimum = 0x10000;
        } else {
            return fail();
        }
        for (int i = 0; i < follow; ++i, ++p) {
            if ((*p & 0xC0) != 0x80) return fail();  // also stops at the terminator
            code = code << 6 | (*p & 0x3Fu);
        }
        if (code < minimum || code > 0x10FFFF || is_high_surrogate(code) || is_low_surrogate(code)) return fail();
        if (code >= 0x10000) {
            if (n + 2 >= capacity) return fail();
            code -= 0x10000;
            out[n++] = static_cast<IMVELA_WCHAR>(0xD800 + (code >> 10));
            out[n++] = static_cast<IMVELA_WCHAR>(0xDC00 + (code & 0x3FF));
        } else {
            if (n + 1 >= capacity) return fail();
            out[n++] = static_cast<IMVELA_WCHAR>(code);
        }
    }
    out[n] = 0;
    return true;
}

}  // namespace imvela::platform
