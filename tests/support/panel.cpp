#include "tests/support/panel.hpp"

#include "tests/support/allocations.hpp"

namespace hmi::test {

const host::Catalogue& panel_catalogue() {
    static const host::Catalogue catalogue =
        host::Catalogue::load(std::string(HMI_PANEL_DIR) + "/tags.txt");
    return catalogue;
}

PanelTest::PanelTest() = default;
PanelTest::~PanelTest() = default;

unsigned char* PanelTest::cell(const char* name, size_t size) {
    host::Tag* tag = host.tags().find(name);
    if (tag == nullptr) throw std::invalid_argument(std::string("no tag ") + name);
    if (host::width(tag->def->kind) != size) {
        throw std::invalid_argument(std::string(name) + " is not of that width");
    }
    return tag->value;
}

void PanelTest::set_text(const char* name, const std::string& text) {
    unsigned char* value = cell(name, host::kTextTagSize);
    std::memset(value, 0, host::kTextTagSize);
    std::memcpy(value, text.data(), std::min(text.size(), host::kTextTagSize - 1));
}

std::string PanelTest::text(const char* name) {
    const char* value = reinterpret_cast<const char*>(cell(name, host::kTextTagSize));
    return std::string(value, strnlen(value, host::kTextTagSize));
}

hmi_event_func PanelTest::event(const std::string& key) {
    Key k = Key::parse(key);
    return reinterpret_cast<hmi_event_func>(
        lib.get_event_func(k.window.c_str(), k.widget.c_str(), k.name.c_str()));
}

hmi_prop_func PanelTest::property(const std::string& key) {
    Key k = Key::parse(key);
    return reinterpret_cast<hmi_prop_func>(
        lib.get_prop_func(k.window.c_str(), k.widget.c_str(), k.name.c_str()));
}

void PanelTest::fire(const std::string& key) {
    hmi_event_func f = event(key);
    ASSERT_NE(f, nullptr) << "no event function for " << key;
    std::map<std::string, uint64_t> unknown_before = host.unknown_names();
    start_counting();
    f();
    Allocations a = stop_counting();
    host.release_texts();
    EXPECT_EQ(a.allocated, 0) << key << " allocated";
    for (const auto& [use, count] : host.unknown_names()) {
        if (unknown_before[use] == count) continue;
        // Valve names are formatted at run time and may name no valve: the host ignores
        // those writes. Any other use of an unknown name is a fault of the handler.
        bool valve_write = use.rfind("set HV", 0) == 0;
        EXPECT_TRUE(valve_write) << key << ": " << use;
    }
}

int PanelTest::poll_raw(const std::string& key, void* value) {
    hmi_prop_func f = property(key);
    EXPECT_NE(f, nullptr) << "no property function for " << key;
    if (f == nullptr) return -1;
    uint64_t unknown_before = host.unknown_uses();
    start_counting();
    int changed = f(value);
    Allocations a = stop_counting();
    host.release_texts();
    EXPECT_EQ(a.allocated, 0) << key << " allocated";
    EXPECT_EQ(host.unknown_uses(), unknown_before) << key << " used a name that no tag has";
    return changed;
}

std::string PanelTest::trace(unsigned topics) {
    std::string text = host.trace(topics);
    host.clear_trace();
    return text;
}

}  // namespace hmi::test
