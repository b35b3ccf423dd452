// The lookup as a host uses it: by window, widget and name, through the exports.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "tests/support/allocations.hpp"
#include "tests/support/library.hpp"

namespace hmi::test {
namespace {

const Library& lib() {
    return Library::get();
}

void* event_of(const char* window, const char* widget, const char* name) {
    return lib().get_event_func(window, widget, name);
}
void* property_of(const char* window, const char* widget, const char* name) {
    return lib().get_prop_func(window, widget, name);
}

// The row of the table that holds this key, or nullptr.
const hmi_func_row* row_of(const hmi_func_row* table, const std::string& key) {
    for (const hmi_func_row* row = table; row->key != nullptr; ++row) {
        if (key == row->key) return row;
    }
    return nullptr;
}

TEST(Lookup, FindsEveryRowOfBothTablesByItsThreeNames) {
    for (const hmi_func_row* table : {lib().event_funcs, lib().prop_funcs}) {
        for (const hmi_func_row* row = table; row->key != nullptr; ++row) {
            Key k = Key::parse(row->key);
            EXPECT_EQ(lib().get_func(table, k.window.c_str(), k.widget.c_str(), k.name.c_str()),
                      row->func)
                << row->key;
            ASSERT_NE(row->func, nullptr) << row->key;
        }
    }
}

TEST(Lookup, EachTableAnswersOnlyForItsOwnKind) {
    EXPECT_EQ(event_of("main", "picture3", "click"),
              row_of(lib().event_funcs, "main_picture3_click")->func);
    EXPECT_EQ(property_of("main", "picture3", "click"), nullptr);
    for (const hmi_func_row* row = lib().prop_funcs; row->key != nullptr; ++row) {
        Key k = Key::parse(row->key);
        EXPECT_EQ(event_of(k.window.c_str(), k.widget.c_str(), k.name.c_str()), nullptr);
    }
}

TEST(Lookup, KeysAreExactAndCaseSensitive) {
    EXPECT_EQ(event_of("Main", "picture3", "click"), nullptr);
    EXPECT_EQ(event_of("main", "Picture3", "click"), nullptr);
    EXPECT_EQ(event_of("main", "picture3", "Click"), nullptr);
    EXPECT_EQ(event_of("main", "picture3", "clic"), nullptr);    // a prefix of the key
    EXPECT_EQ(event_of("main", "picture3", "click "), nullptr);  // longer than the key
    EXPECT_EQ(event_of("main_picture3", "", "click"), nullptr);  // empty widget: "__" never matches
    EXPECT_EQ(event_of("main", "picture3_click", ""), nullptr);
    EXPECT_EQ(event_of("", "", ""), nullptr);
}

TEST(Lookup, NullTableOrNamesAnswerZero) {
    EXPECT_EQ(lib().get_func(nullptr, "main", "picture3", "click"), nullptr);
    EXPECT_EQ(event_of("main", nullptr, "click"), nullptr);
    EXPECT_EQ(event_of("main", "picture3", nullptr), nullptr);
    EXPECT_EQ(event_of(nullptr, "picture3", "click"), nullptr);
    EXPECT_EQ(property_of(nullptr, nullptr, nullptr), nullptr);
}

TEST(Lookup, LastRowsAreFound) {
    const hmi_func_row* last = lib().event_funcs;
    while (last[1].key != nullptr) ++last;
    Key k = Key::parse(last->key);
    EXPECT_EQ(event_of(k.window.c_str(), k.widget.c_str(), k.name.c_str()), last->func);
    EXPECT_EQ(last[1].func, nullptr);  // the end row is two null words
}

TEST(Lookup, KeysAreUniqueAcrossBothTablesAndFunctionsDistinct) {
    std::set<std::string> keys;
    std::set<void*> functions;
    size_t rows = 0;
    for (const hmi_func_row* table : {lib().event_funcs, lib().prop_funcs}) {
        for (const hmi_func_row* row = table; row->key != nullptr; ++row, ++rows) {
            keys.insert(row->key);
            functions.insert(row->func);
        }
    }
    EXPECT_EQ(keys.size(), rows);
    EXPECT_EQ(functions.size(), rows);
}

TEST(Lookup, ReleasesItsKeyBufferOnEveryPath) {
    if (!counting_works()) GTEST_SKIP() << "allocations cannot be counted here";
    std::string long_name(100000, 'x');
    lib();  // loaded before counting
    start_counting();
    event_of("main", "picture3", "click");                 // hit
    event_of("main", "picture3", "press");                 // miss
    lib().get_func(nullptr, "main", "picture3", "click");  // null table, after building the key
    event_of("main", nullptr, "click");                    // null widget: nothing allocated
    property_of("main", "picture3", nullptr);              // null name: nothing allocated
    event_of(long_name.c_str(), long_name.c_str(), long_name.c_str());
    Allocations a = stop_counting();
    EXPECT_EQ(a.allocated, 4);
    EXPECT_EQ(a.freed, a.allocated);
}

}  // namespace
}  // namespace hmi::test
