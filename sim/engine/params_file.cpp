// 64-bit file offsets and inode numbers on the 32-bit target too: without them readdir
// stops at the first entry whose inode number needs more than 32 bits, and stat fails on
// files past 2 GiB.
#define _FILE_OFFSET_BITS 64

#include "sim/engine/params_file.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string_view>

#include "sim/engine/fd.hpp"

namespace hmi::sim {

namespace {
constexpr char kHeader[] = "hmisim-params 1\n";
constexpr size_t kQuoteLimit = 60;  // bytes of a damaged file quoted in a message
constexpr int kLinkLimit = 40;      // as the kernel's
constexpr size_t kNameLimit = 255;  // bytes of a tag name

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

// At most kQuoteLimit bytes of a text, bytes that are not printable as \xNN: a line of
// a damaged file may be megabytes of anything.
std::string escape(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size() && i < kQuoteLimit; ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c < 0x7f && c != '\\' && c != '\'') {
            out += static_cast<char>(c);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            out += escaped;
        }
    }
    return out + (text.size() > kQuoteLimit ? "..." : "");
}

std::string quote(std::string_view text) {
    std::string out = "'" + escape(text.substr(0, kQuoteLimit)) + "'";
    return text.size() > kQuoteLimit ? out + "..." : out;
}

// Names and values as they stand when short and printable, else escaped.
bool plain(std::string_view text) {
    return text.size() <= kQuoteLimit && escape(text) == text;
}

std::string directory_of(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

std::string base_of(const std::string& path) {
    return path.substr(path.rfind('/') + 1);
}

std::string system_error(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

const char* file_type(mode_t mode) {
    return S_ISDIR(mode)    ? "a folder"
           : S_ISCHR(mode)  ? "a character device"
           : S_ISBLK(mode)  ? "a block device"
           : S_ISFIFO(mode) ? "a FIFO (named pipe)"
           : S_ISSOCK(mode) ? "a socket"
                            : "not a regular file";
}

// The file that PATH names, following symbolic links (a link to nothing gives the path
// it names, where a save creates the file).
std::string resolve_links(const std::string& path, std::string* target) {
    std::string p = path;
    for (int level = 0; level < kLinkLimit; ++level) {
        struct stat st {};
        if (::lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            *target = p;
            return {};
        }
        char to[PATH_MAX];
        ssize_t n = ::readlink(p.c_str(), to, sizeof to);
        if (n < 0) return system_error("cannot read the link " + p);
        if (n == 0 || static_cast<size_t>(n) >= sizeof to) return "the link " + p + " is too long";
        std::string next(to, static_cast<size_t>(n));
        if (next[0] != '/') {
            std::string dir = directory_of(p);
            next = dir == "." ? next : dir == "/" ? "/" + next : dir + "/" + next;
        }
        p = next;
    }
    *target = p;  // a loop: reaching it reports it
    return {};
}

enum class Read { Whole, Missing, Oversized, Unusable };

// A regular file whole, never more than kParamsFileLimit bytes. What is not a regular file
// is not even opened (opening a device can act on it); a FIFO that appears in between
// is opened without waiting for a writer and refused.
Read read_bounded(const std::string& path, std::string* text, std::string* fault, struct stat* st) {
    text->clear();
    if (::stat(path.c_str(), st) != 0) {
        if (errno == ENOENT) return Read::Missing;
        *fault = system_error("cannot reach it");
        return Read::Unusable;
    }
    if (!S_ISREG(st->st_mode)) {
        *fault = std::string("it is ") + file_type(st->st_mode) + ", not a file";
        return Read::Unusable;
    }
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) return Read::Missing;
        *fault = system_error("cannot open it");
        return Read::Unusable;
    }
    const std::string too_large = "it is larger than " + std::to_string(kParamsFileLimit >> 20) +
                                  " MiB, which no parameter file is";
    Read result = Read::Whole;
    if (::fstat(fd, st) != 0 || !S_ISREG(st->st_mode)) {
        *fault = "it is not a regular file";
        result = Read::Unusable;
    } else if (st->st_size > static_cast<off_t>(kParamsFileLimit)) {
        *fault = too_large;
        result = Read::Oversized;
    }
    char buffer[65536];
    while (result == Read::Whole) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            *fault = system_error("cannot read it");
            result = Read::Unusable;
        } else if (n == 0) {
            break;
        } else if (text->size() + static_cast<size_t>(n) > kParamsFileLimit) {
            *fault = too_large;
            result = Read::Oversized;
        } else {
            text->append(buffer, static_cast<size_t>(n));
        }
    }
    ::close(fd);
    if (result != Read::Whole) text->clear();
    return result;
}

