// imvela: command-line tool for the camera library.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <fstream>
#include <thread>
#include <vector>

#include "ImvelaSdk.h"
#include "message_window.h"
#include "soak.h"

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
        "  stream [SECONDS [BITS]]\n"
        "            stream camera 0 without a window (default 3 s, 24 bits: 8 16 24 32 48 64) and\n"
        "            print delivered frames per second, frames, skipped frames, CPU time per frame\n"
        "  snapshot [BITS]\n"
        "            take one frame and print its size and first pixels\n"
        "  stills FOLDER [BITS]\n"
        "            take one frame (default 24 bits) and save it as each still type into FOLDER\n"
        "            (made if missing); print the file names and sizes\n"
        "  record FILE [SECONDS [BITS]]\n"
        "            record camera 0 into an AVI file (default 3 s, 24 bits) and print its frame\n"
        "            count and measured frame rate\n"
        "  trigger [COUNT]\n"
        "            arm the hardware trigger, fire it COUNT times (default 3, emulated camera)\n"
        "            and print each delivered frame\n"
        "  soak [SECONDS [SEED]]\n"
        "            1000 preview start/stop and 500 initialise/release cycles with memory and\n"
        "            descriptors checked flat, then SECONDS (default 180) of streaming with a random\n"
        "            fault every few seconds; reports frames, errors by code and slow stops\n"
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

// Opens a handle on camera number; 0 when the camera is not attached.
int32_t open_number(int32_t number) {
    const int32_t handle = Imvela_Initialize(nullptr);
    if (handle == 0) return 0;
    if (number != 0 && Imvela_SetDeviceNumber(handle, number) != 1) {
        Imvela_Release(handle);
        return 0;
    }
    while (Imvela_GetLastError(handle) != 0) {
    }
    return handle;
}

int list_cameras() {
    const int32_t handle = Imvela_Initialize(nullptr);
    if (handle == 0) return 1;
    int found = 0;
    for (int32_t n = 0; n < 32; ++n) {
        char name[64];
        if (Imvela_GetDeviceName(handle, n, name, sizeof name) != 1) continue;
        ++found;
        const int32_t camera = open_number(n);
        char id[17] = {};
        for (int32_t i = 0; camera && i < 16; ++i) {
            int32_t ok = 0;
            const int32_t b = Imvela_ReadSromID(camera, i, &ok);
            if (!ok || b < 0x20 || b > 0x7E) break;
            id[i] = static_cast<char>(b);
        }
        std::printf("camera %d  %s  id \"%s\"\n", n, name, id);
        if (camera) Imvela_Release(camera);
    }
    Imvela_Release(handle);
    if (found == 0) std::printf("no camera attached\n");
    return found ? 0 : 1;
}

int access_register(int argc, char** argv) {
    long number = 0, address = 0, value = 0;
    if (argc < 4 || !parse_number(argv[2], &number) || !parse_number(argv[3], &address) || number < 0 ||
        number > 31 || address < 0 || address > 0xFFFF || (argc > 4 && !parse_number(argv[4], &value)))
        return usage();
    const int32_t handle = open_number(static_cast<int32_t>(number));
    if (!handle) {
        std::printf("camera %ld is not attached\n", number);
        return 1;
    }
    int rc = 0;
    if (argc > 4) {
        if (Imvela_WriteRegisterEx(handle, static_cast<int32_t>(address), static_cast<int32_t>(value)) != 1) {
            std::printf("write of register 0x%04lX failed\n", address);
            rc = 1;
        } else {
            std::printf("register 0x%04lX <- 0x%04lX\n", address, value & 0xFFFF);
        }
    }
    int32_t ok = 0;
    const int32_t read = Imvela_ReadRegisterEx(handle, static_cast<int32_t>(address), &ok);
    if (rc == 0 && !ok) {
        std::printf("read of register 0x%04lX failed\n", address);
        rc = 1;
    } else if (rc == 0) {
        std::printf("register 0x%04lX = 0x%04X (%d)\n", address, read, read);
    }
    Imvela_Release(handle);
    return rc;
}

// ---- capture commands: exported functions only ----------------------------------------

// Prints and clears the handle's error history; the number of codes printed.
int print_errors(int32_t handle, const char* when) {
    int n = 0;
    for (int32_t code; (code = Imvela_GetLastError(handle)) != 0; ++n) std::printf("  error %d %s\n", code, when);
    return n;
}

bool parse_bits(const char* text, int32_t* bits) {
    long value = 0;
    if (!parse_number(text, &value)) return false;
    *bits = static_cast<int32_t>(value);
    return true;
}

int32_t open_camera(int32_t bits) {
    const int32_t handle = Imvela_Initialize(nullptr);
    if (handle == 0) {
        std::printf("Imvela_Initialize failed\n");
        return 0;
    }
    print_errors(handle, "during initialisation");
    // The tool runs windowless: frames are processed and delivered, nothing is shown.
    Imvela_SetPreviewWindow(handle, nullptr, 0, 0, 0, 0);
    if (Imvela_SetColorMode(handle, bits) != 1) {
        std::printf("colour mode %d bits is not one of 8 16 24 32 48 64\n", bits);
        Imvela_Release(handle);
        return 0;
    }
    return handle;
}

