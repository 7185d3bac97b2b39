// imvela record stopped by Ctrl-C finishes its file; killed after more than a second of
// frames (30 a second), its file keeps all but about the last second, for every reader.
#include <signal.h>

#include <filesystem>
#include <random>

#include "../tool_run.h"
#include "support/child_process.h"
#include "support/recorded_file.h"
#include "support/wait.h"

TEST_F(ToolTest, RecordInterruptedOrKilledLeavesAFileEveryReaderReads) {
    std::mt19937 random(std::random_device{}());
    const int signals[] = {SIGINT, SIGKILL}, least_mb[] = {30, 140};
    ScratchFile files[2], outputs[2];
    for (int i = 0; i < 2; ++i) {
        ChildProcess tool("/bin/sh", {"-c", std::string("exec '") + IMVELA_TOOL_FILE + "' record 20 '" + files[i].path +
                                                "' > '" + outputs[i].path + "' 2>&1"});
        const uintmax_t at = std::uniform_int_distribution<uintmax_t>(least_mb[i], least_mb[i] + 50)(random) << 20;
        std::error_code e;
        const bool grown = wait_until([&] { return std::filesystem::file_size(files[i].path, e) >= at && !e; });
        kill(static_cast<pid_t>(tool.process_number()), signals[i]);
        int status = -1;
        ASSERT_TRUE(tool.wait_exit(kWaitLimitMs, &status) && grown);
        const std::string out = output_of("cat '" + outputs[i].path + "'");
        EXPECT_EQ(status, 128 + signals[i]) << out;
        EXPECT_NE(out.find(i ? "" : "recording interrupted by SIGINT"), std::string::npos) << out;
    }
    const std::vector<ReadersResults> read = read_with_readers({files[0].path, files[1].path});
    for (int i = 0; i < 2; ++i) {
        const long chunks = read[i].count("file") ? read[i].at("file").frames : 0;
        EXPECT_GT(chunks, 6);
        expect_every_reader_reads(read[i], i ? chunks - 31 : chunks, chunks);
    }
}
