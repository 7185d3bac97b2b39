#pragma once
// The stored settings of a camera as a text file (imvela settings export and import), and the
// stored video format and size list, which no function of the library reaches.
#include <cstdint>
#include <string>

struct CommandLine;

int export_settings(const CommandLine& line);
int import_settings(const CommandLine& line);

// Stores the first-use video format and size list (one entry, 1280 x 1024 of 1292 x 1040);
// false after a message.
bool reset_video_format(int32_t number);

// Empty when camera `number`'s stored capture window is valid (or none is stored); else what
// is wrong with it.
std::string stored_window_problem(int32_t number);
