#include <atomic>
#include <condition_variable>
#include <thread>

#include "device_fixture.h"
#include "support/wait.h"

using namespace imvela;

namespace {

// A driver whose image requests wait until the test lets one through; each frame is filled
// with its own sequence number so the test can see which request filled which entry.
class GatedImages final : public DriverTransport {
public:
    intptr_t open_file(const char*) override { return 1; }
    bool close_file(intptr_t) override { return true; }
    void settle(int32_t) override {}
    bool control(intptr_t, uint32_t, const void* input, uint32_t, void* output, uint32_t size,
                 uint32_t* returned) override {
        uint32_t pipe = 0;
        std::memcpy(&pipe, input, 4);
        if (pipe != driver::kPipeImage) {
            *returned = size;
            return true;
        }
        std::unique_lock<std::mutex> g(lock_);
        changed_.wait(g, [&] { return allowed_ > 0 || open_; });
        if (allowed_ > 0) --allowed_;
        const int32_t n = ++requests_;
        std::memset(output, n & 0xFF, size);
        const bool is_short = n <= static_cast<int32_t>(short_.size()) && short_[static_cast<size_t>(n - 1)];
        *returned = is_short ? size / 2 : size;
        return true;
    }
    void release(int32_t n) {
        std::lock_guard<std::mutex> g(lock_);
        allowed_ += n;
        changed_.notify_all();
    }
    void open_gate() {
        std::lock_guard<std::mutex> g(lock_);
        open_ = true;
        changed_.notify_all();
    }
    void script_short(std::vector<bool> s) { short_ = std::move(s); }

private:
    std::mutex lock_;
    std::condition_variable changed_;
    int32_t allowed_ = 0;
    int32_t requests_ = 0;
    bool open_ = false;
    std::vector<bool> short_;
};

void wait_for_frames(const FrameStream& s, int32_t n) {
    EXPECT_TRUE(wait_until([&] { return s.frames() >= n || !s.running(); }));
}

}  // namespace

TEST(FrameStream, StartTwiceAndStopWithoutStart) {
    FrameStream s;
    EXPECT_EQ(s.stop(), 0);
    ASSERT_EQ(s.allocate(64, 4), 0);
    GatedImages t;
    EXPECT_EQ(s.start(t, "x", 64, false), 0);
    EXPECT_EQ(s.start(t, "x", 64, false), kStreamAlreadyRunning);
    EXPECT_EQ(s.allocate(64, 4), kStreamAlreadyRunning);  // the ring cannot go while it is filled
    t.open_gate();
    EXPECT_EQ(s.stop(), 0);
    EXPECT_EQ(s.stop(), 0);
    EXPECT_EQ(s.start(t, "x", 65, false), 7);  // frame larger than a block
}

TEST(FrameStream, ProducerSkipsTheEntryTheConsumerHolds) {
    FrameStream s;
    ASSERT_EQ(s.allocate(64, 4), 0);
    GatedImages t;
    ASSERT_EQ(s.start(t, "x", 64, false), 0);
    t.release(3);
    wait_for_frames(s, 3);
    EXPECT_EQ(s.write_index(), 3);
    ASSERT_EQ(s.take_newest(), kTakeReady);
    EXPECT_EQ(s.read_index(), 2);
    EXPECT_EQ(s.taken_frame()[0], 3);  // the newest: entries 0 and 1 are skipped

    t.release(3);  // completes entries 3, 0, 1
    wait_for_frames(s, 6);
    EXPECT_EQ(s.write_index(), 3);     // 2 was skipped
    EXPECT_EQ(s.taken_frame()[63], 3);  // and never written meanwhile
    s.release_taken();  // the consumer is done with entry 2; the producer is filling entry 3
    EXPECT_EQ(s.read_index(), 3);
    EXPECT_EQ(s.take_newest(20), kTakeArrived);  // the event of an earlier frame, still set
    EXPECT_EQ(s.take_newest(20), kTakeStopped);  // entry 3 is not complete yet
    t.release(1);
    wait_for_frames(s, 7);
    ASSERT_EQ(s.take_newest(), kTakeReady);
    EXPECT_EQ(s.read_index(), 3);
    EXPECT_EQ(s.taken_frame()[0], 7);
    t.open_gate();
    EXPECT_EQ(s.stop(), 0);
}

