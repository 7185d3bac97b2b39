#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "support/media_probe.h"

namespace {

std::string run(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    char buffer[65536];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    pclose(pipe);
    return out;
}

}  // namespace

bool probe_video(const std::string& path, ProbedVideo* video) {
    const std::string text = run("timeout 120 ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                                 "stream=width,height,nb_frames,nb_read_frames,r_frame_rate -of default=nw=1 '" +
                                 path + "'");
    const auto value = [&](const char* key) -> const char* {
        const size_t at = text.find(std::string(key) + "=");
        return at == std::string::npos ? "0" : text.c_str() + at + std::strlen(key) + 1;
    };
    video->width = std::atoi(value("width"));
    video->height = std::atoi(value("height"));
    video->frames = std::atol(value("nb_frames"));
    video->read_frames = std::atol(value("nb_read_frames"));
    const char* rate = value("r_frame_rate");
    const char* slash = std::strchr(rate, '/');
    video->rate = slash && std::atof(slash + 1) > 0 ? std::atof(rate) / std::atof(slash + 1) : 0;
    return video->width > 0;
}

std::vector<std::vector<uint8_t>> decode_frames(const std::string& path, int width, int height) {
    const std::string raw =
        run("timeout 120 ffmpeg -v error -i '" + path + "' -f rawvideo -pix_fmt bgr24 -vsync passthrough -");
    const size_t size = static_cast<size_t>(width) * height * 3;
    std::vector<std::vector<uint8_t>> frames;
    for (size_t at = 0; size > 0 && at + size <= raw.size(); at += size)
        frames.emplace_back(raw.begin() + static_cast<ptrdiff_t>(at), raw.begin() + static_cast<ptrdiff_t>(at + size));
    return frames;
}
