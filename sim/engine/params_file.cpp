#include "sim/engine/params_file.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "sim/engine/panel.hpp"

namespace hmi::sim {

namespace {
constexpr char kHeader[] = "hmisim-params 1\n";

std::string hex(const unsigned char* bytes, size_t n) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < n; ++i) {
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 15];
    }
    return out;
}

// A text parameter is kept as the hex of its bytes up to the terminator, so that any
// byte, space or quote survives; as a text tag, of 255 bytes at most.
std::string format_entry_value(const ParamEntry& e) {
    if (e.kind == host::Kind::Text) {
        size_t most = std::min(e.value.size(), host::kTextTagSize - 1);
        return "x" +
               hex(e.value.data(), strnlen(reinterpret_cast<const char*>(e.value.data()), most));
    }
    return host::format_value(e.kind, e.value.data());
}

std::string parse_entry_value(host::Kind kind, const std::string& text,
                              std::vector<unsigned char>* value) {
    value->assign(host::width(kind), 0);
    if (kind != host::Kind::Text) return host::parse_value(kind, text, value->data());
    if (text.empty() || text[0] != 'x' || text.size() % 2 != 1 ||
        (text.size() - 1) / 2 >= host::kTextTagSize) {
        return "a text value is x and the hex of its bytes";
    }
    for (size_t i = 1; i < text.size(); i += 2) {
        unsigned byte = 0;
        for (size_t j = i; j < i + 2; ++j) {
            char c = text[j];
            int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
            if (d < 0) return "a text value is x and the hex of its bytes";
            byte = byte * 16 + static_cast<unsigned>(d);
        }
        (*value)[(i - 1) / 2] = static_cast<unsigned char>(byte);
    }
    return {};
}

bool write_all(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

std::string system_error(const std::string& what) {
    return what + ": " + std::strerror(errno);
}
}  // namespace

uint32_t crc32(const void* data, size_t size) {
    static const auto table = [] {
        std::vector<uint32_t> t(256);
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    uint32_t c = 0xFFFFFFFFu;
    auto bytes = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < size; ++i) c = table[(c ^ bytes[i]) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

std::string format_params(const std::vector<ParamEntry>& entries) {
    std::string text = kHeader;
    for (const ParamEntry& e : entries) {
        text += e.name + " " + std::string(host::kind_name(e.kind)) + " " + format_entry_value(e) +
                "\n";
    }
    char trailer[64];
    std::snprintf(trailer, sizeof trailer, "end %zu crc32 0x%08x\n", entries.size(),
                  crc32(text.data(), text.size()));
    return text + trailer;
}

std::string parse_params(const std::string& text, std::vector<ParamEntry>* entries) {
    entries->clear();
    if (text.compare(0, sizeof kHeader - 1, kHeader) != 0) {
        return "line 1 is not \"hmisim-params 1\"";
    }
    size_t pos = sizeof kHeader - 1;
    int number = 1;
    while (pos < text.size()) {
        ++number;
        size_t eol = text.find('\n', pos);
        if (eol == std::string::npos) return "line " + std::to_string(number) + " is cut off";
        std::string line = text.substr(pos, eol - pos);
        std::string at = "line " + std::to_string(number) + ": ";
        // Room for any field of the line: a long name or text must not be cut short.
        std::string name(line.size() + 1, '\0'), value(line.size() + 1, '\0');
        char kind[16], extra[2];
        if (line.rfind("end ", 0) == 0) {
            size_t count = 0;
            unsigned crc = 0;
            if (std::sscanf(line.c_str(), "end %zu crc32 0x%8x%1s", &count, &crc, extra) != 2) {
                return at + "the trailer is not \"end COUNT crc32 0xHEX\"";
            }
            char canonical[64];
            std::snprintf(canonical, sizeof canonical, "end %zu crc32 0x%08x", count, crc);
            if (line != canonical) return at + "the trailer is not \"end COUNT crc32 0xHEX\"";
            if (eol + 1 != text.size()) return at + "text follows the trailer";
            if (count != entries->size()) {
                return at + "the trailer counts " + std::to_string(count) +
                       " entries, the file has " + std::to_string(entries->size());
            }
            if (crc != crc32(text.data(), pos)) return "the checksum does not match the entries";
            return {};
        }
        if (std::sscanf(line.c_str(), "%s %15s %s %1s", name.data(), kind, value.data(), extra) !=
                3 ||
            line != std::string(name.c_str()) + " " + kind + " " + value.c_str()) {
            // Exactly as written: one space between the fields and nothing else, so that
            // no byte of the line (after a NUL, say) goes unread.
            return at + "expected: NAME KIND VALUE";
        }
        ParamEntry e;
        e.name = name.c_str();
        auto k = host::parse_kind(kind);
        if (!k) return at + "unknown kind '" + kind + "'";
        e.kind = *k;
        value.resize(std::strlen(value.c_str()));
        std::string error = parse_entry_value(e.kind, value, &e.value);
        if (!error.empty()) return at + e.name + ": " + error;
        // Only as a save writes it: "05", "0x5" or bytes after a text's end are not.
        if (format_entry_value(e) != value) {
            return at + e.name + ": '" + value + "' is not written as a save writes it";
        }
        entries->push_back(std::move(e));
        pos = eol + 1;
    }
    return "the trailer is missing (the file is cut off)";
}

std::string save_params_file(const std::string& path, const std::vector<ParamEntry>& entries) {
    std::string text = format_params(entries);
    size_t slash = path.rfind('/');
    std::string directory = slash == std::string::npos ? "."
                            : slash == 0               ? "/"
                                                       : path.substr(0, slash);
    std::string temp = path + ".tmp.XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) return system_error("cannot create a temporary file beside " + path);
    bool written = write_all(fd, text) && ::fsync(fd) == 0;
    std::string error = written ? "" : system_error("cannot write " + temp);
    if (::close(fd) != 0 && error.empty()) error = system_error("cannot write " + temp);
    if (error.empty() && ::rename(temp.c_str(), path.c_str()) != 0) {
        error = system_error("cannot replace " + path);
    }
    if (!error.empty()) {
        ::unlink(temp.c_str());
        return error;
    }
    // The rename is durable only once the directory is synced.
    int dir = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY);
    if (dir < 0) return system_error("saved, but cannot sync the directory " + directory);
    int synced = ::fsync(dir);
    ::close(dir);
    if (synced != 0) return system_error("saved, but cannot sync the directory " + directory);
    return {};
}

LoadResult load_params_file(const std::string& path, std::vector<ParamEntry>* entries,
                            std::string* error) {
    entries->clear();
    if (::access(path.c_str(), F_OK) != 0 && errno == ENOENT) return LoadResult::Missing;
    std::string text;
    try {
        text = read_file(path);
    } catch (const std::exception& e) {
        *error = e.what();
        return LoadResult::Corrupt;
    }
    *error = parse_params(text, entries);
    if (!error->empty()) {
        entries->clear();
        return LoadResult::Corrupt;
    }
    return LoadResult::Loaded;
}

}  // namespace hmi::sim
