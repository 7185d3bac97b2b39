#pragma once
// A camera that another program captures from: found before a command reads or changes
// anything, and said in one line.
#include <cstdint>
#include <string>

class ToolCamera;
struct CommandLine;

// Who holds a camera, as far as the library can tell.
struct CameraHolder {
    bool held = false;
    int32_t process_id = 0;  // 0: not known
    std::string executable;  // without folders; empty: not known
    int64_t since = 0;       // seconds since 1970 UTC; 0: not known
};

// "camera 0 is in use by process 4748 (imvela-viewer) since 16:02:11", naming as much of the
// holder as is known ("camera 0 is in use by another program" when nothing is).
std::string held_camera_line(int32_t number, const CameraHolder& holder);

// Whether another program holds the camera open on `camera`, and who.
CameraHolder camera_holder(ToolCamera& camera);

// Opens the camera of --camera and makes sure no other program holds it; kSucceeded, or
// kFailed after one line saying why not (a held camera's values would be read wrong and
// written in vain: its holder overwrites them when it releases the camera).
int open_free_camera(const CommandLine& line, ToolCamera* camera);
