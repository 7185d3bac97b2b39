// trigger: hardware-trigger mode, fired through the emulated camera or by the real input.
#include <chrono>
#include <cstdio>
#include <vector>

#include "ImvelaSdk.h"
#include "commands.h"
#include "tool_camera.h"

int command_trigger(const CommandLine& line) {
    long count = 3, wait_seconds = 10;
    if ((!line.words.empty() && !parse_bounded(line, line.words[0], "COUNT", 1, 100000, &count)) ||
        (line.has("wait") && !parse_bounded(line, line.option("wait"), "--wait", 1, 86400, &wait_seconds)))
        return kUsageError;
    ToolCamera camera;
    if (const int status = open_for_capture(line, &camera); status != kSucceeded) return status;
    std::vector<uint8_t> image(frame_bytes(camera.bits()));
    if (Imvela_Trigger(camera.handle(), camera.window().handle(), image.data(), static_cast<int32_t>(image.size()),
                       0) != 1)
        return camera.fail("arming the trigger");
    // The emulated camera is fired here; a real camera (or --external) waits for its input.
    bool fire = !line.has("external");
    std::printf("trigger armed on camera %d; %s\n", camera.number(),
                fire ? "firing through the emulated camera" : "waiting for the trigger input");
    long delivered = 0, failed = 0;
    for (long i = 1; i <= count; ++i) {
        if (fire && ImvelaEmu_Trigger(camera.number()) != 1) {
            fire = false;
            std::printf("camera %d is not emulated: waiting for the trigger input (up to %ld s each)\n",
                        camera.number(), wait_seconds);
        }
        ToolMessage m{};
        bool got = false;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(fire ? 5 : wait_seconds);
        while (!got && std::chrono::steady_clock::now() < end)
            got = camera.window().next(&m, 100) && m.message == WM_CAMERA_FRAME;
        if (!got) {
            std::printf("  trigger %ld: no frame\n", i);
            ++failed;
            break;
        }
        if (m.lparam != 0 || !m.wparam) {
            std::printf("  trigger %ld: frame failed, error %ld\n", i, static_cast<long>(m.lparam));
            ++failed;
            if (m.lparam == ERR_TIMEOUT) break;
            continue;
        }
        const auto* record = reinterpret_cast<const ImvelaFrameRecord*>(m.wparam);
        std::printf("  trigger %ld: frame %d x %d, %d bits\n", i, record->width, record->height, record->bit_count);
        ++delivered;
    }
    Imvela_StopPreview(camera.handle());
    std::printf("%ld of %ld triggers delivered a frame\n", delivered, count);
    camera.print_errors("in trigger mode");
    return delivered == count && failed == 0 ? kSucceeded : kFailed;
}
