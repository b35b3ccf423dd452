// The simulator's parameter file from any bytes. The first byte chooses:
//   bit 2  the rest gives entries (names, kinds, any value bytes) that are saved and read
//          back: what is saved is read back as the same values;
//   bit 0  otherwise the rest is a file without its trailer, which is added with the
//          right count and checksum, so that the entry lines are reached past it;
//   bit 1  the file is also read from disk, and what it gives saved and read again
//          (in a temporary folder of the input's own, removed after it).
// Nothing crashes. A file is taken only if it is exactly what a save of its entries
// writes; a file that is not taken gives no entries.
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "sim/engine/params_file.hpp"

namespace {

using hmi::host::Kind;
using hmi::sim::ParamEntry;

std::string g_temp;  // where each input's folder is made

// The fuzzer's bytes taken one at a time; zeros once they run out.
struct Bytes {
    const uint8_t* data;
    size_t size;
    bool empty() const { return size == 0; }
    uint8_t byte() { return size ? (--size, *data++) : 0; }
};

// The same value as a tag would hold it: a text up to its end (a text tag holds 255
// bytes and its terminator at most), any NaN as any other.
bool same_value(const ParamEntry& saved, const ParamEntry& loaded) {
    if (saved.kind != loaded.kind || loaded.value.size() != hmi::host::width(loaded.kind)) {
        return false;
    }
    if (saved.kind == Kind::Text) {
        auto text = [](const ParamEntry& e) {
            const char* bytes = reinterpret_cast<const char*>(e.value.data());
            return std::string(bytes, strnlen(bytes, hmi::host::kTextTagSize - 1));
        };
        return text(saved) == text(loaded);
    }
    if (saved.kind == Kind::F32) {
        float a, b;
        std::memcpy(&a, saved.value.data(), 4);
        std::memcpy(&b, loaded.value.data(), 4);
        if (std::isnan(a) && std::isnan(b)) return true;
    }
    return saved.value == loaded.value;
}

bool same(const std::vector<ParamEntry>& a, const std::vector<ParamEntry>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].name != b[i].name || !same_value(a[i], b[i])) return false;
    }
    return true;
}

void check_taken(const std::string& text, const std::vector<ParamEntry>& entries) {
    for (const ParamEntry& e : entries) {
        if (e.value.size() != hmi::host::width(e.kind)) __builtin_trap();
        if (e.kind == Kind::Text && e.value.back() != '\0') __builtin_trap();
    }
    if (hmi::sim::format_params(entries) != text) __builtin_trap();
}

void write_file(const std::string& path, const std::string& text) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) std::abort();
    if (std::fwrite(text.data(), 1, text.size(), f) != text.size()) std::abort();
    if (std::fclose(f) != 0) std::abort();
}

// A folder of its own for each input, left empty and removed before any check fails.
void check_on_disk(const std::string& text, bool taken, const std::vector<ParamEntry>& entries) {
    std::string folder = g_temp + "/params-fuzz-XXXXXX";
    if (mkdtemp(folder.data()) == nullptr) std::abort();
    std::string path = folder + "/params.txt";
    write_file(path, text);
    std::vector<ParamEntry> loaded;
    std::string error;
    hmi::sim::LoadResult result = hmi::sim::load_params_file(path, &loaded, &error);
    bool good = taken ? result == hmi::sim::LoadResult::Loaded && same(loaded, entries)
                      : result == hmi::sim::LoadResult::Damaged && loaded.empty() && !error.empty();
    unlink(path.c_str());
    if (good && taken) {
        if (!hmi::sim::save_params_file(path, entries).empty()) std::abort();
        result = hmi::sim::load_params_file(path, &loaded, &error);
        good = result == hmi::sim::LoadResult::Loaded && same(loaded, entries);
        unlink(path.c_str());
    }
    rmdir(folder.c_str());
    if (!good) __builtin_trap();
}

// Entries as a panel could save them: distinct tag names of the catalogue's letters, any
// value.
std::vector<ParamEntry> make_entries(Bytes& bytes) {
    static const char kLetters[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_";
    std::vector<ParamEntry> entries;
    std::set<std::string> names;
    while (!bytes.empty() && entries.size() < 64) {
        ParamEntry e;
        e.kind = static_cast<Kind>(bytes.byte() % 7);
        e.name = "g.";
        for (size_t n = 1 + bytes.byte() % 24; n > 0; --n) {
            e.name += kLetters[bytes.byte() % (sizeof kLetters - 1)];
        }
        e.value.resize(hmi::host::width(e.kind));
        // A text is mostly short; 255 makes it fill all 256 bytes without a terminator.
        size_t n = e.kind == Kind::Text ? bytes.byte() : e.value.size();
        if (n == 255) n = e.value.size();
        for (size_t i = 0; i < n && i < e.value.size(); ++i) e.value[i] = bytes.byte();
        // A panel saves each tag once; a file that lists one twice is damaged.
        if (names.insert(e.name).second) entries.push_back(std::move(e));
    }
    return entries;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Saving syncs the file: on a memory file system that costs nothing.
    const char* tmp = std::getenv("TMPDIR");
    g_temp = tmp != nullptr && *tmp != '\0'         ? tmp
             : access("/dev/shm", W_OK | X_OK) == 0 ? "/dev/shm"
                                                    : "/tmp";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    uint8_t mode = data[0];
    Bytes rest{data + 1, size - 1};

    if (mode & 4) {
        std::vector<ParamEntry> saved = make_entries(rest);
        std::vector<ParamEntry> loaded;
        std::string text = hmi::sim::format_params(saved);
        if (!hmi::sim::parse_params(text, &loaded).empty() || !same(saved, loaded)) {
            __builtin_trap();
        }
        if (mode & 2) check_on_disk(text, true, loaded);
        return 0;
    }

    std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    if (mode & 1) {
        if (!text.empty() && text.back() != '\n') text += '\n';
        size_t lines = 0;
        for (char c : text) lines += c == '\n';
        char trailer[64];
        std::snprintf(trailer, sizeof trailer, "end %zu crc32 0x%08x\n", lines ? lines - 1 : 0,
                      hmi::sim::crc32(text.data(), text.size()));
        text += trailer;
    }
    std::vector<ParamEntry> entries;
    bool taken = hmi::sim::parse_params(text, &entries).empty();
    if (taken) check_taken(text, entries);
    if (mode & 2) check_on_disk(text, taken, entries);
    return 0;
}
