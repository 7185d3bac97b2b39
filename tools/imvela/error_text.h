#pragma once
// What the library's error codes mean, in the words of the public header, for the tool's
// messages.
#include <cstdint>
#include <string>

// "ERR_ARGUMENT"; "unknown error" for a code the library does not document.
const char* error_name(int32_t code);
// "argument out of range, unknown or null"; empty for an undocumented code.
const char* error_meaning(int32_t code);
// "error 9 ERR_ARGUMENT (argument out of range, unknown or null)".
std::string describe_error(int32_t code);