TEST(FrameStream, HeldEntryStaysUnwrittenUntilReleasedEvenPastTheRing) {
    FrameStream s;
    ASSERT_EQ(s.allocate(64, 2), 0);
    EXPECT_FALSE(s.hold_taken());  // the loop would have no entry left to fill
    ASSERT_EQ(s.allocate(64, 4), 0);
    GatedImages t;
    ASSERT_EQ(s.start(t, "x", 64, false), 0);
    t.release(2);
    wait_for_frames(s, 2);
    ASSERT_EQ(s.take_newest(), kTakeReady);
    const uint8_t* held = s.taken_frame();
    ASSERT_TRUE(s.hold_taken());
    EXPECT_EQ(s.read_index(), 2);

    t.release(4);  // frames 3 to 6 go round the two other entries
    wait_for_frames(s, 6);
    EXPECT_EQ(held[0], 2);
    EXPECT_EQ(held[63], 2);
    ASSERT_EQ(s.take_newest(), kTakeReady);
    EXPECT_EQ(s.taken_frame()[0], 6);
    t.open_gate();
    EXPECT_EQ(s.stop(), 0);
    s.release_blocks();
    EXPECT_EQ(held[0], 2);  // the memory stays until the entry is released
    s.release_held();
}

TEST(FrameStream, FirstShortTransferIsForgivenTheSecondEndsTheStream) {
    FrameStream s;
    ASSERT_EQ(s.allocate(64, 4), 0);
    GatedImages t;
    t.script_short({true, false, false, true});
    ASSERT_EQ(s.start(t, "x", 64, false), 0);
    t.release(3);
    wait_for_frames(s, 2);
    EXPECT_EQ(s.frames(), 2);  // the short one is not counted
    EXPECT_EQ(s.write_index(), 2);
    ASSERT_EQ(s.take_newest(), kTakeReady);
    EXPECT_EQ(s.taken_frame()[0], 3);  // request 2 and 3 filled entries 0 and 1
    t.release(1);
    ASSERT_TRUE(wait_until([&] { return !s.running(); }));
    EXPECT_EQ(s.frames(), 2);  // the failed block is not published
    EXPECT_EQ(s.write_index(), 2);
    EXPECT_EQ(s.take_newest(), kTakeStopped);
    EXPECT_EQ(s.stop(), kStreamTransferFailed);
    EXPECT_EQ(s.take_newest(), kTakeIdle);
}

TEST(FrameStream, TakeNewestWaitsForTheFrameEvent) {
    FrameStream s;
    ASSERT_EQ(s.allocate(64, 4), 0);
    GatedImages t;
    EXPECT_EQ(s.take_newest(), kTakeIdle);
    ASSERT_EQ(s.start(t, "x", 64, false), 0);
    EXPECT_EQ(s.take_newest(20), kTakeStopped);  // nothing came within the wait
    std::thread late([&] { t.release(1); });
    // The frame comes during the wait, or (on a loaded machine) just before it begins.
    int32_t r = s.take_newest(kFrameWaitMs);
    if (r == kTakeArrived) r = s.take_newest();
    late.join();
    EXPECT_EQ(r, kTakeReady);
    EXPECT_EQ(s.taken_frame()[0], 1);
    t.open_gate();
    s.stop();
}

class FrameTransferTest : public EmulatedDeviceTest {};

