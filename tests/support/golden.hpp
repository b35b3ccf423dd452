// Golden files: what a test gives, against the text kept beside the test. With
// HMISIM_UPDATE_EXPECTED=1 in the environment a test writes what it gives as the new
// expected text (then git diff shows what changed).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace hmi::test {

inline std::string file_text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void expect_golden(const std::string& actual, const std::string& expected_path) {
    const char* update = std::getenv("HMISIM_UPDATE_EXPECTED");
    if (update != nullptr && *update != '\0') {
        std::ofstream(expected_path, std::ios::binary) << actual;
    }
    EXPECT_EQ(actual, file_text(expected_path))
        << "HMISIM_UPDATE_EXPECTED=1 rewrites " << expected_path;
}

// The text with every occurrence of a prefix (a folder that differs from one checkout to
// the next) taken out.
inline std::string without(std::string text, const std::string& prefix) {
    for (size_t at = text.find(prefix); at != std::string::npos; at = text.find(prefix, at)) {
        text.erase(at, prefix.size());
    }
    return text;
}

// The names (without the extension) of a folder's files with the extension, sorted.
inline std::vector<std::string> file_stems(const std::string& folder,
                                           const std::string& extension) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() == extension) names.push_back(entry.path().stem().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// A file's name as a test's name: letters and digits kept, '_' for every other byte.
inline std::string test_name(std::string name) {
    for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    }
    return name;
}

}  // namespace hmi::test
