// The one reader of the project's line-oriented data files (tag catalogue, windows,
// scenarios, tour lists, saved parameters): what a file may be, how big, how its lines
// and words are read, and how their errors are reported.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace hmi::host {

constexpr size_t kMostFileBytes = 4 * 1024 * 1024;  // a data file larger is refused
constexpr size_t kMostLineBytes = 4096;             // a longer line is an error
constexpr int kMostListedErrors = 20;               // errors of one file listed, then counted
constexpr size_t kMostQuotedBytes = 60;             // of offending text in a message

// The whole of a regular file, or of standard input for "-". A folder, a device, a FIFO
// (never waited on), a file that cannot be opened or one larger than kMostFileBytes is
// a std::runtime_error whose message names the file.
std::string read_text_file(const std::string& path);

// The offending text for a message, in single quotes: at most kMostQuotedBytes of it
// ("..." after a cut), bytes that are not printable as \xNN.
std::string quoted_excerpt(std::string_view text);

// The error of a line of `length` bytes, more than kMostLineBytes, which starts with
// `start`: its length, the limit, and at most kMostQuotedBytes of it.
std::string long_line_message(size_t length, std::string_view start);

// Splits a line into words: double-quoted texts are one word (quotes kept); "#" outside
// quotes starts a comment. False with a message for an unterminated quote or a NUL byte
// anywhere in the line, a comment included.
bool split_words(std::string_view line, std::vector<std::string>* words, std::string* error);

// The errors of one file, as "origin:line: message", the first kMostListedErrors of them
// listed and the rest counted.
class LineErrors {
  public:
    explicit LineErrors(std::string origin) : origin_(std::move(origin)) {}
    void add(int line, const std::string& message);
    int count() const { return count_; }
    struct Entry {
        int line;
        std::string message;
    };
    const std::vector<Entry>& listed() const { return listed_; }
    int unlisted() const { return count_ > kMostListedErrors ? count_ - kMostListedErrors : 0; }
    // The listed errors, one a line, then "... and N more" when there were more.
    std::string joined() const;

  private:
    std::string origin_;
    std::vector<Entry> listed_;
    int count_ = 0;
};

// Calls handle(number, line) for each line of the text, numbered from 1, without its end
// of line (and a carriage return before it). A line longer than kMostLineBytes is an
// error and is not handed on; a non-empty message from handle is that line's error.
void for_each_line(std::string_view text, LineErrors& errors,
                   const std::function<std::string(int number, std::string_view line)>& handle);

}  // namespace hmi::host
