#pragma once
// Looks at windows on the screen as a user sees them: a window's client area as pixels and
// its title, class, style and placement; also makes a parent window and acts as the user
// (resize, close). X11 on Linux, GDI on Windows (under Wine also X11 windows).
#include <cstdint>
#include <string>
#include <vector>

struct WindowShot {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> pixels;  // 0xRRGGBB, row 0 at the top
    uint32_t at(int32_t x, int32_t y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

struct WindowFacts {
    std::string title;
    std::string class_name;
    int32_t outer_x = 0, outer_y = 0, outer_width = 0, outer_height = 0;  // frame, screen coordinates
    int32_t client_x = 0, client_y = 0;  // client area's top left relative to the parent
    int32_t client_width = 0, client_height = 0;
    bool styled = false;      // style and identifier filled in (Windows)
    uint32_t style = 0;
    int32_t identifier = 0;
    uintptr_t parent = 0;     // 0 for a top-level window
    bool visible = false;
};

// A screen to put windows on (X11: a display can be opened). Tests that show windows call
// it first: it takes the screen until the test ends, so that window tests of parallel
// processes never cover each other's windows in screenshots or window counts (false when
// the screen stays taken for two minutes). With IMVELA_TEST_SCREEN=required a missing
// screen fails the test instead of letting it skip.
bool screen_available();
int32_t screen_width();
int32_t screen_height();

bool window_exists(uintptr_t window);
bool describe_window(uintptr_t window, WindowFacts* facts);
bool take_window_shot(uintptr_t window, WindowShot* shot);
// Resizes the window so that its client area has this size.
bool resize_window_client(uintptr_t window, int32_t width, int32_t height);
// Closes the window as the user does with the title bar's close button; returns once it is
// gone, false if it stays.
bool close_window_as_user(uintptr_t window);
// Hides and shows the window again; on X11 its contents are lost until it is repainted.
bool lose_window_contents(uintptr_t window);
// Top-level windows with this title, and the first of them (0 when none).
int count_windows_titled(const char* title);
uintptr_t find_window_titled(const char* title);
// The first child of `parent` with this title (0 when none).
uintptr_t find_child_titled(uintptr_t parent, const char* title);
// Windows: whether a window class of this name is registered for the process's executable.
bool window_class_registered(const char* name);

// A plain visible top-level window at the top left of the screen, for child windows.
uintptr_t create_parent_window(int32_t width, int32_t height);
void destroy_parent_window(uintptr_t window);

// Handles, descriptors: whatever the platform counts per process, to see leaks.
int64_t process_resource_count();

