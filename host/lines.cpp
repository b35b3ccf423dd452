#include "host/lines.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace hmi::host {

namespace {
// Reads what the descriptor gives up to the end, refusing more than the limit.
std::string read_all(int fd, const std::string& name) {
    std::string text;
    char buffer[65536];
    for (;;) {
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0)
            throw std::runtime_error(name + ": cannot be read (" + std::strerror(errno) + ")");
        if (n == 0) return text;
        if (text.size() + static_cast<size_t>(n) > kMostFileBytes) {
            throw std::runtime_error(name + ": larger than " +
                                     std::to_string(kMostFileBytes / 1024 / 1024) +
                                     " MiB, which no data file of the panel is");
        }
        text.append(buffer, static_cast<size_t>(n));
    }
}
}  // namespace

std::string read_text_file(const std::string& path) {
    if (path == "-") return read_all(STDIN_FILENO, "standard input");
    // Without O_NONBLOCK, opening a FIFO would wait for a writer for ever.
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) throw std::runtime_error(path + ": cannot be read (" + std::strerror(errno) + ")");
    struct stat st {};
    std::string problem;
    if (fstat(fd, &st) != 0) {
        problem = std::string("cannot be read (") + std::strerror(errno) + ")";
    } else if (S_ISDIR(st.st_mode)) {
        problem = "is a folder, not a file";
    } else if (!S_ISREG(st.st_mode)) {
        problem = "is not a regular file (a device, FIFO or socket)";
    }
    if (!problem.empty()) {
        close(fd);
        throw std::runtime_error(path + ": " + problem);
    }
    try {
        std::string text = read_all(fd, path);
        close(fd);
        return text;
    } catch (...) {
        close(fd);
        throw;
    }
}

std::string quoted_excerpt(std::string_view text) {
    std::string out = "'";
    size_t shown = 0;
    for (unsigned char c : text) {
        if (shown >= kMostQuotedBytes) {
            out += "...";
            break;
        }
        if (c < 0x20 || c == 0x7F || c >= 0x80 || c == '\\') {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\x%02X", c);
            out += buffer;
        } else {
            out += static_cast<char>(c);
        }
        ++shown;
    }
    return out + "'";
}

std::string long_line_message(size_t length, std::string_view start) {
    return "a line of " + std::to_string(length) + " bytes (" + std::to_string(kMostLineBytes) +
           " at most): " + quoted_excerpt(start);
}

bool split_words(std::string_view line, std::vector<std::string>* words, std::string* error) {
    words->clear();
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    size_t i = 0;
    while (i < line.size()) {
        if (blank(line[i])) {
            ++i;
            continue;
        }
        if (line[i] == '#') {
            // A comment is read past, but a NUL in it is no more taken than elsewhere.
            if (line.find('\0', i) != std::string_view::npos) {
                *error = "a NUL byte (\\x00) is in a comment: a line has none";
                return false;
            }
            break;
        }
        size_t start = i;
        if (line[i] == '"') {
            size_t end = line.find('"', i + 1);
            if (end == std::string_view::npos) {
                *error = "a quoted text is not closed";
                return false;
            }
            i = end + 1;
        } else {
            while (i < line.size() && !blank(line[i])) ++i;
        }
        std::string_view word = line.substr(start, i - start);
        if (word.find('\0') != std::string_view::npos) {
            *error = "a NUL byte (\\x00) is in " +
                     std::string(word.front() == '"' ? "a quoted text" : "a word") +
                     ": the panel's texts end at it";
            return false;
        }
        words->push_back(std::string(word));
    }
    return true;
}

void LineErrors::add(int line, const std::string& message) {
    ++count_;
    if (count_ <= kMostListedErrors) {
        listed_.push_back(Entry{line, message});
    }
}

std::string LineErrors::joined() const {
    std::string out;
    for (const Entry& e : listed_) {
        out +=
            (out.empty() ? "" : "\n") + origin_ + ":" + std::to_string(e.line) + ": " + e.message;
    }
    if (unlisted() > 0) {
        out += (out.empty() ? "" : "\n") + origin_ + ": ... and " + std::to_string(unlisted()) +
               " more";
    }
    return out;
}

void for_each_line(std::string_view text, LineErrors& errors,
                   const std::function<std::string(int number, std::string_view line)>& handle) {
    int number = 0;
    while (!text.empty()) {
        size_t eol = text.find('\n');
        std::string_view line = text.substr(0, eol);
        text = eol == std::string_view::npos ? std::string_view{} : text.substr(eol + 1);
        ++number;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.size() > kMostLineBytes) {
            errors.add(number, long_line_message(line.size(), line));
            continue;
        }
        std::string error = handle(number, line);
        if (!error.empty()) errors.add(number, error);
    }
}

}  // namespace hmi::host
