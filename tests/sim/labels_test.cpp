// Widget labels: panel/widgets.txt labels exactly the widgets of the library's tables,
// and a bad labels file is refused with its line.
#include "sim/engine/labels.hpp"

#include <gtest/gtest.h>

#include <set>

#include "tests/sim/support.hpp"

namespace hmi::sim::test {
namespace {

// The panel loads its labels with the rest of its files.
const WidgetLabels& panel_labels() {
    return real_panel().labels;
}

TEST(WidgetLabels, EveryWidgetOfTheTablesHasALabel) {
    std::vector<std::string> unlabelled;
    for (const HandlerWindow& w : real_library()->windows()) {
        for (const std::string& widget : w.widgets()) {
            if (panel_labels().label(w.name, widget) == nullptr) {
                unlabelled.push_back(w.name + " " + widget);
            }
        }
    }
    EXPECT_EQ(unlabelled, std::vector<std::string>{});
}

TEST(WidgetLabels, EveryLabelNamesAWidgetOfTheTables) {
    std::vector<std::string> unknown;
    for (const auto& [key, label] : panel_labels().all()) {
        const HandlerWindow* w = real_library()->window(key.first);
        std::vector<std::string> widgets;
        if (w != nullptr) widgets = w->widgets();
        if (std::find(widgets.begin(), widgets.end(), key.second) == widgets.end()) {
            unknown.push_back(key.first + " " + key.second + " (" + label + ")");
        }
    }
    EXPECT_EQ(unknown, std::vector<std::string>{});
}

// Every widget with a click handler can be clicked by its label.
TEST(WidgetLabels, ClickableWidgetsHaveLabelsOfTheirOwn) {
    std::vector<std::string> shared;
    for (const HandlerWindow& w : real_library()->windows()) {
        for (const EventRow& row : w.events) {
            if (row.event != "click") continue;
            const std::string* label = panel_labels().label(w.name, row.widget);
            if (label != nullptr && panel_labels().widgets_labelled(w.name, *label).size() != 1) {
                shared.push_back(w.name + " " + *label);
            }
        }
    }
    EXPECT_EQ(shared, std::vector<std::string>{});
}

TEST(WidgetLabels, LabelsAsWrittenWithCommentsAndSharedLabels) {
    WidgetLabels labels = WidgetLabels::parse(
        "# comment\n"
        "[12]   # the sequencer\n"
        "rectangle130  HV201 duration   # opens the dialog\n"
        "gradrectangle1 pipe\n"
        "gradrectangle2 pipe\n"
        "\n"
        "[15]\n"
        "button8\tconfirm\r\n",
        "w");
    ASSERT_NE(labels.label("12", "rectangle130"), nullptr);
    EXPECT_EQ(*labels.label("12", "rectangle130"), "HV201 duration");
    EXPECT_EQ(*labels.label("15", "button8"), "confirm");
    EXPECT_EQ(labels.label("15", "rectangle130"), nullptr);
    EXPECT_EQ(labels.widgets_labelled("12", "pipe"),
              (std::vector<std::string>{"gradrectangle1", "gradrectangle2"}));
    EXPECT_EQ(labels.widgets_labelled("15", "pipe"), std::vector<std::string>{});
}

// Groups hold until the next group or window; a window starts without one.
TEST(WidgetLabels, GroupsAsWritten) {
    WidgetLabels labels = WidgetLabels::parse(
        "[12]\n"
        "text2 automatic\n"
        "-- lamps   # what lights\n"
        "ellipse3 automatic lamp\n"
        "-- mode buttons\n"
        "text5 manual\n"
        "[15]\n"
        "button8 confirm\n",
        "w");
    struct Case {
        const char* window;
        const char* widget;
        const char* group;  // nullptr: none
    };
    for (Case c : {Case{"12", "text2", nullptr}, Case{"12", "ellipse3", "lamps"},
                   Case{"12", "text5", "mode buttons"}, Case{"15", "button8", nullptr}}) {
        const std::string* group = labels.group(c.window, c.widget);
        if (c.group == nullptr) {
            EXPECT_EQ(group, nullptr) << c.widget;
        } else {
            ASSERT_NE(group, nullptr) << c.widget;
            EXPECT_EQ(*group, c.group);
        }
    }
}

// Every widget of a window that has groups is in one: no card falls outside them.
TEST(WidgetLabels, EveryWidgetOfTheShippedPanelIsInAGroup) {
    std::vector<std::string> loose;
    for (const auto& [key, label] : panel_labels().all()) {
        if (panel_labels().group(key.first, key.second) == nullptr)
            loose.push_back(key.first + " " + key.second);
    }
    EXPECT_EQ(loose, std::vector<std::string>{});
}

TEST(WidgetLabels, BadFilesAreRefusedWithTheirLine) {
    struct Bad {
        const char* text;
        const char* message;
    };
    for (Bad b :
         {Bad{"button8 confirm\n", "w:1: widget 'button8' before any [WINDOW]"},
          Bad{"[15]\nbutton8\n", "w:2: widget 'button8' of window 15 has no label"},
          Bad{"[15]\nbutton8 # no label\n", "w:2: widget 'button8' of window 15 has no label"},
          Bad{"[15]\nbutton8 a\nbutton8 b\n",
              "w:3: widget 'button8' of window 15 is labelled twice"},
          Bad{"\n[15 16]\n", "w:2: expected [WINDOW], not '[15 16]'"},
          Bad{"[]\n", "w:1: expected [WINDOW], not '[]'"},
          Bad{"[15\n", "w:1: expected [WINDOW], not '[15'"},
          Bad{"[15]\nbutton8 \"open\n", "w:2: a quoted text is not closed"},
          Bad{"-- lamps\n", "w:1: a group before any [WINDOW]"},
          Bad{"[15]\n--\n", "w:2: a group without a name"},
          Bad{"a b\nc d\n",
              "w:1: widget 'a' before any [WINDOW]\nw:2: widget 'c' before any [WINDOW]"}}) {
        try {
            WidgetLabels::parse(b.text, "w");
            ADD_FAILURE() << "accepted: " << b.text;
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), b.message);
        }
    }
}

}  // namespace
}  // namespace hmi::sim::test
