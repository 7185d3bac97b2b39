// imvela: command-line tool for the camera library.
#include <cstdio>
#include <cstring>

#include <cstdlib>

#include "ImvelaSdk.h"
#include "device/imvela_m61xzkr_sdk.h"

namespace {

int usage() {
    std::printf(
        "usage: imvela [command]\n"
        "  version   print the library version\n"
        "  handle    open a camera handle, show its state and release it\n"
        "  cameras   list the attached cameras (with IMVELA_EMULATOR: the emulated ones)\n"
        "  register N ADDRESS [VALUE]\n"
        "            open camera N and read a sensor register, or write it and read it back\n"
        "            (numbers in C notation: 0x2E, 46)\n"
        "without a command: version, then handle\n");
    return 2;
}

int print_version() {
    const uint32_t v = static_cast<uint32_t>(Imvela_GetDllVersion());
    std::printf("library version %u.%u.%u.%u (%u)\n", v >> 24, (v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF, v);
    return 0;
}

int exercise_handle() {
    const int32_t handle = Imvela_Initialize(nullptr);
    if (handle == 0) {
        std::printf("Imvela_Initialize failed\n");
        return 1;
    }
    std::printf("handle %d\n", handle);
    int32_t code;
    int errors = 0;
    while ((code = Imvela_GetLastError(handle)) != 0) {
        std::printf("  error %d recorded during initialisation\n", code);
        ++errors;
    }
    if (errors == 0) std::printf("  no error recorded\n");
    std::printf("  unsupported function (Imvela_Fpga_ReadRegister) returns %d, error %d posted\n", Imvela_Fpga_ReadRegister(handle),
                ERR_NOT_SUPPORTED);
    std::printf("release %s\n", Imvela_Release(handle) == 1 ? "ok" : "FAILED");
    std::printf("release again returns %d (handle no longer valid)\n", Imvela_Release(handle));
    return 0;
}

bool parse_number(const char* text, long* value) {
    char* end = nullptr;
    *value = std::strtol(text, &end, 0);
    return end && end != text && *end == '\0';
}

int list_cameras() {
    imvela::CImvelaM61XZKRSdk device;
    int found = 0;
    for (int32_t n = 0; n < device.max_device_count(); ++n) {
        if (!device.is_device_present(n)) continue;
        ++found;
        device.open_device(n);
        char id[17] = {};
        for (int32_t i = 0; i < 16; ++i) {
            uint8_t b = 0;
            if (!device.read_srom_id(i, &b) || b < 0x20 || b > 0x7E) break;
            id[i] = static_cast<char>(b);
        }
        uint8_t mode = 0;
        const bool mode_ok = device.read_srom_byte(0x1EB0, &mode) == 1;
        std::printf("camera %d  %s  id \"%s\"  readout byte %s%d\n", n, device.device_path(), id, mode_ok ? "" : "? ",
                    mode);
    }
    if (found == 0) std::printf("no camera attached\n");
    return found ? 0 : 1;
}

int access_register(int argc, char** argv) {
    long number = 0, address = 0, value = 0;
    if (argc < 4 || !parse_number(argv[2], &number) || !parse_number(argv[3], &address) || number < 0 ||
        number > 31 || address < 0 || address > 0xFFFF || (argc > 4 && !parse_number(argv[4], &value)))
        return usage();
    imvela::CImvelaM61XZKRSdk device;
    if (!device.is_device_present(static_cast<int32_t>(number))) {
        std::printf("camera %ld is not attached\n", number);
        return 1;
    }
    device.open_device(static_cast<int32_t>(number));
    if (argc > 4) {
        if (!device.write_register(static_cast<int32_t>(address), static_cast<int32_t>(value))) {
            std::printf("write of register 0x%04lX failed\n", address);
            return 1;
        }
        std::printf("register 0x%04lX <- 0x%04lX\n", address, value & 0xFFFF);
    }
    int32_t read = 0;
    if (!device.read_register(static_cast<int32_t>(address), &read)) {
        std::printf("read of register 0x%04lX failed\n", address);
        return 1;
    }
    std::printf("register 0x%04lX = 0x%04X (%d)\n", address, read, read);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        print_version();
        return exercise_handle();
    }
    if (std::strcmp(argv[1], "version") == 0) return print_version();
    if (std::strcmp(argv[1], "handle") == 0) return exercise_handle();
    if (std::strcmp(argv[1], "cameras") == 0) return list_cameras();
    if (std::strcmp(argv[1], "register") == 0) return access_register(argc, argv);
    return usage();
}
