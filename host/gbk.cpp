#include "host/gbk.hpp"

#include <iconv.h>

#include <algorithm>
#include <cstdio>

namespace hmi::host {
namespace {

// Converts what it can; returns false at the first byte it cannot, leaving `in` there.
bool convert(iconv_t cd, std::string_view& in, std::string& out) {
    char buffer[256];
    while (!in.empty()) {
        char* src = const_cast<char*>(in.data());
        size_t src_left = in.size();
        char* dst = buffer;
        size_t dst_left = sizeof buffer;
        size_t rc = iconv(cd, &src, &src_left, &dst, &dst_left);
        out.append(buffer, dst - buffer);
        in.remove_prefix(in.size() - src_left);
        if (rc == static_cast<size_t>(-1) && dst != buffer) continue;  // output buffer full
        if (rc == static_cast<size_t>(-1)) return false;
    }
    return true;
}

struct Converter {
    iconv_t cd;
    Converter(const char* to, const char* from) : cd(iconv_open(to, from)) {}
    ~Converter() {
        if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
    }
    bool ok() const { return cd != reinterpret_cast<iconv_t>(-1); }
};

// Both encodings write the ASCII characters as ASCII does: such a text needs no converter.
bool ascii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

std::string gbk_to_utf8(std::string_view gbk) {
    if (ascii(gbk)) return std::string(gbk);
    Converter c("UTF-8", "GBK");
    std::string out;
    while (!gbk.empty()) {
        if (c.ok() && convert(c.cd, gbk, out)) break;
        // An invalid byte (or no converter at all): show it and go on after it.
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned char>(gbk[0]));
        out += escape;
        gbk.remove_prefix(1);
        if (c.ok()) iconv(c.cd, nullptr, nullptr, nullptr, nullptr);
    }
    return out;
}

std::string utf8_to_gbk(std::string_view utf8) {
    if (ascii(utf8)) return std::string(utf8);
    Converter c("GBK", "UTF-8");
    std::string out;
    if (!c.ok() || !convert(c.cd, utf8, out)) return {};
    return out;
}

}  // namespace hmi::host
