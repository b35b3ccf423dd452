// Quotes around a scenario word, and lists of names in messages.
#include "sim/engine/words.hpp"

#include <gtest/gtest.h>

namespace hmi::sim::test {
namespace {

TEST(Words, OnlyAWordInPairedQuotesLosesThem) {
    const std::pair<const char*, const char*> kCases[] = {
        {"\"a b\"", "a b"}, {"\"\"", ""},       {"\"", "\""},     {"a\"", "a\""},
        {"\"a", "\"a"},     {"plain", "plain"}, {"\"\"\"", "\""}, {"", ""},
    };
    for (const auto& [word, expected] : kCases) {
        EXPECT_EQ(unquoted(word), expected) << word;
        EXPECT_EQ(is_quoted(word), std::string(word) != expected) << word;
    }
}

TEST(Words, AListOfNamesCountsWhatItLeavesOut) {
    std::vector<std::string> names;
    EXPECT_EQ(joined(names), "");
    for (int i = 1; i <= 3; ++i) names.push_back("w" + std::to_string(i));
    EXPECT_EQ(joined(names), "w1, w2, w3");
    EXPECT_EQ(joined(names, 3), "w1, w2, w3");
    EXPECT_EQ(joined(names, 2), "w1, w2, ... (3 in all)");
}

}  // namespace
}  // namespace hmi::sim::test
