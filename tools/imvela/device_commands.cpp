// version, handle, register and soak: the library and one handle at the lowest level.
#include <cstdio>
#include <vector>

#include "ImvelaSdk.h"
#include "camera_holder.h"
#include "commands.h"
#include "error_text.h"
#include "soak.h"
#include "tool_camera.h"

int command_version(const CommandLine&) {
    std::printf("library version %s (%d)\n", library_version().c_str(), Imvela_GetDllVersion());
    return kSucceeded;
}

int command_handle(const CommandLine&) {
    const int32_t handle = Imvela_Initialize(nullptr);
    if (handle == 0) return failure("Imvela_Initialize made no handle");
    std::printf("handle %d\n", handle);
    int errors = 0;
    for (int32_t code; (code = Imvela_GetLastError(handle)) != 0; ++errors)
        std::printf("  %s recorded during initialisation\n", describe_error(code).c_str());
    if (errors == 0) std::printf("  no error recorded\n");
    std::printf("  unsupported function (Imvela_Fpga_ReadRegister) returns %d, %s posted\n",
                Imvela_Fpga_ReadRegister(handle), describe_error(ERR_NOT_SUPPORTED).c_str());
    const bool released = Imvela_Release(handle) == 1;
    std::printf("release %s\n", released ? "ok" : "FAILED");
    std::printf("release again returns %d (handle no longer valid)\n", Imvela_Release(handle));
    return released ? kSucceeded : kFailed;
}

int command_register(const CommandLine& line) {
    long address = 0, value = 0;
    if (!parse_bounded(line, line.words[0], "ADDRESS", 0, 0xFFFF, &address) ||
        (line.words.size() > 1 && !parse_bounded(line, line.words[1], "VALUE", 0, 0xFFFF, &value)))
        return kUsageError;
    ToolCamera camera;
    if (const int status = open_free_camera(line, &camera); status != kSucceeded) return status;
    if (line.words.size() > 1) {
        if (Imvela_WriteRegisterEx(camera.handle(), static_cast<int32_t>(address), static_cast<int32_t>(value)) != 1)
            return camera.fail("writing register " + line.words[0]);
        std::printf("register 0x%04lX <- 0x%04lX\n", address, value);
    }
    int32_t ok = 0;
    const int32_t read = Imvela_ReadRegisterEx(camera.handle(), static_cast<int32_t>(address), &ok);
    if (!ok) return camera.fail("reading register " + line.words[0]);
    std::printf("register 0x%04lX = 0x%04X (%d)\n", address, read, read);
    return kSucceeded;
}

int command_soak(const CommandLine& line) {
    long number = 0;
    for (const std::string& word : line.words)
        if (!parse_bounded(line, word, "SECONDS and SEED", 0, 0x7FFFFFFF, &number)) return kUsageError;
    std::vector<char*> argv{const_cast<char*>("imvela"), const_cast<char*>("soak")};
    for (const std::string& word : line.words) argv.push_back(const_cast<char*>(word.c_str()));
    return soak(static_cast<int>(argv.size()), argv.data());
}
