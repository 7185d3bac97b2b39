#include <windows.h>

#include "display_probe.h"

bool display_available(std::string* detail, std::string* remedy) {
    *remedy = "run the program in the user's desktop session, not as a service";
    USEROBJECTFLAGS flags{};
    HWINSTA station = GetProcessWindowStation();
    if (!station || !GetUserObjectInformationA(station, UOI_FLAGS, &flags, sizeof flags, nullptr) ||
        !(flags.dwFlags & WSF_VISIBLE)) {
        *detail = "the process runs in a window station without a visible desktop (a service?)";
        return false;
    }
    *detail = "desktop " + std::to_string(GetSystemMetrics(SM_CXSCREEN)) + " x " +
              std::to_string(GetSystemMetrics(SM_CYSCREEN));
    return true;
}
