#include "files/avi_writer.h"

#include <algorithm>
#include <atomic>

namespace imvela {

namespace {

std::atomic<uint64_t> riff_limit_setting{CAviWriter::kRiffLimit};

constexpr uint32_t kOpenFrameRate = 30;
constexpr uint32_t kRateUnits = 10000000;          // stream header rate; scale makes the fps
constexpr uint32_t kFlagsIndexed = 0x00010010;     // has index, was capture file
constexpr uint32_t kFlagHasIndex = 0x00000010;
constexpr uint32_t kKeyFrame = 0x10;
constexpr uint32_t kDefaultRate = 3000;            // hundredths: 30 frames per second
constexpr uint32_t kChunkHead = 8;
constexpr uint32_t kIdx1Entry = 16;
constexpr uint32_t kStdIndexHead = 24;
constexpr uint32_t kStdIndexEntry = 8;
constexpr uint32_t kSuperIndexHead = 24;
constexpr uint32_t kSuperIndexEntry = 16;
constexpr uint32_t kDmlhBytes = 248;
constexpr uint32_t kExtensionHead = 24;            // "RIFF" n "AVIX" "LIST" n "movi"
constexpr uint32_t kMaxSuperEntries = 16384;
constexpr size_t kMaxReservedEntries = size_t{1} << 20;
constexpr size_t kDmlhFramesAt = 0;  // within the "dmlh" data

// Header positions, the same in both layouts.
constexpr size_t kRiffLengthAt = 4;
constexpr size_t kHdrlLengthAt = 16;
constexpr size_t kMicrosecondsAt = 32;
constexpr size_t kFlagsAt = 44;
constexpr size_t kTotalFramesAt = 48;
constexpr size_t kStrlLengthAt = 92;
constexpr size_t kScaleAt = 128;
constexpr size_t kLengthAt = 140;
constexpr size_t kStrlStart = 96;
constexpr size_t kHdrlStart = 20;
constexpr size_t kPlainHeader = 232;      // up to the first frame chunk
constexpr size_t kSuperIndexAt = 220;  // OpenDML: the "indx" chunk after "strf"
constexpr size_t kSuperInUseAt = kSuperIndexAt + 12;
constexpr size_t kSuperEntriesAt = kSuperIndexAt + 8 + kSuperIndexHead;

void put8(std::vector<uint8_t>& v, uint8_t x) { v.push_back(x); }
void put16(std::vector<uint8_t>& v, uint16_t x) {
    put8(v, static_cast<uint8_t>(x));
    put8(v, static_cast<uint8_t>(x >> 8));
}
void put32(std::vector<uint8_t>& v, uint32_t x) {
    put16(v, static_cast<uint16_t>(x));
    put16(v, static_cast<uint16_t>(x >> 16));
}
void put64(std::vector<uint8_t>& v, uint64_t x) {
    put32(v, static_cast<uint32_t>(x));
    put32(v, static_cast<uint32_t>(x >> 32));
}
void code(std::vector<uint8_t>& v, const char* four) {
    for (int i = 0; i < 4; ++i) put8(v, static_cast<uint8_t>(four[i]));
}
void zeros(std::vector<uint8_t>& v, size_t n) { v.insert(v.end(), n, 0); }
void set32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
    for (int i = 0; i < 4; ++i) v[at + i] = static_cast<uint8_t>(x >> (8 * i));
}
uint32_t field32(const std::vector<uint8_t>& v, size_t at) {
    return v[at] | v[at + 1] << 8 | v[at + 2] << 16 | uint32_t{v[at + 3]} << 24;
}
void le32(uint8_t* p, uint32_t x) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(x >> (8 * i));
}
uint32_t clamp32(uint64_t x) { return static_cast<uint32_t>(std::min<uint64_t>(x, 0xFFFFFFFFu)); }

}  // namespace

void CAviWriter::SetRiffLimit(uint64_t bytes) { riff_limit_setting.store(bytes ? bytes : kRiffLimit); }

uint32_t CAviWriter::MeasuredRate(uint64_t frames, uint32_t elapsed_ms) {
    if (frames < 2 || elapsed_ms == 0) return kDefaultRate;
    return std::max<uint32_t>(1, clamp32(((frames - 1) * 100000 + elapsed_ms / 2) / elapsed_ms));
}

void CAviWriter::Reset() {
    file_.Close();
    head_.clear();
    index_.clear();
    indexed_ = 0;
    super_.clear();
    scratch_.clear();
    first_riff_frames_ = 0;
    extended_ = false;
    riffs_ = 0;
    super_capacity_ = super_kept_ = 0;
    riff_closed_ = false;
    failed_ = false;
    pos_ = riff_start_ = movi_length_at_ = movi_code_at_ = 0;
    dmlh_at_ = 0;
}

