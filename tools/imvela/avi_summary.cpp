#include "avi_summary.h"

#include <cstring>
#include <fstream>
#include <vector>

namespace {

// The header list is read whole; its super index keeps it well below this.
constexpr uint32_t kMaxHeaderList = 16u << 20;

uint32_t le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

struct Headers {
    const uint8_t* avih = nullptr;
    const uint8_t* strh = nullptr;
    const uint8_t* dmlh = nullptr;
};

// Walks the chunks of [p, end), descending into lists; each header chunk must be whole.
void walk(const uint8_t* p, const uint8_t* end, Headers* h) {
    while (end - p >= 8) {
        const uint32_t size = le32(p + 4);
        if (size > static_cast<size_t>(end - p - 8)) return;
        const uint8_t* body = p + 8;
        if (std::memcmp(p, "LIST", 4) == 0 && size >= 4) {
            walk(body + 4, body + size, h);
        } else if (std::memcmp(p, "avih", 4) == 0 && size >= 40) {
            h->avih = body;
        } else if (std::memcmp(p, "strh", 4) == 0 && size >= 36 && !h->strh) {
            h->strh = body;
        } else if (std::memcmp(p, "dmlh", 4) == 0 && size >= 4) {
            h->dmlh = body;
        }
        p = body + size + (size & 1);
    }
}

}  // namespace

bool read_avi_summary(const std::string& path, AviSummary* out) {
    std::ifstream in(path, std::ios::binary);
    uint8_t head[24];
    if (!in.read(reinterpret_cast<char*>(head), sizeof head) || std::memcmp(head, "RIFF", 4) != 0 ||
        std::memcmp(head + 8, "AVI ", 4) != 0 || std::memcmp(head + 12, "LIST", 4) != 0 ||
        std::memcmp(head + 20, "hdrl", 4) != 0)
        return false;
    const uint32_t list_size = le32(head + 16);
    if (list_size < 4 || list_size > kMaxHeaderList) return false;
    std::vector<uint8_t> list(list_size - 4);
    if (!in.read(reinterpret_cast<char*>(list.data()), static_cast<std::streamsize>(list.size()))) return false;
    Headers h;
    walk(list.data(), list.data() + list.size(), &h);
    if (!h.avih || !h.strh || le32(h.strh + 20) == 0) return false;
    out->frames = h.dmlh ? le32(h.dmlh) : le32(h.avih + 16);
    out->width = le32(h.avih + 32);
    out->height = le32(h.avih + 36);
    out->rate = static_cast<double>(le32(h.strh + 24)) / le32(h.strh + 20);
    in.seekg(0, std::ios::end);
    out->bytes = static_cast<uint64_t>(in.tellg());
    return true;
}
