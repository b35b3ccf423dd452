// The file in which the simulator keeps the panel's saved parameters.
//
//   hmisim-params 1
//   dtmain.HV201_TIME u32 10          one tag a line: name, kind, value
//   ...
//   end 36 crc32 0x1a2b3c4d           the count and a CRC-32 of every byte above
//
// A file is taken whole or not at all: a missing or wrong trailer, a line that is not
// exactly as a save writes it, a tag listed twice, or a checksum that does not match
// make it damaged.
//
// Nothing saved is ever lost:
// - A damaged file is never overwritten. A save refuses to replace anything that is not
//   a good parameter file, so a run that goes on after a damaged file was reported can
//   not destroy it either.
// - A save writes FILE.tmp.<pid> beside the file, syncs it and renames it over the old
//   one, so that a crash at any moment leaves the old file or the new one. Before it
//   does, the old file (always a good one) becomes FILE.bak; a save that changes nothing
//   writes nothing, so FILE.bak stays the set before the last change.
// - A save keeps the file's mode and owner, and writes through a symbolic link to the
//   file it names (FILE.bak and the temporary file are made beside that file; the link
//   stays a link). A read-only file (no write bit at all, or one the user may not write)
//   is a frozen set: the save is refused and it is left as it is.
// - Temporary files that an earlier killed save left (FILE.tmp.<pid> of a process that is
//   no longer running) are removed by the next save.
// - A failed save leaves the old file as it was and says why.
//
// What a program does with this at start (the simulator's command line):
//
//   std::string fault;
//   switch (load_params_file(path, &entries, &fault)) {
//     case LoadResult::Loaded: case LoadResult::Missing: start; break;
//     case LoadResult::Damaged:
//       if (asked with kMoveDamagedOption) {
//           std::string moved_to, error = move_aside_damaged(path, &moved_to);
//           if (error.empty()) say "moved the damaged parameter file PATH to MOVED_TO; the
//                              panel starts with the catalogue's values", then start;
//           else print error, exit 2;
//       } else print refusal_message(path, result, fault), exit 2;
//     case LoadResult::Unusable: print refusal_message(path, result, fault), exit 2;
//   }
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "host/tags.hpp"

namespace hmi::sim {

// A parameter file is read whole, and never more than this (a panel's parameters take a
// few kilobytes): a larger file is damaged, not read on and on.
constexpr size_t kParamsFileLimit = 4u << 20;

// The command-line option that moves a damaged file aside so that a run can start.
constexpr char kMoveDamagedOption[] = "--params-move-damaged";
// The command-line option that loads a parameter file and never writes it: saves are kept
// in memory. Such a run takes no lock and may share the file with a run that saves.
constexpr char kReadOnlyOption[] = "--params-read-only";

struct ParamEntry {
    std::string name;
    host::Kind kind;
    std::vector<unsigned char> value;  // width(kind) bytes
};

std::string format_params(const std::vector<ParamEntry>& entries);
// Empty on success, else why the text is not a whole parameter file. Errors quote at
// most a short piece of the text, with bytes that are not printable escaped.
std::string parse_params(const std::string& text, std::vector<ParamEntry>* entries);

// Empty on success, else what went wrong; the file is then as it was.
std::string save_params_file(const std::string& path, const std::vector<ParamEntry>& entries);

enum class LoadResult {
    Loaded,   // a good parameter file: *entries holds it
    Missing,  // nothing at the path (or a link to nothing): a save creates it
    Damaged,  // a regular file that is not a whole parameter file: never overwritten
    Unusable  // not a regular file (folder, device, FIFO...), or it cannot be opened or read
};
// *error says what is wrong unless the result is Loaded or Missing.
LoadResult load_params_file(const std::string& path, std::vector<ParamEntry>* entries,
                            std::string* error);

// The message that refuses a start on a Damaged or Unusable file: the file, its fault,
// and how to go on.
std::string refusal_message(const std::string& path, LoadResult result, const std::string& fault);

// Moves a damaged file aside to FILE.damaged-YYYYMMDD-HHMMSS (the UTC time `now`), or
// FILE.damaged-YYYYMMDD-HHMMSS-N when that name is taken: no existing file is ever
// replaced. When FILE is a symbolic link to a damaged file, the link is moved and the
// file it names stays where it is, untouched (*moved_to says so). A good parameter file or
// anything that is not a regular file is not moved. Empty on success (*moved_to names the
// new place), else why nothing was moved.
// *what, when given, says what was moved, for a message.
std::string move_aside_damaged(const std::string& path, std::string* moved_to,
                               std::time_t now = std::time(nullptr), std::string* what = nullptr);

// Held for the whole of a run that saves into a parameter file, so that a second run on
// the same file is refused at start instead of losing the first one's changes (each save
// writes the whole set). The advisory lock (flock) is on FILE.lock beside the file (through
// a link, beside the file it names), which holds the pid of the run that has it: a save
// replaces the file by a rename, so a lock on the file itself would not outlast the first
// save. The lock file stays when the run ends; the lock goes with the process.
class ParamsLock {
  public:
    // The lock, or empty with *error naming the file and the pid that holds it. Where no
    // lock file can be made (a missing or read-only folder) no save can be made either:
    // the lock is then held on nothing.
    static std::optional<ParamsLock> take(const std::string& path, std::string* error);
    ParamsLock(ParamsLock&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    ParamsLock& operator=(ParamsLock&& other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }
    ~ParamsLock();

  private:
    explicit ParamsLock(int fd) : fd_(fd) {}
    int fd_ = -1;
};

uint32_t crc32(const void* data, size_t size);

}  // namespace hmi::sim
