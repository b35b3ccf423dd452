// No event or property function allocates: every row of both tables is called in a few
// panel states, and the library's own heap use is counted around each call (what the
// host's services allocate is not the library's).
#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>

#include "tests/support/allocations.hpp"
#include "tests/support/panel.hpp"

namespace hmi::test {
namespace {

struct PanelState {
    const char* name;
    int msgbox_answer;                // 6 confirms a question
    std::optional<double> input;      // empty: the input dialog is cancelled
    std::optional<double> every_tag;  // every number tag set to this first
};

const PanelState kStates[] = {
    {"AtStartConfirmed", 6, 1.0, std::nullopt},
    {"AtStartRefused", 7, std::nullopt, std::nullopt},
    {"EveryFlagSet", 6, 2.0, 1.0},
    {"EveryCountLarge", 6, 30.0, 100.0},
};

void PrintTo(const PanelState& state, std::ostream* out) {
    *out << state.name;
}

class NoAllocation : public PanelTest, public ::testing::WithParamInterface<PanelState> {
  protected:
    void SetUp() override {
        const PanelState& state = GetParam();
        host.ask_msgbox = [&state](const std::string&, const std::string&, int) {
            return state.msgbox_answer;
        };
        host.ask_input = [&state](const std::string&, const std::string&, double, double) {
            return state.input;
        };
        if (state.every_tag) {
            for (host::Tag& tag : host.tags().all()) {
                if (tag.def->kind != host::Kind::Text) {
                    host::store_number(tag.def->kind, *state.every_tag, tag.value);
                }
            }
        }
        host.set_recording(false);
    }

    // Calls the handler and tells whether the library allocated (or freed) meanwhile.
    template <class Call>
    bool allocates(Call call) {
        start_counting();
        call();
        Allocations a = stop_counting();
        host.release_texts();
        return a.allocated != 0 || a.freed != 0;
    }
};

TEST_P(NoAllocation, InAnyEventFunction) {
    std::string allocating;
    int rows = 0;
    for (const hmi_func_row* row = lib.event_funcs; row->key != nullptr; ++row, ++rows) {
        auto handler = reinterpret_cast<hmi_event_func>(row->func);
        if (allocates(handler)) allocating += std::string(row->key) + "\n";
    }
    EXPECT_GT(rows, 0);
    EXPECT_EQ(allocating, "");
}

TEST_P(NoAllocation, InAnyPropertyFunction) {
    std::string allocating;
    for (const hmi_func_row* row = lib.prop_funcs; row->key != nullptr; ++row) {
        auto property = reinterpret_cast<hmi_prop_func>(row->func);
        // Wide enough for a value of every kind, the 16-byte text included; polled
        // twice so that both the store and the unchanged path run.
        char value[HMI_TEXT_VALUE_SIZE] = {};
        if (allocates([&] { property(value), property(value); })) {
            allocating += std::string(row->key) + "\n";
        }
    }
    EXPECT_EQ(allocating, "");
}

INSTANTIATE_TEST_SUITE_P(States, NoAllocation, ::testing::ValuesIn(kStates),
                         [](const ::testing::TestParamInfo<PanelState>& info) {
                             return info.param.name;
                         });

}  // namespace
}  // namespace hmi::test
