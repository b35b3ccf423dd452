// The lookup as a host uses it.
#include <gtest/gtest.h>

#include "tests/support/allocations.hpp"
#include "tests/support/library.hpp"

namespace hmi::test {
namespace {

TEST(Lookup, NullTableOrNamesAnswerZero) {
    const Library& lib = Library::get();
    EXPECT_EQ(lib.get_func(nullptr, "main", "picture3", "click"), nullptr);
    EXPECT_EQ(lib.get_event_func("main", nullptr, "click"), nullptr);
    EXPECT_EQ(lib.get_event_func("main", "picture3", nullptr), nullptr);
    EXPECT_EQ(lib.get_event_func(nullptr, "picture3", "click"), nullptr);
}

}  // namespace
}  // namespace hmi::test
