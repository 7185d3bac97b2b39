#pragma once
// Who holds a camera, in the words of the tool's messages.
#include <cstdint>
#include <string>

// "in use by process 4242 (inspect.exe) since 16:02:11" (the date too when not today);
// "in use by another program" when the holder is not named; "free" when nobody holds it;
// a holder that ended without freeing the camera is named as such (a capture takes over).
std::string holder_text(int32_t number);