TEST_F(FrameTransferTest, GeometryRefusalsAndTransferSizes) {
    CImvelaM61XZKRSdk device(transport);
    EXPECT_EQ(device.rebuild_geometry(64, 0, 64, 16, 0, 16, 1), kGeometryRingCount);
    EXPECT_EQ(device.rebuild_geometry(100, 0, 101, 16, 0, 16, 4), kGeometryHorizontal);
    EXPECT_EQ(device.rebuild_geometry(100, 10, 95, 16, 0, 16, 4), kGeometryHorizontal);  // past the row
    EXPECT_EQ(device.rebuild_geometry(100, 0, 100, 16, 2, 15, 4), kGeometryVertical);
    EXPECT_EQ(device.rebuild_geometry(0, 0, 0, 16, 0, 16, 4), kGeometryHorizontal);
    EXPECT_EQ(device.rebuild_geometry(100, 0, 100, 0, 0, 0, 4), kGeometryVertical);

    EXPECT_EQ(device.set_window(0, 0, 1280, 1024, 0), 0);
    EXPECT_EQ(device.transfer_size(), 1310720);
    EXPECT_EQ(device.frame_bytes(), 1310720);
    EXPECT_EQ(device.uses_large_transfer(), 0);
    EXPECT_EQ(device.set_window(0, 0, 1291, 3, 0), 0);
    EXPECT_EQ(device.transfer_size(), 4096);  // 3873 rounded up
    EXPECT_TRUE(device.set_sample_width(1));
    EXPECT_EQ(device.set_window(0, 0, 1292, 1040, 0), 0);
    EXPECT_EQ(device.transfer_size(), 1344512);
    EXPECT_EQ(device.frame_bytes(), 2689024);
    EXPECT_EQ(device.uses_large_transfer(), 0);  // below 3,072,000 bytes
    EXPECT_EQ(device.ring_count(), 4);
    EXPECT_EQ(device.stream().block_bytes(), 2689024);
    EXPECT_EQ(transfer_samples(1536, 1000, 0), 1536000);
    EXPECT_GE(transfer_samples(1536, 1000, 0) * 2, driver::kLargeTransferBytes);  // where large codes begin
}

namespace {

void expect_ramp(const uint8_t* frame, int32_t width, int32_t height, int32_t g, int32_t e, bool mirror_x,
                 bool mirror_y, bool two_byte) {
    int bad = 0;
    for (int32_t r = 0; r < height && bad < 5; ++r)
        for (int32_t c = 0; c < width && bad < 5; ++c) {
            const int32_t x = mirror_x ? g + width - 1 - c : g + c;
            const int32_t y = mirror_y ? e + height - 1 - r : e + r;
            int32_t got;
            if (two_byte) {
                uint16_t v;
                std::memcpy(&v, frame + (static_cast<size_t>(r) * width + c) * 2, 2);
                got = v;
            } else {
                got = frame[static_cast<size_t>(r) * width + c];
            }
            const int32_t want = (x + 2 * y) % (two_byte ? 4096 : 256);
            if (got != want) {
                ADD_FAILURE() << "row " << r << " column " << c << ": " << got << " instead of " << want;
                ++bad;
            }
        }
}

}  // namespace

TEST_F(FrameTransferTest, SingleFrameReadsTheWindowAsTheSensorSeesIt) {
    CImvelaM61XZKRSdk device(transport);
    EXPECT_EQ(device.set_window(10, 20, 100, 50, 0), 0);
    std::vector<uint8_t> out(100 * 50 * 2);
    ASSERT_EQ(device.read_single_frame(), 0);
    ASSERT_EQ(device.extract_single_frame(out.data()), 0);
    expect_ramp(out.data(), 100, 50, 10, 20, false, false, false);

    EXPECT_TRUE(device.set_mirror_h(1));
    EXPECT_TRUE(device.set_mirror_v(1));
    ASSERT_EQ(device.read_single_frame(), 0);
    ASSERT_EQ(device.extract_single_frame(out.data()), 0);
    expect_ramp(out.data(), 100, 50, 10, 20, true, true, false);

    EXPECT_TRUE(device.set_mirror_h(0));
    EXPECT_TRUE(device.set_sample_width(1));
    EXPECT_EQ(device.set_window(1000, 1000, 292, 40, 0), 0);
    ASSERT_EQ(device.read_single_frame(), 0);
    std::vector<uint8_t> wide(292 * 40 * 2);
    ASSERT_EQ(device.extract_single_frame(wide.data()), 0);
    expect_ramp(wide.data(), 292, 40, 1000, 1000, false, true, true);
    EXPECT_EQ(device.extract_single_frame(nullptr), kExtractNoBuffer);
}

