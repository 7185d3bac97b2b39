// imvela record stopped by Ctrl-C (or a termination request) finishes its file with every frame
// taken; killed outright, its file keeps all but about the last second. As readers nobody
// here wrote read them.
#include <signal.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "../tool_run.h"
#include "support/child_process.h"
#include "support/recorded_file.h"
#include "support/wait.h"

TEST_F(ToolTest, RecordInterruptedOrKilledLeavesAFileEveryReaderReads) {
    std::mt19937 random(std::random_device{}());
    // Ctrl-C after a few frames; kill -9 after more than a second of them (30 frames a second).
    const int signals[] = {SIGINT, SIGKILL}, least_mb[] = {30, 140};
    ScratchFile files[2], outputs[2];
    std::vector<std::string> paths;
    for (int i = 0; i < 2; ++i) {
        paths.push_back(files[i].path);
        ChildProcess tool("/bin/sh", {"-c", std::string("exec '") + IMVELA_TOOL_FILE + "' record 20 '" + files[i].path +
                                                "' > '" + outputs[i].path + "' 2>&1"});
        ASSERT_TRUE(tool.started());
        const uintmax_t at = std::uniform_int_distribution<uintmax_t>(least_mb[i], least_mb[i] + 50)(random) << 20;
        const bool grown = wait_until([&] {
            std::error_code e;
            const uintmax_t size = std::filesystem::file_size(files[i].path, e);
            return !e && size >= at;
        });
        kill(static_cast<pid_t>(tool.process_number()), signals[i]);
        int status = -1;
        ASSERT_TRUE(tool.wait_exit(kWaitLimitMs, &status));
        ASSERT_TRUE(grown);
        std::stringstream out;
        out << std::ifstream(outputs[i].path).rdbuf();
        EXPECT_EQ(status, 128 + signals[i]) << out.str();
        EXPECT_NE(out.str().find(i ? "" : "recording interrupted by SIGINT"), std::string::npos) << out.str();
    }
    const std::vector<ReadersResults> read = read_with_readers(paths);
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(signals[i]);
        const long chunks = read[i].count("file") ? read[i].at("file").frames : 0;
        EXPECT_GT(chunks, 6);
        // Finished: every frame. Killed: the last checkpoint came at most a second (31 frames
        // at 30 per second) before the last whole chunk.
        expect_every_reader_reads(read[i], signals[i] == SIGKILL ? chunks - 31 : chunks, chunks);
    }
}