bool all_digits(std::string_view s) {
    return !s.empty() && s.size() <= 10 &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The temporary files of saves of BASE that were killed: FILE.tmp.<pid> and
// FILE.bak.tmp.<pid> of a process that no longer runs. Nothing else is touched.
void remove_stale_temporaries(const std::string& dir, const std::string& base) {
    DIR* folder = ::opendir(dir.c_str());
    if (folder == nullptr) return;
    const std::string prefixes[] = {base + ".tmp.", base + ".bak.tmp."};
    while (const dirent* e = ::readdir(folder)) {
        std::string_view name = e->d_name;
        for (const std::string& prefix : prefixes) {
            if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix) continue;
            std::string_view pid = name.substr(prefix.size());
            if (!all_digits(pid)) continue;
            long owner = std::strtol(std::string(pid).c_str(), nullptr, 10);
            if (owner <= 0 || owner == ::getpid()) continue;
            if (::kill(static_cast<pid_t>(owner), 0) != 0 && errno == ESRCH) {
                ::unlinkat(::dirfd(folder), e->d_name, 0);
            }
        }
    }
    ::closedir(folder);
}

std::string sync_folder(const std::string& dir) {
    int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return system_error("cannot open the folder " + dir + " to sync it");
    int synced = ::fsync(fd);
    std::string error = synced != 0 ? system_error("cannot sync the folder " + dir) : "";
    ::close(fd);
    return error;
}

// Replaces DEST by TEXT through DEST.tmp.<pid>, written, synced and renamed over it; with
// LIKE's mode and owner, else a new file's usual mode. On failure DEST is as it was and the
// temporary file is gone, unless *replaced says that only the folder's sync failed.
std::string replace_file(const std::string& dest, const std::string& text, const struct stat* like,
                         bool* replaced) {
    *replaced = false;
    std::string temp = dest + ".tmp." + std::to_string(::getpid());
    ::unlink(temp.c_str());  // of an earlier process with this pid
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return system_error("cannot create " + temp);
    std::string error;
    if (like != nullptr) {
        // The owner first: changing it clears set-id bits that the mode then restores.
        if (::fchown(fd, like->st_uid, like->st_gid) != 0) {
            // Only the superuser may give a file away; the file is then the user's own.
        }
        if (::fchmod(fd, like->st_mode & 07777) != 0) {
            error = system_error("cannot set the mode of " + temp);
        }
    }
    if (error.empty() && !write_fully(fd, text.data(), text.size()))
        error = system_error("cannot write " + temp);
    if (error.empty() && ::fsync(fd) != 0) error = system_error("cannot write " + temp);
    if (::close(fd) != 0 && error.empty()) error = system_error("cannot write " + temp);
    if (error.empty() && ::rename(temp.c_str(), dest.c_str()) != 0) {
        error = system_error("cannot rename " + temp + " to " + dest);
    }
    if (!error.empty()) {
        ::unlink(temp.c_str());
        return error;
    }
    // The rename is durable only once the folder is synced.
    *replaced = true;
    return sync_folder(directory_of(dest));
}

std::mutex g_saving;  // one save at a time in a process: the temporary files bear its pid
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

