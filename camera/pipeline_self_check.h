#pragma once
// The frame pipeline checked on this machine: a built-in pattern processed in every colour
// mode, neutral and with every adjustment, by every kernel variant the processor runs, on one
// thread and on all the kernel threads; each output's digest is compared with the digest
// this library was built with (the pipeline gives the same bytes on every variant, thread
// count and build).
#include <cstdint>
#include <string>

namespace imvela {

// The cases: colour mode index 0..5 times the settings (neutral, adjusted).
constexpr int32_t kPipelineCheckCases = 12;

// Runs every case on every variant at both thread counts and appends a short report to
// `report` (a line per variant and thread count, one per mismatch); the number of outputs
// whose digest differed. Runs one at a time in a process; the kernel variant and the thread
// limit are put back afterwards.
int32_t check_pipeline(std::string& report);

// The digest of case `index` on the variant and threads in use now (tools: to make the
// table the library is built with).
uint64_t pipeline_case_digest(int32_t index);

// Tests: case `index` is expected to give a digest other than the one built in (-1: none),
// as though a kernel gave wrong bytes.
void expect_wrong_pipeline_digest(int32_t index);

}  // namespace imvela
