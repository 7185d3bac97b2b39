#pragma once
// The sensor window a camera reads out and delivers, and its video format.
#include <cstdint>

#include "driver/sensor_map.h"

namespace imvela {

constexpr int32_t kSensorWidth = sensor::kColumns;
constexpr int32_t kSensorHeight = sensor::kRows;

// One size-table entry; also the capture window of a camera object.
struct CaptureWindow {
    int32_t total_width = kSensorWidth;    // "TH"
    int32_t total_height = kSensorHeight;  // "TV"
    int32_t width = 1280;                  // "EH": effective (delivered) width
    int32_t height = 1024;                 // "EV": effective height
    int32_t h_start = 0;                   // "EHS": first column of the effective area
    int32_t v_start = 0;                   // "EVS": first row
    int32_t buffer_count = 4;              // "Buf": carried along, never interpreted

    bool operator==(const CaptureWindow& o) const {
        return total_width == o.total_width && total_height == o.total_height && width == o.width &&
               height == o.height && h_start == o.h_start && v_start == o.v_start && buffer_count == o.buffer_count;
    }
    bool operator!=(const CaptureWindow& o) const { return !(*this == o); }
};

// Effective area inside the sensor and a supported sub-sampling mode (modes 1, 2, 3, 17,
// 18 and 19 are not); the totals are not judged.
bool is_valid_capture_window(const CaptureWindow& window, int32_t sub_sample);

// The video-format values of a camera; `size` is the size-table entry in use.
struct VideoFormat {
    int32_t size = 0;        // "Size"
    int32_t color = 0;       // "Color": colour-mode index 0 to 5
    int32_t sub_sample = 0;  // "SubSample": 0 is full resolution
    int32_t wait_time = 10;  // "WaitTime": ms the preview worker pauses before each frame
    int32_t clock = 0;       // "Clock": 0 normal, 1 half, 2 high
};

// The selectable output sizes edited by the camera dialog.
struct SizeTable {
    static constexpr int kCapacity = 100;
    CaptureWindow entries[kCapacity];
    int32_t count = 0;
};

}  // namespace imvela