namespace {
// The trailer "end COUNT crc32 0xHEX" on LINE, which starts at POS of TEXT, after COUNTED
// entries: empty when it closes the file as a save writes it, else what is wrong (AT names
// the line).
std::string check_trailer(const std::string& text, size_t pos, const std::string& line,
                          size_t counted, const std::string& at) {
    size_t count = 0;
    unsigned crc = 0;
    char extra[2];
    if (std::sscanf(line.c_str(), "end %zu crc32 0x%8x%1s", &count, &crc, extra) != 2) {
        return at + "the trailer is not \"end COUNT crc32 0xHEX\"";
    }
    char canonical[64];
    std::snprintf(canonical, sizeof canonical, "end %zu crc32 0x%08x", count, crc);
    if (line != canonical) return at + "the trailer is not \"end COUNT crc32 0xHEX\"";
    if (pos + line.size() + 1 != text.size()) return at + "text follows the trailer";
    if (count != counted) {
        return at + "the trailer counts " + std::to_string(count) + " entries, the file has " +
               std::to_string(counted);
    }
    if (crc != crc32(text.data(), pos)) return "the checksum does not match the entries";
    return {};
}

// One entry "NAME KIND VALUE" exactly as a save writes it: empty when it is one.
std::string parse_entry(const std::string& line, const std::string& at, ParamEntry* e) {
    // Room for any field of the line: a long name or text must not be cut short.
    std::string name(line.size() + 1, '\0'), value(line.size() + 1, '\0');
    char kind[16], extra[2];
    if (std::sscanf(line.c_str(), "%s %15s %s %1s", name.data(), kind, value.data(), extra) != 3 ||
        line != std::string(name.c_str()) + " " + kind + " " + value.c_str()) {
        // Exactly as written: one space between the fields and nothing else, so that
        // no byte of the line (after a NUL, say) goes unread.
        return at + "expected: NAME KIND VALUE";
    }
    e->name = name.c_str();
    if (e->name.size() > kNameLimit || std::any_of(e->name.begin(), e->name.end(), [](char c) {
            return static_cast<unsigned char>(c) < 0x20 || c == '\x7f';
        })) {
        return at + "a tag name is at most " + std::to_string(kNameLimit) +
               " bytes without control characters, not " + quote(e->name);
    }
    auto k = host::parse_kind(kind);
    if (!k) return at + "unknown kind " + quote(kind);
    e->kind = *k;
    value.resize(std::strlen(value.c_str()));
    std::string error = parse_entry_value(e->kind, value, &e->value);
    if (!error.empty() && !plain(value)) {
        error = quote(value) + " is not a " + std::string(host::kind_name(e->kind)) + " value";
    }
    if (!error.empty()) return at + escape(e->name) + ": " + error;
    // Only as a save writes it: "05", "0x5" or bytes after a text's end are not.
    if (format_entry_value(*e) != value) {
        return at + escape(e->name) + ": " + quote(value) + " is not written as a save writes it";
    }
    return {};
}

std::string parse_lines(const std::string& text, std::vector<ParamEntry>* entries) {
    if (text.compare(0, sizeof kHeader - 1, kHeader) != 0) {
        return "line 1 is not \"hmisim-params 1\"";
    }
    std::map<std::string, int> first_line;  // of each tag
    size_t pos = sizeof kHeader - 1;
    int number = 1;
    while (pos < text.size()) {
        ++number;
        size_t eol = text.find('\n', pos);
        if (eol == std::string::npos) return "line " + std::to_string(number) + " is cut off";
        std::string line = text.substr(pos, eol - pos);
        std::string at = "line " + std::to_string(number) + ": ";
        if (line.rfind("end ", 0) == 0) return check_trailer(text, pos, line, entries->size(), at);
        ParamEntry e;
        std::string error = parse_entry(line, at, &e);
        if (!error.empty()) return error;
        auto [first, added] = first_line.emplace(e.name, number);
        if (!added) {
            return at + escape(e.name) + " is listed twice (first on line " +
                   std::to_string(first->second) + ")";
        }
        entries->push_back(std::move(e));
        pos = eol + 1;
    }
    return "the trailer is missing (the file is cut off)";
}
}  // namespace

std::string parse_params(const std::string& text, std::vector<ParamEntry>* entries) {
    entries->clear();
    std::string fault = parse_lines(text, entries);
    if (!fault.empty()) entries->clear();  // whole or not at all
    return fault;
}

