#include "fuzz/fuzz_host.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <vector>

#include "host/loader.hpp"
#include "host/tags.hpp"
#include "plugin/hmi_abi.h"

namespace hmi::fuzz {
namespace {

Bytes* g_bytes = nullptr;
Bytes g_none(nullptr, 0);

Bytes& bytes() {
    return g_bytes ? *g_bytes : g_none;
}

const host::Catalogue& catalogue() {
    static const host::Catalogue c = host::Catalogue::load(HMI_PANEL_DIR "/tags.txt");
    return c;
}

// Each tag's storage is allocated at exactly its width, so that a read or write past
// it is caught.
struct Cell {
    bool known;  // a tag of the catalogue; other names are ignored on writes, as a panel does
    host::Kind kind;
    std::unique_ptr<unsigned char[]> value;
};
std::map<std::string, Cell> g_cells;
std::deque<std::string> g_texts;

// Names resolve as in every other host: a full name, or a bare one that one tag has.
const host::TagDef* def_of(const char* name) {
    static const host::TagStore store(catalogue());
    const host::Tag* tag = store.find(name);
    return tag != nullptr ? tag->def : nullptr;
}

Cell& cell(const char* name) {
    auto it = g_cells.find(name);
    if (it != g_cells.end()) return it->second;
    const host::TagDef* def = def_of(name);
    host::Kind kind = def ? def->kind : host::Kind::Text;  // unknown names: a whole buffer
    size_t width = host::width(kind);
    Cell c{def != nullptr, kind, std::make_unique<unsigned char[]>(width)};
    if (kind == host::Kind::Text) {
        // Mostly a terminated text; sometimes all 256 bytes without a NUL.
        std::string text = bytes().text(width);
        std::memcpy(c.value.get(), text.data(), text.size());
        if (text.size() < width) c.value[text.size()] = '\0';
    } else {
        for (size_t i = 0; i < width; ++i) c.value[i] = bytes().byte();
    }
    return g_cells.emplace(name, std::move(c)).first->second;
}

char* hold(std::string text) {
    g_texts.push_back(std::move(text));
    return g_texts.back().data();
}

}  // namespace

std::string Bytes::text(size_t limit) {
    size_t n = byte();
    if (n == 255) n = limit;  // a text that fills everything
    n = std::min({n, limit, size_});
    std::string t(reinterpret_cast<const char*>(data_), n);
    for (char& c : t) {
        if (c == '\0') c = '0';
    }
    data_ += n;
    size_ -= n;
    return t;
}

void begin(Bytes& b) {
    g_bytes = &b;
    g_cells.clear();
}

void end() {
    g_bytes = nullptr;
    g_cells.clear();
    g_texts.clear();
}

size_t property_width(const std::string& p) {
    host::PropKind kind;
    return host::prop_kind(p, &kind) ? host::prop_width(kind) : 4;
}

}  // namespace hmi::fuzz

using hmi::fuzz::bytes;
using hmi::fuzz::cell;
using hmi::fuzz::hold;

extern "C" {

void* hmidb_get_data_value(const char* name) {
    return cell(name).value.get();
}
int hmidb_set_data_value(const char* name, const void* value) {
    hmi::fuzz::Cell& c = cell(name);
    if (!c.known) return -1;
    if (c.kind == hmi::host::Kind::Text) {
        size_t n = strnlen(static_cast<const char*>(value), hmi::host::kTextTagSize - 1);
        std::memmove(c.value.get(), value, n);
        c.value[n] = '\0';
    } else {
        std::memcpy(c.value.get(), value, hmi::host::width(c.kind));
    }
    return 0;
}
void* hmidb_get_data_value_by_ptr(const char* name, void** slot) {
    *slot = reinterpret_cast<void*>(1);
    return cell(name).value.get();
}
int msgbox(const char*, const char*, int) {
    return bytes().byte() & 1 ? 6 : bytes().byte();
}
int rtdb_get_data_value_by_name(const char*, const char*, void* value) {
    *static_cast<unsigned char*>(value) = bytes().byte();
    return 0;
}
char* long2str(long) {
    return hold(bytes().text(300));
}
char* long2str2(long, int) {
    return hold(bytes().text(300));
}
char* float2str3(float, int, int) {
    return hold(bytes().text(300));
}
char* double2str2(double, int) {
    return hold(bytes().text(300));
}
char* strjoin(const char*, const char*) {
    return hold(bytes().text(300));
}
int gettimeinfo(unsigned int, int* y, int* mo, int* d, int* h, int* mi, int* s) {
    for (int* field : {y, mo, d, h, mi, s}) {
        if (field) *field = static_cast<int>(bytes().word());
    }
    return 0;
}
char* sys_get_file_path(const char*) {
    return hold(bytes().text(300));
}

}  // extern "C"
