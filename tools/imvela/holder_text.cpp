#include "holder_text.h"

#include <ctime>

#include "ImvelaSdk.h"

namespace {

// Local time of day, and the date before it when that is not today.
std::string local_time(int64_t seconds) {
    const std::time_t when = static_cast<std::time_t>(seconds);
    const std::time_t now = std::time(nullptr);
    std::tm then_tm{}, now_tm{};
    const std::tm* t = std::localtime(&when);
    if (!t) return "";
    then_tm = *t;
    if (const std::tm* n = std::localtime(&now)) now_tm = *n;
    const bool today = then_tm.tm_year == now_tm.tm_year && then_tm.tm_yday == now_tm.tm_yday;
    char text[40];
    std::strftime(text, sizeof text, today ? "%H:%M:%S" : "%Y-%m-%d %H:%M:%S", &then_tm);
    return text;
}

}  // namespace

std::string holder_text(int32_t number) {
    ImvelaDeviceHolder holder{};
    holder.size = sizeof holder;
    if (ImvelaDiag_GetDeviceHolder(0, number, &holder) != 1) return "in use by another program";
    if (!holder.in_use) return "free";
    if (holder.process_id == 0) return holder.alive ? "in use by another program" : "left in use by a program that ended";
    std::string text = (holder.alive ? "in use by process " : "left in use by process ") +
                       std::to_string(holder.process_id);
    if (holder.executable[0]) text += std::string(" (") + holder.executable + ")";
    if (holder.since > 0) text += " since " + local_time(holder.since);
    if (!holder.alive) text += ", which has ended (a capture takes the camera over)";
    return text;
}
