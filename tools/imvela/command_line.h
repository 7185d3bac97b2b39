#pragma once
// The words and options of one command of the tool, and the table of its commands.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Exit statuses of the tool.
constexpr int kSucceeded = 0;
constexpr int kFailed = 1;
constexpr int kUsageError = 2;
constexpr int kInterrupted = 130;  // stopped early by Ctrl-C or a termination request, as shells count it

struct Command;

struct CommandLine {
    const Command* command = nullptr;
    std::vector<std::string> words;              // the arguments that are not options
    std::map<std::string, std::string> options;  // "--mode 24" and "--mode=24" as mode -> 24

    bool has(const char* option) const { return options.count(option) != 0; }
    std::string option(const char* name, const char* fallback = "") const;
    // The camera number of --camera (default 0).
    int32_t camera() const;
};

struct Command {
    const char* name;
    const char* synopsis;       // "record SECONDS FILE.avi [--mode BITS] [--camera N]"
    const char* summary;        // one line for the overview
    const char* details;        // the rest of its --help
    const char* value_options;  // options that take a value, space separated: "mode camera"
    const char* flag_options;   // options without a value
    size_t min_words;
    size_t max_words;
    int (*run)(const CommandLine&);
};

// The text without the spaces, tabs and carriage returns at its ends.
std::string trimmed(const std::string& text);
// A number in C notation (46, 0x2E, -3) filling the whole text.
bool parse_number(const std::string& text, long* value);
// A number that must lie within [low, high]: false and a message naming `what` otherwise.
bool parse_bounded(const CommandLine& line, const std::string& text, const char* what, long low, long high, long* value);

// A time in seconds, decimals allowed, from 0 to `high`: false and a message otherwise.
bool parse_seconds(const CommandLine& line, const std::string& text, double high, double* value);

// Prints "imvela COMMAND: message" and the command's synopsis; returns kUsageError.
int usage_error(const CommandLine& line, const std::string& message);
// Prints "imvela: message" to the error stream; returns kFailed.
int failure(const std::string& message);

// The whole tool: parses argv, runs the command, returns the exit status.
int run_tool(int argc, char** argv);
