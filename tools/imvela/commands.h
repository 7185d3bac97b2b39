#pragma once
// The tool's commands; each returns the exit status (command_line.h).
#include "command_line.h"

// Library and handle
int command_version(const CommandLine& line);
int command_handle(const CommandLine& line);
int command_register(const CommandLine& line);
// Cameras
int command_list(const CommandLine& line);
int command_info(const CommandLine& line);
int command_doctor(const CommandLine& line);
int command_selftest(const CommandLine& line);
// Settings
int command_get(const CommandLine& line);
int command_set(const CommandLine& line);
int command_settings(const CommandLine& line);
int command_defects(const CommandLine& line);
// Capture
int command_snapshot(const CommandLine& line);
int command_stills(const CommandLine& line);
int command_stream(const CommandLine& line);
int command_record(const CommandLine& line);
int command_trigger(const CommandLine& line);
int command_soak(const CommandLine& line);
