// The file in which the simulator keeps the panel's saved parameters.
//
//   hmisim-params 1
//   dtmain.HV201_TIME u32 10          one tag a line: name, kind, value
//   ...
//   end 36 crc32 0x1a2b3c4d           the count and a CRC-32 of every byte above
//
// A file is taken whole or not at all: a missing or wrong trailer, a line that is not
// exactly as a save writes it, or a checksum that does not match make it corrupt. Saving writes a
// temporary file beside it, syncs it and renames it over the old one, so that a crash at any moment
// leaves the old file or the new one.
#pragma once

#include <string>
#include <vector>

#include "host/tags.hpp"

namespace hmi::sim {

struct ParamEntry {
    std::string name;
    host::Kind kind;
    std::vector<unsigned char> value;  // width(kind) bytes
};

std::string format_params(const std::vector<ParamEntry>& entries);
// Empty on success, else why the text is not a whole parameter file.
std::string parse_params(const std::string& text, std::vector<ParamEntry>* entries);

// Empty on success, else what went wrong (the old file is then untouched).
std::string save_params_file(const std::string& path, const std::vector<ParamEntry>& entries);

enum class LoadResult { Loaded, Missing, Corrupt };
LoadResult load_params_file(const std::string& path, std::vector<ParamEntry>* entries,
                            std::string* error);

uint32_t crc32(const void* data, size_t size);

}  // namespace hmi::sim