// Room for any capture window: the whole sensor at the given depth, rows padded to 4 bytes.
size_t frame_bytes(int32_t bits) { return static_cast<size_t>(((bits / 8) * 1292 + 3) / 4 * 4) * 1040; }

int stream(int argc, char** argv) {
    long seconds = 3;
    int32_t bits = 24;
    if ((argc > 2 && (!parse_number(argv[2], &seconds) || seconds < 1 || seconds > 3600)) ||
        (argc > 3 && !parse_bits(argv[3], &bits)))
        return usage();
    const int32_t handle = open_camera(bits);
    if (!handle) return 1;
    std::vector<uint8_t> image(frame_bytes(bits));
    Imvela_SetWaitTime(handle, 0);
    MessageWindow window;
    if (Imvela_CallBackPreview(handle, window.handle(), image.data(), static_cast<int32_t>(image.size()), 0) != 1) {
        std::printf("preview did not start (error %d)\n", Imvela_GetLastError(handle));
        print_errors(handle, "");
        Imvela_Release(handle);
        return 1;
    }
    std::printf("streaming %ld s, %d bits\n", seconds, bits);
    const int32_t camera_start = ImvelaEmu_FrameCount(0);
    const std::clock_t cpu_start = std::clock();
    const auto start = std::chrono::steady_clock::now();
    const auto end = start + std::chrono::seconds(seconds);
    long frames = 0, failures = 0;
    int32_t last_rate = 0;
    ToolMessage m;
    while (std::chrono::steady_clock::now() < end) {
        if (!window.next(&m, 100) || m.message != WM_CAMERA_FRAME) continue;
        if (m.lparam != 0) {
            ++failures;
            std::printf("  frame message with error %ld\n", static_cast<long>(m.lparam));
            if (m.lparam == ERR_TIMEOUT) break;
            continue;
        }
        const auto* record = reinterpret_cast<const ImvelaFrameRecord*>(m.wparam);
        if (frames++ == 0) std::printf("first frame %d x %d, %d bits\n", record->width, record->height, record->bit_count);
        last_rate = record->frame_rate;
    }
    Imvela_StopPreview(handle);
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu_ms = 1000.0 * static_cast<double>(std::clock() - cpu_start) / CLOCKS_PER_SEC;
    const int32_t camera_end = ImvelaEmu_FrameCount(0);
    std::printf("delivered %ld frames in %.2f s: %.1f frames/s (last frame record: %.1f)\n", frames, elapsed,
                frames / elapsed, last_rate / 10.0);
    if (camera_start >= 0 && camera_end >= camera_start)
        std::printf("camera sent %d frames; skipped (newer frame taken instead): %ld\n", camera_end - camera_start,
                    static_cast<long>(camera_end - camera_start) - frames);
    if (frames) std::printf("CPU time per frame (whole process): %.2f ms\n", cpu_ms / frames);
    const int errors = print_errors(handle, "during streaming");
    Imvela_Release(handle);
    return frames > 0 && failures == 0 && errors == 0 ? 0 : 1;
}

int snapshot(int argc, char** argv) {
    int32_t bits = 24;
    if (argc > 2 && !parse_bits(argv[2], &bits)) return usage();
    const int32_t handle = open_camera(bits);
    if (!handle) return 1;
    std::vector<uint8_t> image(frame_bytes(bits));
    const auto start = std::chrono::steady_clock::now();
    const int32_t ok = Imvela_SnapShot(handle, image.data(), static_cast<int32_t>(image.size()), 0);
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (ok == 1) {
        std::printf("snapshot at %d bits in %.1f ms; first bytes of the bottom row:", bits, ms);
        for (size_t i = 0; i < 12 && i < image.size(); ++i) std::printf(" %d", image[i]);
        std::printf("\n");
    } else {
        std::printf("snapshot failed\n");
    }
    print_errors(handle, "");
    Imvela_Release(handle);
    return ok == 1 ? 0 : 1;
}

int stills(int argc, char** argv) {
    int32_t bits = 24;
    if (argc < 3 || (argc > 3 && !parse_bits(argv[3], &bits))) return usage();
    namespace fs = std::filesystem;
    const fs::path folder = argv[2];
    std::error_code failure;
    fs::create_directories(folder, failure);
    const int32_t handle = open_camera(bits);
    if (!handle) return 1;
    std::vector<uint8_t> image(frame_bytes(bits));
    if (Imvela_SnapShot(handle, image.data(), static_cast<int32_t>(image.size()), 0) != 1) {
        std::printf("snapshot failed\n");
        print_errors(handle, "");
        Imvela_Release(handle);
        return 1;
    }
    static const char* const kNames[] = {"still.bmp", "still.raw", "still_q100.jpg", "still_q70.jpg",
                                         "still_q20.jpg", "still.png", "still.tif"};
    std::printf("stills of one %d-bit frame in %s\n", bits, folder.string().c_str());
    int saved = 0;
    for (int32_t type = 0; type < 7; ++type) {
        const fs::path file = folder / kNames[type];
        const auto start = std::chrono::steady_clock::now();
        const int32_t ok = Imvela_SaveImage(handle, file.string().c_str(), type);
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        if (ok == 1) {
            ++saved;
            std::printf("  type %d  %-15s %9ju bytes  %6.1f ms\n", type, kNames[type],
                        static_cast<uintmax_t>(fs::file_size(file, failure)), ms);
        } else {
            std::printf("  type %d  %-15s FAILED\n", type, kNames[type]);
        }
    }
    print_errors(handle, "");
    Imvela_Release(handle);
    return saved == 7 ? 0 : 1;
}

