#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "support/recorded_file.h"

std::string output_of(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    char buffer[65536];
    for (size_t n; pipe && (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    if (pipe) pclose(pipe);
    return out;
}

PlayedVideo play_video(const std::string& path) {
    PlayedVideo v;
    double num = 0, den = 0;
    const std::string info = output_of("timeout 120 ffprobe -v error -select_streams v:0 -show_entries "
                                       "stream=width,height,nb_frames,r_frame_rate -of csv=p=0 '" + path + "'");
    if (std::sscanf(info.c_str(), "%d,%d,%lf/%lf,%ld", &v.width, &v.height, &num, &den, &v.declared_frames) == 5)
        v.rate = den > 0 ? num / den : 0;
    const std::string raw = output_of("timeout 120 ffmpeg -v error -i '" + path +
                                      "' -f rawvideo -pix_fmt bgr24 -vsync passthrough -");
    const size_t size = static_cast<size_t>(v.width) * v.height * 3;
    for (size_t at = 0; size > 0 && at + size <= raw.size(); at += size)
        v.frames.emplace_back(raw.begin() + static_cast<long>(at), raw.begin() + static_cast<long>(at + size));
    return v;
}

std::vector<ReadersResults> read_with_readers(const std::vector<std::string>& paths) {
    std::string command = IMVELA_READ_RECORDING, name;
    for (const std::string& path : paths) command += " '" + path + "'";
    std::vector<ReadersResults> read(paths.size());
    std::istringstream lines(output_of(command));
    for (size_t n = 0; lines >> n >> name && n < read.size();) lines >> read[n][name].frames >> read[n][name].in_order;
    return read;
}

void expect_every_reader_reads(ReadersResults read, long least, long most) {
    for (const char* reader : {"ffmpeg", "ffmpeg-ignidx", "gstreamer", "opencv", "mediainfo"}) {
        const ReaderResult r = read[reader];  // mediainfo: frames and duration
        EXPECT_TRUE(r.frames >= least && r.frames <= most) << reader << " read " << r.frames;
        EXPECT_EQ(r.in_order, reader[0] == 'm' ? std::max(r.in_order, 0.001) : r.frames) << reader;
    }
}
