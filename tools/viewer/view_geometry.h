#pragma once
// Where the picture lies in the viewer's picture area: zoom and pan, the mapping between
// points of the area and pixels of the picture, and a rectangle drawn on the picture made a
// capture window that the sensor takes.
#include <cstdint>

#include "setting_table.h"

// A capture window in sensor pixels, as Imvela_SetCaptureWindowEx takes it.
struct SensorWindow {
    int32_t total_width = 1292, total_height = 1040;
    int32_t width = 0, height = 0, h_start = 0, v_start = 0;
};

// The sensor's rules for a window: inside the 1292 x 1040 sensor, starts and sizes even so
// the colour pattern keeps its phase, at least kMinimumSide pixels a side.
constexpr int32_t kMinimumSide = 16;

struct ViewRect {
    int32_t x = 0, y = 0, width = 0, height = 0;
};

class ViewGeometry {
public:
    // A picture of width x height shown in an area of area_width x area_height: fitted into
    // it with its shape kept, zoom 1.
    void reset(int32_t width, int32_t height, int32_t area_width, int32_t area_height);

    int32_t zoom() const { return zoom_; }
    // Zooms in (or out) by a factor 2 keeping the picture point under (x, y) in place; false
    // at the limit (1 is the fitted size; a picture pixel is 4 area pixels wide at most).
    bool zoom_at(int32_t x, int32_t y, bool in);
    // Moves the picture by (dx, dy) area pixels, kept inside the area.
    void pan(int32_t dx, int32_t dy);

    // The picture's place in the area (it may be larger than the area, and start left of it).
    ViewRect picture() const;
    ViewRect area() const { return {0, 0, area_width_, area_height_}; }
    // The picture pixel under an area point; false outside the picture.
    bool to_picture(int32_t x, int32_t y, int32_t* px, int32_t* py) const;
    // The area rectangle that shows picture pixels [x0, x1) x [y0, y1).
    ViewRect to_area(int32_t x0, int32_t y0, int32_t x1, int32_t y1) const;

private:
    int32_t picture_width() const;
    int32_t picture_height() const;
    void clamp_pan();

    int32_t width_ = 0, height_ = 0, area_width_ = 0, area_height_ = 0;
    int32_t fit_width_ = 1, fit_height_ = 1;
    int32_t zoom_ = 1, pan_x_ = 0, pan_y_ = 0;
};

// The capture window for picture pixels [x0, x1) x [y0, y1) of a picture delivered from
// `current`: even starts and sizes (starts rounded down, ends up), at least kMinimumSide a
// side, inside the sensor. False when the rectangle holds no pixel of the picture.
bool region_window(const SensorWindow& current, int32_t x0, int32_t y0, int32_t x1, int32_t y1, SensorWindow* region);