std::string save_params_file(const std::string& path, const std::vector<ParamEntry>& entries) {
    std::lock_guard<std::mutex> lock(g_saving);
    std::string target;
    std::string error = resolve_links(path, &target);
    if (!error.empty()) return "cannot save " + path + ": " + error;
    std::string shown = target == path ? path : path + " (a link to " + target + ")";
    std::string fail = "cannot save " + shown + ": ";
    std::string dir = directory_of(target), base = base_of(target);
    if (base.empty() || base == "." || base == "..") return fail + "it names a folder, not a file";
    struct stat st {};
    if (::stat(dir.c_str(), &st) != 0) {
        return fail + (errno == ENOENT ? "the folder " + dir + " does not exist"
                                       : system_error("cannot reach the folder " + dir));
    }
    if (!S_ISDIR(st.st_mode)) return fail + dir + " is not a folder";

    std::string old_text, fault;
    Read read = read_bounded(target, &old_text, &fault, &st);
    if (read == Read::Unusable) return fail + fault;
    std::vector<ParamEntry> old_entries;
    bool damaged = read == Read::Oversized ||
                   (read == Read::Whole && !(fault = parse_params(old_text, &old_entries)).empty());
    if (damaged) {
        return fail + "it is damaged (" + fault +
               ") and a damaged file is never overwritten; move it aside (" + kMoveDamagedOption +
               " at start) to save there";
    }
    bool exists = read == Read::Whole;
    if (exists && ((st.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0)) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
        return fail + "it is read-only (mode " + mode +
               "), a set not to be changed; make it writable to save there";
    }
    remove_stale_temporaries(dir, base);
    std::string text = format_params(entries);
    // Never write what the next start would refuse (a tag twice, a name with a space).
    std::vector<ParamEntry> check;
    fault = parse_params(text, &check);
    if (!fault.empty()) return fail + "the entries do not make a parameter file (" + fault + ")";
    if (exists && text == old_text) return {};  // FILE.bak stays the set before the last change
    bool replaced = false;
    if (exists) {
        error = replace_file(target + ".bak", old_text, &st, &replaced);
        if (!error.empty()) {
            return fail + "cannot keep the previous file as " + target + ".bak (" + error +
                   "); the file is unchanged";
        }
    }
    error = replace_file(target, text, exists ? &st : nullptr, &replaced);
    if (replaced && !error.empty()) {
        return fail + "the new file is in place, but " + error +
               ": it may not outlast a power loss";
    }
    if (!error.empty()) return fail + error + (exists ? "; the file is unchanged" : "");
    return {};
}

LoadResult load_params_file(const std::string& path, std::vector<ParamEntry>* entries,
                            std::string* error) {
    entries->clear();
    std::string text;
    struct stat st {};
    switch (read_bounded(path, &text, error, &st)) {
        case Read::Missing:
            return LoadResult::Missing;
        case Read::Unusable:
            return LoadResult::Unusable;
        case Read::Oversized:
            return LoadResult::Damaged;
        case Read::Whole:
            break;
    }
    *error = parse_params(text, entries);
    if (!error->empty()) {
        entries->clear();
        return LoadResult::Damaged;
    }
    return LoadResult::Loaded;
}

std::string refusal_message(const std::string& path, LoadResult result, const std::string& fault) {
    if (result == LoadResult::Damaged) {
        return "the parameter file " + path + " is damaged: " + fault +
               ". It was not loaded, and it is never overwritten. To start with the "
               "catalogue's values, run again with " +
               kMoveDamagedOption + ", which moves it aside to " + path +
               ".damaged-<time> and keeps it there; or give --params another file (none "
               "keeps the parameters in memory).";
    }
    return "the parameter file " + path + " cannot be used: " + fault +
           ". Give --params a regular file (the first save creates it), or none to keep the "
           "parameters in memory.";
}