void CAviWriter::SetFormat(int32_t width, int32_t height) {
    width_ = width;
    height_ = height;
    rate_ = kOpenFrameRate;
    frames_ = 0;
}

// The index bytes the current RIFF ends with when `more_frames` frames join it: the standard
// index of the frames no standard index lists yet (OpenDML) and, in the first RIFF, "idx1".
uint64_t CAviWriter::closing_bytes(uint64_t more_frames) const {
    uint64_t bytes = 0;
    if (extended_) bytes += kChunkHead + kStdIndexHead + kStdIndexEntry * (index_.size() - indexed_ + more_frames);
    if (riff_start_ == 0) bytes += kChunkHead + kIdx1Entry * (index_.size() + more_frames);
    return bytes;
}

void CAviWriter::build_header(uint32_t super_entries) {
    const uint32_t chunk = frame_bytes_ + kChunkHead;
    std::vector<uint8_t>& h = head_;
    h.clear();
    code(h, "RIFF"), put32(h, 0), code(h, "AVI ");
    code(h, "LIST"), put32(h, 0), code(h, "hdrl");
    code(h, "avih"), put32(h, 56);
    put32(h, 1000000 / kOpenFrameRate);
    put32(h, clamp32(uint64_t{chunk} * kOpenFrameRate));  // maximum bytes per second
    put32(h, 0), put32(h, kFlagsIndexed), put32(h, 0), put32(h, 0), put32(h, 1);
    put32(h, chunk), put32(h, static_cast<uint32_t>(width_)), put32(h, static_cast<uint32_t>(height_));
    zeros(h, 16);
    code(h, "LIST"), put32(h, 0), code(h, "strl");
    code(h, "strh"), put32(h, 64), code(h, "vids"), code(h, "DIB ");
    put32(h, 0), put16(h, 0), put16(h, 0), put32(h, 0);
    put32(h, kRateUnits / kOpenFrameRate), put32(h, kRateUnits), put32(h, 0), put32(h, 0);
    put32(h, chunk), put32(h, 0), put32(h, 0);
    zeros(h, 8 + 8);
    code(h, "strf"), put32(h, 40), put32(h, 40);
    put32(h, static_cast<uint32_t>(width_)), put32(h, static_cast<uint32_t>(height_));
    put16(h, 1), put16(h, 24), put32(h, 0);
    // Rows of widths that are not a multiple of four carry padding: say how long a frame is.
    put32(h, (3u * static_cast<uint32_t>(width_)) % 4 == 0 ? 0 : frame_bytes_);
    zeros(h, 16);
    if (super_entries > 0) {
        code(h, "indx"), put32(h, kSuperIndexHead + kSuperIndexEntry * super_entries);
        put16(h, 4), put8(h, 0), put8(h, 0);  // four longs per entry, an index of indexes
        put32(h, 0), code(h, "00db");
        zeros(h, 12 + size_t{kSuperIndexEntry} * super_entries);
    }
    set32(h, kStrlLengthAt, static_cast<uint32_t>(h.size() - kStrlStart));
    if (super_entries > 0) {
        code(h, "LIST"), put32(h, 4 + kChunkHead + kDmlhBytes), code(h, "odml");
        code(h, "dmlh"), put32(h, kDmlhBytes);
        dmlh_at_ = h.size();
        zeros(h, kDmlhBytes);
    }
    set32(h, kHdrlLengthAt, static_cast<uint32_t>(h.size() - kHdrlStart));
    code(h, "LIST"), put32(h, 0), code(h, "movi");
}