// A 32-bit little-endian field of a file; false when the file is shorter.
bool read_field(std::ifstream& in, std::streamoff at, uint32_t* value) {
    unsigned char b[4];
    if (!in.seekg(at) || !in.read(reinterpret_cast<char*>(b), 4)) return false;
    *value = b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
    return true;
}

int record(int argc, char** argv) {
    long seconds = 3;
    int32_t bits = 24;
    if (argc < 3 || (argc > 3 && (!parse_number(argv[3], &seconds) || seconds < 0 || seconds > 3600)) ||
        (argc > 4 && !parse_bits(argv[4], &bits)))
        return usage();
    const char* path = argv[2];
    const int32_t handle = open_camera(bits);
    if (!handle) return 1;
    std::printf("recording %ld s at %d bits into %s\n", seconds, bits, path);
    if (Imvela_Record(handle, path, static_cast<uint32_t>(seconds * 1000), 0) != 1) {
        std::printf("recording did not start (error %d)\n", Imvela_GetLastError(handle));
        Imvela_Release(handle);
        return 1;
    }
    // The recording counts from its first frame; stopping the preview finishes it in any case.
    std::this_thread::sleep_for(std::chrono::milliseconds(seconds * 1000 + 1000));
    Imvela_StopPreview(handle);
    const int errors = print_errors(handle, "during recording");
    Imvela_Release(handle);
    std::ifstream in(path, std::ios::binary);
    uint32_t frames = 0, scale = 0, rate = 0, width = 0, height = 0;
    if (!read_field(in, 140, &frames) || !read_field(in, 128, &scale) || !read_field(in, 132, &rate) ||
        !read_field(in, 64, &width) || !read_field(in, 68, &height) || scale == 0) {
        std::printf("%s is not a finished recording\n", path);
        return 1;
    }
    in.seekg(0, std::ios::end);
    std::printf("recorded %u frames of %u x %u at %.2f frames/s (measured), %.1f MB\n", frames, width, height,
                static_cast<double>(rate) / scale, static_cast<double>(in.tellg()) / 1e6);
    return frames > 0 && errors == 0 ? 0 : 1;
}

int trigger(int argc, char** argv) {
    long count = 3;
    if (argc > 2 && (!parse_number(argv[2], &count) || count < 1 || count > 1000)) return usage();
    const int32_t bits = 8;
    const int32_t handle = open_camera(bits);
    if (!handle) return 1;
    std::vector<uint8_t> image(frame_bytes(bits));
    MessageWindow window;
    if (Imvela_Trigger(handle, window.handle(), image.data(), static_cast<int32_t>(image.size()), 0) != 1) {
        const int32_t code = Imvela_GetLastError(handle);
        std::printf("trigger mode did not start (error %d)\n", code);
        Imvela_Release(handle);
        return 1;
    }
    long delivered = 0;
    for (long i = 0; i < count; ++i) {
        if (ImvelaEmu_Trigger(0) != 1) {
            std::printf("camera 0 cannot be triggered (not an emulated camera?)\n");
            break;
        }
        ToolMessage m;
        bool got = false;
        while (!got && window.next(&m, 5000)) got = m.message == WM_CAMERA_FRAME;
        if (!got) {
            std::printf("  trigger %ld: no frame\n", i + 1);
            continue;
        }
        if (m.lparam != 0) {
            std::printf("  trigger %ld: error %ld\n", i + 1, static_cast<long>(m.lparam));
            continue;
        }
        const auto* record = reinterpret_cast<const ImvelaFrameRecord*>(m.wparam);
        std::printf("  trigger %ld: frame %d x %d, %d bits\n", i + 1, record->width, record->height, record->bit_count);
        ++delivered;
    }
    Imvela_StopPreview(handle);
    print_errors(handle, "");
    Imvela_Release(handle);
    return delivered == count ? 0 : 1;
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
    if (std::strcmp(argv[1], "stream") == 0) return stream(argc, argv);
    if (std::strcmp(argv[1], "snapshot") == 0) return snapshot(argc, argv);
    if (std::strcmp(argv[1], "stills") == 0) return stills(argc, argv);
    if (std::strcmp(argv[1], "trigger") == 0) return trigger(argc, argv);
    if (std::strcmp(argv[1], "soak") == 0) return soak(argc, argv);
    if (std::strcmp(argv[1], "record") == 0) return record(argc, argv);
    return usage();
}
