// Small helpers for the words of scenario lines and for the messages about them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace hmi::sim {

// Whether a word is a double-quoted text (quotes kept by the line splitter).
inline bool is_quoted(std::string_view word) {
    return word.size() >= 2 && word.front() == '"' && word.back() == '"';
}

// A word without its surrounding double quotes, if it has them.
inline std::string unquoted(std::string_view word) {
    return std::string(is_quoted(word) ? word.substr(1, word.size() - 2) : word);
}

// Names for a message, comma-separated: the first `most` of them, then how many in all.
inline std::string joined(const std::vector<std::string>& names, size_t most = 12) {
    std::string out;
    for (size_t i = 0; i < names.size() && i < most; ++i) out += (i ? ", " : "") + names[i];
    if (names.size() > most) out += ", ... (" + std::to_string(names.size()) + " in all)";
    return out;
}

}  // namespace hmi::sim