bool CAviWriter::Open(const char* path, uint64_t most_frames, uint32_t most_checkpoints) {
    Reset();
    frames_ = 0;
    if (width_ <= 0 || height_ <= 0) return false;
    const uint64_t row = (3 * static_cast<uint64_t>(width_) + 3) & ~uint64_t{3};
    const uint64_t frame = row * static_cast<uint64_t>(height_);
    riff_limit_ = riff_limit_setting.load();
    if (frame > 0x7FFFFFFFu) return false;
    frame_bytes_ = static_cast<uint32_t>(frame);

    const uint64_t chunk = frame + kChunkHead;
    const uint64_t idx1_entry = kIdx1Entry;
    if (kPlainHeader + chunk + kChunkHead + idx1_entry > riff_limit_) return false;
    uint64_t reserve = most_frames;
    if (kPlainHeader + most_frames * (chunk + idx1_entry) + kChunkHead > riff_limit_) {
        // Frames one extension holds, and RIFFs enough for them all with one to spare; the
        // super index keeps an entry for each RIFF's closing index, and one per checkpoint.
        const uint64_t room = kExtensionHead + kChunkHead + kStdIndexHead;
        const uint64_t per_riff = riff_limit_ > room ? (riff_limit_ - room) / (chunk + kStdIndexEntry) : 0;
        if (per_riff == 0) return false;
        super_kept_ = static_cast<uint32_t>(std::min<uint64_t>(most_frames / per_riff + 2, kMaxSuperEntries));
        super_capacity_ = static_cast<uint32_t>(std::min<uint64_t>(uint64_t{super_kept_} + most_checkpoints, kMaxSuperEntries));
        extended_ = true;
        super_.reserve(super_capacity_);
        reserve = per_riff;
    }
    build_header(extended_ ? super_capacity_ : 0);
    if (extended_ && head_.size() + chunk + closing_bytes(1) > riff_limit_) return false;
    if (!file_.Open(path)) return false;
    reserve = std::min<uint64_t>(reserve, kMaxReservedEntries);
    index_.reserve(static_cast<size_t>(reserve));
    scratch_.reserve(static_cast<size_t>(kChunkHead + kStdIndexHead + kChunkHead + reserve * (kStdIndexEntry + kIdx1Entry)));
    if (!file_.WriteAt(0, head_.data(), static_cast<uint32_t>(head_.size()))) {
        Reset();
        return false;
    }
    riffs_ = 1;
    pos_ = head_.size();
    movi_length_at_ = pos_ - 8;
    movi_code_at_ = pos_ - 4;
    return true;
}

bool CAviWriter::fail() {
    failed_ = true;
    return false;
}

bool CAviWriter::WriteFrame(const uint8_t* pixels) {
    if (!file_.IsOpen() || failed_ || !pixels) return false;
    const uint64_t chunk = uint64_t{frame_bytes_} + kChunkHead;
    if (pos_ - riff_start_ + chunk + closing_bytes(1) > riff_limit_) {
        if (!extended_ || index_.empty() || !close_riff() || !open_extension()) return fail();
    }
    uint8_t head[kChunkHead] = {'0', '0', 'd', 'b'};
    le32(head + 4, frame_bytes_);
    const platform::ByteSpan pieces[2] = {{head, kChunkHead}, {pixels, frame_bytes_}};
    if (!file_.WriteAt(pos_, pieces, 2)) return fail();
    index_.push_back(static_cast<uint32_t>(pos_ - movi_code_at_));
    pos_ += chunk;
    ++frames_;
    return true;
}

bool CAviWriter::patch32(uint64_t at, uint32_t value) {
    uint8_t bytes[4];
    le32(bytes, value);
    return file_.WriteAt(at, bytes, 4) != 0;
}

// A standard index of the frames of this RIFF that none lists yet, where the "movi" list now
// ends; sequential readers skip it, the super index names it.
bool CAviWriter::write_standard_index() {
    const uint32_t n = static_cast<uint32_t>(index_.size() - indexed_);
    if (n == 0) return true;
    if (super_.size() >= super_capacity_) return false;
    std::vector<uint8_t>& s = scratch_;
    s.clear();
    code(s, "ix00"), put32(s, kStdIndexHead + kStdIndexEntry * n);
    put16(s, 2), put8(s, 0), put8(s, 1);  // two longs per entry, an index of chunks
    put32(s, n), code(s, "00db"), put64(s, movi_code_at_), put32(s, 0);
    for (size_t k = indexed_; k < index_.size(); ++k) put32(s, index_[k] + kChunkHead), put32(s, frame_bytes_);
    if (!file_.WriteAt(pos_, s.data(), static_cast<uint32_t>(s.size()))) return false;
    super_.push_back(SuperEntry{pos_, static_cast<uint32_t>(s.size()), n});
    pos_ += s.size();
    indexed_ = index_.size();
    return true;
}