std::string move_aside_damaged(const std::string& path, std::string* moved_to, std::time_t now,
                               std::string* what) {
    std::string target;
    std::string error = resolve_links(path, &target);
    if (!error.empty()) return error;
    std::string shown = target == path ? path : path + " (a link to " + target + ")";
    std::string text, fault;
    struct stat st {};
    switch (read_bounded(target, &text, &fault, &st)) {
        case Read::Missing:
            return shown + " does not exist: there is nothing to move aside";
        case Read::Unusable:
            return "cannot move " + shown + " aside: " + fault;
        case Read::Whole: {
            std::vector<ParamEntry> entries;
            if (parse_params(text, &entries).empty()) {
                return shown + " is a good parameter file: it is not moved aside";
            }
            break;
        }
        case Read::Oversized:
            break;
    }
    // A link is moved itself: the file it names may be anyone's, and stays as it is.
    const std::string& moved = target == path ? target : path;
    std::string described = target == path ? "the damaged parameter file " + path
                                           : "the link " + path + " (to the damaged file " +
                                                 target + ", which stays where it is, untouched)";
    struct tm utc {};
    char stamp[32];
    if (::gmtime_r(&now, &utc) == nullptr ||
        std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &utc) == 0) {
        return "cannot move " + shown + " aside: the time is out of range";
    }
    for (int n = 1; n <= 1000; ++n) {
        std::string name = moved + ".damaged-" + stamp + (n > 1 ? "-" + std::to_string(n) : "");
        // A new name only, never one that exists: a hard link (of a link, the link itself),
        // else a rename that refuses to replace.
        int done = ::linkat(AT_FDCWD, moved.c_str(), AT_FDCWD, name.c_str(), 0);
        if (done == 0 && ::unlink(moved.c_str()) != 0) {
            error = system_error("cannot move " + shown + " aside");
            ::unlink(name.c_str());
            return error;
        }
        if (done != 0 && errno != EEXIST) {
            done = ::renameat2(AT_FDCWD, moved.c_str(), AT_FDCWD, name.c_str(), RENAME_NOREPLACE);
        }
        if (done == 0) {
            *moved_to = name;
            if (what != nullptr) *what = described;
            return sync_folder(directory_of(moved));
        }
        if (errno != EEXIST) return system_error("cannot move " + shown + " aside to " + name);
    }
    return "cannot move " + shown + " aside: every name " + moved + ".damaged-" + stamp +
           "-N is taken";
}

std::optional<ParamsLock> ParamsLock::take(const std::string& path, std::string* error) {
    std::string target;
    *error = resolve_links(path, &target);
    if (!error->empty()) return std::nullopt;
    std::string lock = target + ".lock";
    int fd = ::open(lock.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC,
                    0666);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR || errno == EACCES || errno == EROFS) {
            return ParamsLock(-1);  // no save can create a file there either
        }
        *error = system_error("cannot lock the parameter file " + path + " (" + lock + ")");
        return std::nullopt;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        *error = "cannot lock the parameter file " + path + ": " + lock + " is not a regular file";
        return std::nullopt;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        int why = errno;
        char pid[32] = {};
        ssize_t n = ::pread(fd, pid, sizeof pid - 1, 0);
        ::close(fd);
        std::string holder = n > 0 && all_digits(std::string_view(pid, std::strcspn(pid, "\n")))
                                 ? "pid " + std::string(pid, std::strcspn(pid, "\n"))
                                 : "a process";
        if (why != EWOULDBLOCK) {
            *error = "cannot lock the parameter file " + path + ": " + std::strerror(why);
        } else {
            *error = "the parameter file " + path + " is in use: " + holder + " holds it (" + lock +
                     "), and two runs saving into one file would lose each other's changes. "
                     "Give " +
                     kReadOnlyOption +
                     " to start with its values and save nothing, --params another file, or "
                     "none to keep the parameters in memory.";
        }
        return std::nullopt;
    }
    std::string mine = std::to_string(::getpid()) + "\n";
    if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, mine.data(), mine.size(), 0) < 0) {
        // The pid only helps a message; the lock holds without it.
    }
    return ParamsLock(fd);
}

ParamsLock::~ParamsLock() {
    if (fd_ >= 0) ::close(fd_);
}

}  // namespace hmi::sim
