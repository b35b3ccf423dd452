// Drawn windows: the shipped drawings name only widgets and properties the library has;
// a drawing that names anything else, or that could run anything in the page, is
// refused naming its file, line and element.
#include "sim/serve/drawings.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/serve/support.hpp"

namespace hmi::sim::serve::test {
namespace {

TEST(Drawings, ShippedDrawingsLoadForTheWindowsAnEngineerUsesMost) {
    auto drawings = load_drawings(HMI_PANEL_DIR, real_panel(), *real_library());
    for (const char* window : {"main", "12", "18", "11", "17", "21", "3"}) {
        EXPECT_EQ(drawings.count(window), 1u) << window;
    }
}

TEST(Drawings, ElementsNamingWidgetsAreFoundWithTheirLines) {
    auto found = drawn_elements(
        "<?xml version=\"1.0\"?>\n<!-- <rect data-widget=\"commented\"/> -->\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\">\n"
        "<style>.a { fill: red }</style>\n"
        "<g data-widget='rectangle130'>\n"
        "  <rect data-widget=\"gradrectangle132\" data-prop=\"startcolor\" x=\"1\"/>\n"
        "</g><text>a &lt; b</text></svg>\n",
        "d.svg");
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].widget, "rectangle130");
    EXPECT_EQ(found[0].line, 5);
    EXPECT_EQ(found[1].tag, "rect");
    EXPECT_EQ(found[1].prop, "startcolor");
    EXPECT_EQ(found[1].line, 6);
}

// What the page must never take in, and what it cannot read.
TEST(Drawings, BadDrawingsAreRefusedWithTheirLine) {
    struct Bad {
        const char* svg;
        const char* message;
    };
    for (Bad b : {
             Bad{"<svg>\n<script>alert(1)</script></svg>",
                 "d.svg:2: <script>: a drawing holds no scripts or other documents"},
             Bad{"<svg>\n\n<rect onclick=\"x()\"/></svg>",
                 "d.svg:3: <rect onclick=...>: a drawing holds no scripts"},
             Bad{"<svg><a href=\" JavaScript:x()\"/></svg>",
                 "d.svg:1: <a href=\"javascript:...\">: a drawing holds no scripts"},
             Bad{"<svg><foreignObject/></svg>",
                 "d.svg:1: <foreignObject>: a drawing holds no scripts or other documents"},
             Bad{"<html><svg/></html>", "d.svg:1: a drawing is an <svg> element, not <html>"},
             Bad{"<svg><rect x=1/></svg>", "d.svg:1: an attribute value without quotes"},
             Bad{"<svg><rect x=\"1/></svg>", "d.svg:1: an attribute value not closed"},
             Bad{"<svg><rect data-prop=\"fillcolor\"/></svg>",
                 "d.svg:1: <rect data-prop='fillcolor'>: data-prop without data-widget"},
             Bad{"<svg><!-- open", "d.svg:1: <!-- is not closed"},
             Bad{"just text", "d.svg:1: no <svg> element"},
         }) {
        try {
            drawn_elements(b.svg, "d.svg");
            ADD_FAILURE() << "accepted: " << b.svg;
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), b.message) << b.svg;
        }
    }
}

// A drawing in a panel folder is checked against the window it is named after.
TEST(Drawings, UnknownWindowsWidgetsAndPropertiesAreRefusedNamingTheElement) {
    struct Bad {
        const char* file;
        const char* svg;
        const char* message;  // after the file's path
    };
    for (Bad b : {
             Bad{"nosuch.svg", "<svg/>", ": the panel has no window 'nosuch' (windows.txt)"},
             Bad{"15.svg", "<svg/>", ": window 15 has no handlers to draw"},
             Bad{"12.svg", "<svg>\n<rect data-widget=\"rectangle999\"/></svg>",
                 ":2: <rect data-widget='rectangle999'>: window 12 has no widget 'rectangle999'"},
             Bad{"12.svg", "<svg><g data-widget=\"rectangle130\" data-prop=\"colour\"/></svg>",
                 ":1: <g data-widget='rectangle130' data-prop='colour'>: widget rectangle130 has "
                 "no property 'colour'"},
             Bad{"timeinput.svg",
                 "<svg><rect data-widget=\"text2\" data-prop=\"fillcolor\"/></svg>",
                 ":1: <rect data-widget='text2' data-prop='fillcolor'>: widget text2 has no "
                 "property 'fillcolor'"},
         }) {
        TempDir dir;
        std::filesystem::create_directories(dir.path + "/drawings");
        std::string path = dir.path + "/drawings/" + b.file;
        std::ofstream(path) << b.svg;
        try {
            load_drawings(dir.path, real_panel(), *real_library());
            ADD_FAILURE() << "accepted: " << b.file;
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(e.what(), path + b.message);
        }
    }
    // The handlers of the duration dialog, shown as "timeinput", are those of "15".
    TempDir dir;
    std::filesystem::create_directories(dir.path + "/drawings");
    std::ofstream(dir.path + "/drawings/timeinput.svg")
        << "<svg><text data-widget=\"text2\" data-prop=\"text\"/></svg>";
    EXPECT_EQ(load_drawings(dir.path, real_panel(), *real_library()).count("timeinput"), 1u);
}

}  // namespace
}  // namespace hmi::sim::serve::test