// The header as the file now stands: the first RIFF's lengths while it is the current one,
// frame totals, rate, the super index's entries.
void CAviWriter::update_header() {
    const bool in_first = riff_start_ == 0 && !riff_closed_;
    if (in_first) {
        set32(head_, kRiffLengthAt, static_cast<uint32_t>(pos_ - 8));
        set32(head_, static_cast<size_t>(movi_length_at_), static_cast<uint32_t>(pos_ - movi_length_at_ - 4));
    }
    const uint32_t rate = rate_ ? rate_ : kDefaultRate;
    set32(head_, kMicrosecondsAt, 100000000u / rate);
    set32(head_, kTotalFramesAt, in_first ? frames_ : first_riff_frames_);
    set32(head_, kScaleAt, 1000000000u / rate);
    set32(head_, kLengthAt, frames_);
    if (!extended_) return;
    const uint32_t in_use = static_cast<uint32_t>(super_.size());
    set32(head_, kSuperInUseAt, in_use);
    for (uint32_t i = 0; i < in_use; ++i) {
        const size_t at = kSuperEntriesAt + size_t{kSuperIndexEntry} * i;
        set32(head_, at, static_cast<uint32_t>(super_[i].offset));
        set32(head_, at + 4, static_cast<uint32_t>(super_[i].offset >> 32));
        set32(head_, at + 8, super_[i].size);
        set32(head_, at + 12, super_[i].frames);
    }
    set32(head_, dmlh_at_ + kDmlhFramesAt, frames_);
}

// The header, and the lengths of an extension being written.
bool CAviWriter::write_lengths() {
    update_header();
    if (!file_.WriteAt(0, head_.data(), static_cast<uint32_t>(head_.size()))) return false;
    if (riff_start_ == 0 || riff_closed_) return true;
    return patch32(riff_start_ + 4, static_cast<uint32_t>(pos_ - riff_start_ - 8)) &&
           patch32(movi_length_at_, static_cast<uint32_t>(pos_ - movi_length_at_ - 4));
}

bool CAviWriter::Checkpoint() {
    if (!file_.IsOpen() || failed_) return false;
    // Entries kept for the closing indexes are not spent here; without room the frames wait
    // for their RIFF's closing index.
    if (extended_ && super_.size() + super_kept_ < super_capacity_ && !write_standard_index()) return fail();
    return write_lengths() || fail();
}

// Ends the current RIFF: the standard index of its last frames (OpenDML) at the end of its
// "movi" list, "idx1" after the list in the first RIFF, and both lengths. The lengths describe
// what is in the file even when the index could not be written.
bool CAviWriter::close_riff() {
    const bool first = riff_start_ == 0;
    bool written = !extended_ || write_standard_index();
    const uint64_t movi_end = pos_;
    if (written && first) {
        const uint32_t n = static_cast<uint32_t>(index_.size());
        std::vector<uint8_t>& s = scratch_;
        s.clear();
        code(s, "idx1"), put32(s, kIdx1Entry * n);
        for (uint32_t offset : index_) code(s, "00db"), put32(s, kKeyFrame), put32(s, offset), put32(s, frame_bytes_);
        written = file_.WriteAt(pos_, s.data(), static_cast<uint32_t>(s.size())) != 0;
        if (written) pos_ += s.size();
    }
    const uint32_t riff_length = static_cast<uint32_t>(pos_ - riff_start_ - 8);
    const uint32_t movi_length = static_cast<uint32_t>(movi_end - movi_length_at_ - 4);
    if (first) {
        first_riff_frames_ = frames_;
        set32(head_, kRiffLengthAt, riff_length);
        set32(head_, static_cast<size_t>(movi_length_at_), movi_length);
        if (!written) set32(head_, kFlagsAt, field32(head_, kFlagsAt) & ~kFlagHasIndex);
    }
    riff_closed_ = true;
    const bool patched = patch32(riff_start_ + 4, riff_length) && patch32(movi_length_at_, movi_length);
    index_.clear();
    indexed_ = 0;
    return written && patched;
}

bool CAviWriter::open_extension() {
    // The super index names the closing standard index before frames follow it.
    if (super_.size() >= super_capacity_ || !write_lengths()) return false;
    std::vector<uint8_t>& s = scratch_;
    s.clear();
    code(s, "RIFF"), put32(s, 16), code(s, "AVIX"), code(s, "LIST"), put32(s, 4), code(s, "movi");
    if (!file_.WriteAt(pos_, s.data(), static_cast<uint32_t>(s.size()))) return false;
    riff_closed_ = false;
    riff_start_ = pos_;
    movi_length_at_ = pos_ + 16;
    movi_code_at_ = pos_ + 20;
    pos_ += s.size();
    ++riffs_;
    return true;
}

bool CAviWriter::Finish() {
    if (!file_.IsOpen()) return false;
    // A RIFF closed before its extension could be started already has its index.
    bool ok = (riff_closed_ || close_riff()) && !failed_;
    update_header();
    ok = file_.WriteAt(0, head_.data(), static_cast<uint32_t>(head_.size())) && ok;
    // A chunk that was written only in part is cut off.
    if (!ok) file_.SetLength(pos_);
    file_.Close();
    return ok;
}

}  // namespace imvela
