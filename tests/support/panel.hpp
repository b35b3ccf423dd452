// A test panel: the real library loaded by dlopen, a host built from the panel's tag
// catalogue, and helpers to set tags, fire handlers by key, poll properties and read
// the record of host calls as text.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "host/host.hpp"
#include "tests/support/library.hpp"

namespace hmi::test {

const host::Catalogue& panel_catalogue();

class PanelTest : public ::testing::Test {
  protected:
    PanelTest();
    ~PanelTest() override;

    const Library& lib = Library::get();
    host::Host host{panel_catalogue()};
    host::HostGuard guard{host};  // the library's calls reach this host

    // ---- tags ----
    template <class T>
    void set(const char* tag, T value) {
        std::memcpy(cell(tag, sizeof(T)), &value, sizeof value);
    }
    template <class T>
    T get(const char* tag) {
        T value;
        std::memcpy(&value, cell(tag, sizeof(T)), sizeof value);
        return value;
    }
    void set_text(const char* tag, const std::string& text);
    std::string text(const char* tag);

    // ---- handlers ----
    // Looks the event function up through the library's own lookup and calls it;
    // fails the test when the key has no handler, when the handler read a name
    // that no tag has, or when it allocated.
    void fire(const std::string& key);
    // Polls a property function with `value` as the widget's current value.
    template <class T>
    int poll(const std::string& key, T& value) {
        return poll_raw(key, &value);
    }
    int poll_raw(const std::string& key, void* value);
    // Polls a property that follows a 1-byte tag with the tag at 0, 1 and 2, each from a
    // current value that differs (expects a store) and once more (expects none); `at`
    // gives the property value, of type T, for each.
    template <class T>
    void expect_byte_rule(const char* key, const char* tag, const uint32_t (&at)[3]) {
        for (uint8_t v = 0; v < 3; ++v) {
            set<uint8_t>(tag, v);
            T value = static_cast<T>(~at[v]);
            EXPECT_EQ(poll(key, value), 1) << key << " at " << int{v};
            EXPECT_EQ(value, static_cast<T>(at[v])) << key << " at " << int{v};
            EXPECT_EQ(poll(key, value), 0) << key << " at " << int{v};
        }
    }
    hmi_event_func event(const std::string& key);
    hmi_prop_func property(const std::string& key);

    // The calls recorded since the last look (writes, windows, dialogs, parameters),
    // one a line; the record is cleared.
    std::string trace(unsigned topics = host::kBehaviour);

  private:
    unsigned char* cell(const char* tag, size_t size);
};

}  // namespace hmi::test
