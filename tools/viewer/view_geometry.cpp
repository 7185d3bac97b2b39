#include "view_geometry.h"

#include <algorithm>

namespace {
constexpr int32_t kMostAreaPixelsPerPicturePixel = 4;

int32_t round_down_even(int32_t v) { return v & ~1; }
int32_t round_up_even(int32_t v) { return (v + 1) & ~1; }
}  // namespace

void ViewGeometry::reset(int32_t width, int32_t height, int32_t area_width, int32_t area_height) {
    width_ = std::max(width, 1);
    height_ = std::max(height, 1);
    area_width_ = std::max(area_width, 1);
    area_height_ = std::max(area_height, 1);
    // The whole picture fits the area at zoom 1, its shape kept.
    fit_width_ = area_width_;
    fit_height_ = static_cast<int32_t>(int64_t{height_} * area_width_ / width_);
    if (fit_height_ > area_height_) {
        fit_height_ = area_height_;
        fit_width_ = static_cast<int32_t>(int64_t{width_} * area_height_ / height_);
    }
    fit_width_ = std::max(fit_width_, 1);
    fit_height_ = std::max(fit_height_, 1);
    zoom_ = 1;
    clamp_pan();
}

int32_t ViewGeometry::picture_width() const { return fit_width_ * zoom_; }
int32_t ViewGeometry::picture_height() const { return fit_height_ * zoom_; }

bool ViewGeometry::zoom_at(int32_t x, int32_t y, bool in) {
    const int32_t next = in ? zoom_ * 2 : zoom_ / 2;
    if (next < 1 || int64_t{fit_width_} * next > int64_t{width_} * kMostAreaPixelsPerPicturePixel) return false;
    // The picture point under (x, y) stays there.
    const int64_t px = x + int64_t{pan_x_}, py = y + int64_t{pan_y_};
    pan_x_ = static_cast<int32_t>(px * next / zoom_ - x);
    pan_y_ = static_cast<int32_t>(py * next / zoom_ - y);
    zoom_ = next;
    clamp_pan();
    return true;
}

void ViewGeometry::pan(int32_t dx, int32_t dy) {
    pan_x_ -= dx;
    pan_y_ -= dy;
    clamp_pan();
}

void ViewGeometry::clamp_pan() {
    // A picture smaller than the area stays in its middle; a larger one covers it.
    const int32_t spare_x = area_width_ - picture_width(), spare_y = area_height_ - picture_height();
    pan_x_ = spare_x >= 0 ? -spare_x / 2 : std::clamp(pan_x_, 0, -spare_x);
    pan_y_ = spare_y >= 0 ? -spare_y / 2 : std::clamp(pan_y_, 0, -spare_y);
}

ViewRect ViewGeometry::picture() const { return {-pan_x_, -pan_y_, picture_width(), picture_height()}; }

bool ViewGeometry::to_picture(int32_t x, int32_t y, int32_t* px, int32_t* py) const {
    if (x < 0 || y < 0 || x >= area_width_ || y >= area_height_) return false;
    const int64_t on_x = int64_t{x} + pan_x_, on_y = int64_t{y} + pan_y_;
    if (on_x < 0 || on_y < 0 || on_x >= picture_width() || on_y >= picture_height()) return false;
    *px = static_cast<int32_t>(on_x * width_ / picture_width());
    *py = static_cast<int32_t>(on_y * height_ / picture_height());
    return true;
}

ViewRect ViewGeometry::to_area(int32_t x0, int32_t y0, int32_t x1, int32_t y1) const {
    auto ax = [&](int32_t px) { return static_cast<int32_t>(int64_t{px} * picture_width() / width_) - pan_x_; };
    auto ay = [&](int32_t py) { return static_cast<int32_t>(int64_t{py} * picture_height() / height_) - pan_y_; };
    return {ax(x0), ay(y0), ax(x1) - ax(x0), ay(y1) - ay(y0)};
}

bool region_window(const SensorWindow& current, int32_t x0, int32_t y0, int32_t x1, int32_t y1, SensorWindow* region) {
    if (x1 < x0) std::swap(x0, x1);
    if (y1 < y0) std::swap(y0, y1);
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, current.width);
    y1 = std::min(y1, current.height);
    if (x1 <= x0 || y1 <= y0) return false;
    SensorWindow w = current;
    w.h_start = round_down_even(current.h_start + x0);
    w.v_start = round_down_even(current.v_start + y0);
    w.width = std::max(round_up_even(current.h_start + x1) - w.h_start, kMinimumSide);
    w.height = std::max(round_up_even(current.v_start + y1) - w.v_start, kMinimumSide);
    // Inside the sensor: a window that reaches past an edge moves back in.
    w.width = std::min(w.width, kSensorWidth);
    w.height = std::min(w.height, kSensorHeight);
    w.h_start = std::clamp(w.h_start, 0, kSensorWidth - w.width);
    w.v_start = std::clamp(w.v_start, 0, kSensorHeight - w.height);
    *region = w;
    return true;
}