TEST_F(FrameTransferTest, SingleFrameKeepsItsHandleUntilAFailure) {
    CImvelaM61XZKRSdk device(transport);
    EXPECT_EQ(device.set_window(0, 0, 64, 8, 0), 0);
    ASSERT_EQ(device.read_single_frame(), 0);
    transport.clear();
    ASSERT_EQ(device.read_single_frame(), 0);
    EXPECT_EQ(transport.opens, 1);  // only the prepare command's own file
    EXPECT_EQ(camera().inject_fault(2, 1), 1);
    EXPECT_EQ(device.read_single_frame(), kStreamTransferFailed);
    EXPECT_EQ(device.last_transfer_error(), kStreamTransferFailed);
    transport.clear();
    ASSERT_EQ(device.read_single_frame(), 0);
    EXPECT_EQ(transport.opens, 2);  // reopened
    EXPECT_EQ(device.close_held_handle(), 1);
    EXPECT_EQ(device.close_held_handle(), 0);
    camera().inject_fault(1, 1);
    EXPECT_EQ(device.read_single_frame(), kStreamTransferFailed);  // short

    use_cameras({});
    EXPECT_EQ(device.read_single_frame(), kStreamOpenFailed);
}

TEST_F(FrameTransferTest, CopyWindowWithOffsetsAndStride) {
    CIVMSdkLib device(transport);
    ASSERT_EQ(device.rebuild_geometry(8, 2, 4, 6, 1, 3, 2), 0);
    EXPECT_EQ(device.transfer_size(), 1024);
    std::vector<uint8_t> frame(64);
    for (size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<uint8_t>(i);
    uint8_t packed[12] = {};
    ASSERT_EQ(device.CopyWindow(packed, 0, frame.data()), 0);
    const uint8_t want[12] = {10, 11, 12, 13, 18, 19, 20, 21, 26, 27, 28, 29};
    EXPECT_EQ(0, std::memcmp(packed, want, sizeof want));
    uint8_t padded[3 * 6];
    std::memset(padded, 0xEE, sizeof padded);
    ASSERT_EQ(device.CopyWindow(padded, 6, frame.data()), 0);
    EXPECT_EQ(padded[6], 18);
    EXPECT_EQ(padded[4], 0xEE);  // padding untouched
    EXPECT_EQ(device.CopyWindow(nullptr, 0, frame.data()), kExtractNoBuffer);
    EXPECT_EQ(device.CopyWindow(packed, 0, nullptr), kExtractNoBuffer);
}

namespace {

// The emulated camera, with every delivered frame overwritten by its sequence number (in
// every 32-bit word) so that a torn frame (two producers' writes in one copy) shows as
// mixed words.
class TaggedFrames final : public DriverTransport {
public:
    explicit TaggedFrames(DriverTransport& inner) : inner_(inner) {}
    intptr_t open_file(const char* path) override { return inner_.open_file(path); }
    bool close_file(intptr_t h) override { return inner_.close_file(h); }
    void settle(int32_t) override {}
    bool control(intptr_t h, uint32_t code, const void* in, uint32_t in_size, void* out, uint32_t out_size,
                 uint32_t* returned) override {
        const bool ok = inner_.control(h, code, in, in_size, out, out_size, returned);
        uint32_t pipe = 0;
        std::memcpy(&pipe, in, 4);
        if (ok && pipe == driver::kPipeImage && in_size == 4) {
            ++tag_;
            for (uint32_t i = 0; i + 4 <= *returned; i += 4) std::memcpy(static_cast<uint8_t*>(out) + i, &tag_, 4);
        }
        return ok;
    }

private:
    DriverTransport& inner_;
    uint32_t tag_ = 0;  // only the streaming thread reads frames
};

}  // namespace

TEST_F(FrameTransferTest, StreamingWithASlowConsumer) {
    TaggedFrames tagged(emulator::emulated_driver());
    CImvelaM61XZKRSdk device(tagged);
    EXPECT_EQ(device.set_window(0, 0, 256, 64, 0), 0);
    EXPECT_EQ(device.stop_streaming(), 0);
    ASSERT_EQ(device.start_streaming(), 0);
    EXPECT_EQ(device.start_streaming(), kStreamAlreadyRunning);
    EXPECT_EQ(device.rebuild_geometry(64, 0, 64, 16, 0, 16, 4), kStreamAlreadyRunning);
    std::vector<uint32_t> out(256 * 64 / 4);
    uint32_t last = 0;
    int skipped = 0;
    const Deadline deadline(3 * kWaitLimitMs);
    for (int taken = 0; taken < 40;) {
        ASSERT_FALSE(deadline.passed()) << "only " << taken << " frames taken";
        const int32_t r = device.take_newest_frame();
        ASSERT_NE(r, kTakeIdle);
        if (r == kTakeStopped) {
            ASSERT_TRUE(device.stream().running()) << "the stream ended by itself";
        }
        if (r != kTakeReady) continue;  // arrived, or no frame within the wait on a loaded machine
        ASSERT_EQ(device.extract_taken_frame(out.data()), 0);
        for (size_t i = 1; i < out.size(); ++i) ASSERT_EQ(out[i], out[0]) << "torn frame at word " << i;
        const uint32_t tag = out[0];
        EXPECT_GT(tag, last);
        skipped += tag - last > 1;
        last = tag;
        ++taken;
        // Slower than the camera: at least two more frames complete before the next take.
        const int32_t frames = device.stream().frames();
        ASSERT_TRUE(wait_until([&] { return device.stream().frames() >= frames + 2 || !device.stream().running(); }));
    }
    EXPECT_GT(skipped, 0);  // the consumer gets a newer frame than the one after its last and skips older ones
    EXPECT_EQ(device.extract_taken_frame(nullptr), kExtractNoBuffer);
    EXPECT_EQ(device.stop_streaming(), 0);
    EXPECT_GT(camera().frame_count(), 40);
}

namespace {

// Takes frames until the loop has ended by itself: every take then answers "stopped". A
// take that answers "stopped" while the loop still runs only found no frame within its
// wait (a loaded machine) and is not the end.
void take_until_the_loop_ends(CIVMSdkLib& device) {
    int32_t r = kTakeReady;
    EXPECT_TRUE(wait_until([&] {
        r = device.take_newest_frame();
        return r == kTakeIdle || (r == kTakeStopped && !device.stream().running());
    }));
    EXPECT_NE(r, kTakeIdle) << "a loop that ended with an error reads as never started";
}

}  // namespace

TEST_F(FrameTransferTest, StreamEndsOnASecondShortTransferOrAnUnplug) {
    CImvelaM61XZKRSdk device(transport);
    EXPECT_EQ(device.set_window(0, 0, 128, 16, 0), 0);
    camera().inject_fault(1, 1);
    ASSERT_EQ(device.start_streaming(), 0);
    ASSERT_TRUE(wait_until([&] { return device.take_newest_frame() == kTakeReady; }));
    EXPECT_EQ(device.stop_streaming(), 0);

    camera().inject_fault(1, 2);
    ASSERT_EQ(device.start_streaming(), 0);
    take_until_the_loop_ends(device);
    EXPECT_EQ(device.stop_streaming(), kStreamTransferFailed);

    camera().inject_fault(4, 1);
    ASSERT_EQ(device.start_streaming(), 0);
    take_until_the_loop_ends(device);
    EXPECT_EQ(device.stop_streaming(), kStreamTransferFailed);
    int32_t value = 0;
    EXPECT_EQ(device.read_register(0x0F, &value), 0);  // unplugged
    camera().replug();
    EXPECT_EQ(device.read_register(0x0F, &value), 1);
}
