// Plots: the SVG is well-formed XML (read back with expat) with one polyline a tag and
// the points the samples give; the CSV has a row a change; bad plot specs are named.
#include "sim/engine/plot.hpp"

#include <expat.h>
#include <gtest/gtest.h>

#include <map>

namespace hmi::sim::test {
namespace {

// What the test reads back from an SVG: the polylines by their data-tag, the texts.
struct Svg {
    bool well_formed = false;
    std::string error;
    std::string root;
    std::map<std::string, size_t> points;  // data-tag -> number of points
    std::vector<std::string> texts;
    std::string text_now;
    int depth_in_text = 0;
};

Svg read_svg(const std::string& xml) {
    Svg svg;
    XML_Parser parser = XML_ParserCreate("UTF-8");
    XML_SetUserData(parser, &svg);
    XML_SetElementHandler(
        parser,
        [](void* data, const XML_Char* name, const XML_Char** attributes) {
            Svg& s = *static_cast<Svg*>(data);
            std::string element = name;
            if (s.root.empty()) s.root = element;
            if (element == "text") {
                ++s.depth_in_text;
                s.text_now.clear();
            }
            if (element != "polyline") return;
            std::string tag, points;
            for (int i = 0; attributes[i] != nullptr; i += 2) {
                if (std::string(attributes[i]) == "data-tag") tag = attributes[i + 1];
                if (std::string(attributes[i]) == "points") points = attributes[i + 1];
            }
            size_t count = 0;
            bool in_point = false;
            for (char c : points) {
                if (c != ' ' && !in_point) ++count;
                in_point = c != ' ';
            }
            s.points[tag] = count;
        },
        [](void* data, const XML_Char* name) {
            Svg& s = *static_cast<Svg*>(data);
            if (std::string(name) == "text" && --s.depth_in_text == 0)
                s.texts.push_back(s.text_now);
        });
    XML_SetCharacterDataHandler(parser, [](void* data, const XML_Char* text, int length) {
        Svg& s = *static_cast<Svg*>(data);
        if (s.depth_in_text > 0) s.text_now.append(text, static_cast<size_t>(length));
    });
    svg.well_formed =
        XML_Parse(parser, xml.data(), static_cast<int>(xml.size()), XML_TRUE) == XML_STATUS_OK;
    if (!svg.well_formed) svg.error = XML_ErrorString(XML_GetErrorCode(parser));
    XML_ParserFree(parser);
    return svg;
}

bool has_text(const Svg& svg, const std::string& text) {
    for (const std::string& t : svg.texts) {
        if (t == text) return true;
    }
    return false;
}

// Two tags over 30 s: a ramp written every 500 ms and a flag switched twice; the names
// need escaping in XML.
PlotTable two_tags() {
    PlotTable table({"electric.electric1", "a<b&\"c\""});
    for (uint64_t ms = 0; ms <= 20000; ms += 500) {
        double flag = ms >= 5000 && ms < 15000 ? 1 : 0;
        table.sample(ms, {10 + ms / 1000.0, flag});
        table.sample(ms, {10 + ms / 1000.0, flag});  // nothing changed: no row
    }
    table.finish(30000);
    return table;
}

TEST(Plot, OverTimeIsWellFormedWithAPointEachStep) {
    PlotTable table = two_tags();
    ASSERT_EQ(table.rows().size(), 42u);  // 41 samples and the end
    Svg svg = read_svg(plot_svg_time(table, "electrical values"));
    ASSERT_TRUE(svg.well_formed) << svg.error;
    EXPECT_EQ(svg.root, "svg");
    // The ramp: its first value, then a step (two points) for each of its 40 changes,
    // then its level carried to the end.
    EXPECT_EQ(svg.points["electric.electric1"], 1u + 2 * 40 + 1);
    // The flag: 0, up at 5 s, down at 15 s, to the end.
    EXPECT_EQ(svg.points["a<b&\"c\""], 1u + 2 * 2 + 1);
    EXPECT_TRUE(has_text(svg, "electrical values"));
    EXPECT_TRUE(has_text(svg, "simulated time (s)"));
    EXPECT_TRUE(has_text(svg, "electric.electric1"));  // the legend
    EXPECT_TRUE(has_text(svg, "a<b&\"c\""));
    EXPECT_TRUE(has_text(svg, "30"));  // the time axis reaches the end
}

TEST(Plot, TimeUnitFollowsTheSpan) {
    struct Span {
        uint64_t ms;
        const char* label;
    };
    for (Span s : {Span{1500, "simulated time (ms)"}, Span{90000, "simulated time (s)"},
                   Span{3600000, "simulated time (min)"}, Span{36000000, "simulated time (h)"}}) {
        PlotTable table({"t"});
        table.sample(0, {0});
        table.sample(s.ms, {1});
        Svg svg = read_svg(plot_svg_time(table, ""));
        ASSERT_TRUE(svg.well_formed) << svg.error;
        EXPECT_TRUE(has_text(svg, s.label)) << s.ms;
    }
}

TEST(Plot, PathOfOneTagAgainstAnother) {
    PlotTable table({"kelvor.x_Real", "kelvor.y_Real"});
    // A square, with a repeated corner that adds no point.
    const double corners[][2] = {{0, 0}, {100, 0}, {100, 100}, {100, 100}, {0, 100}, {0, 0}};
    uint64_t ms = 0;
    for (const auto& c : corners) table.sample(ms += 200, {c[0], c[1]});
    table.finish(ms + 1000);
    Svg svg = read_svg(plot_svg_xy(table, "tool path"));
    ASSERT_TRUE(svg.well_formed) << svg.error;
    EXPECT_EQ(svg.points["kelvor.y_Real against kelvor.x_Real"], 5u);
    EXPECT_TRUE(has_text(svg, "x: kelvor.x_Real, y: kelvor.y_Real"));
    EXPECT_TRUE(has_text(svg, "start"));
}

TEST(Plot, EmptyAndFlatTablesStillDraw) {
    for (const PlotTable& table : {PlotTable({"a", "b"}), [] {
                                       PlotTable t({"a", "b"});
                                       t.sample(0, {5, 5});
                                       t.finish(1000);
                                       return t;
                                   }()}) {
        EXPECT_TRUE(read_svg(plot_svg_time(table, "")).well_formed);
        EXPECT_TRUE(read_svg(plot_svg_xy(table, "")).well_formed);
    }
}

TEST(Plot, CsvHasARowAChange) {
    PlotTable table({"a", "b,c"});
    table.sample(0, {1, 0.5});
    table.sample(200, {1, 0.5});
    table.sample(400, {2.25, 0.5});
    table.finish(1000);
    EXPECT_EQ(plot_csv(table),
              "time_ms,a,\"b,c\"\n"
              "0,1,0.5\n"
              "400,2.25,0.5\n"
              "1000,2.25,0.5\n");
}

TEST(Plot, SpecsAreReadOrRefused) {
    std::string error;
    std::optional<PlotSpec> spec = PlotSpec::parse("electric.electric1,electric.electric2", &error);
    ASSERT_TRUE(spec);
    EXPECT_FALSE(spec->xy);
    EXPECT_EQ(spec->tags, (std::vector<std::string>{"electric.electric1", "electric.electric2"}));
    spec = PlotSpec::parse("x=kelvor.x_Real,y=kelvor.y_Real", &error);
    ASSERT_TRUE(spec);
    EXPECT_TRUE(spec->xy);
    EXPECT_EQ(spec->tags, (std::vector<std::string>{"kelvor.x_Real", "kelvor.y_Real"}));
    for (auto [text, message] : {std::pair{"a,,b", "'a,,b': expected TAG,TAG... or x=TAG,y=TAG"},
                                 std::pair{"", "'': expected TAG,TAG... or x=TAG,y=TAG"},
                                 std::pair{"x=a", "'x=a': expected x=TAG,y=TAG"},
                                 std::pair{"y=a,x=b", "'y=a,x=b': expected x=TAG,y=TAG"},
                                 std::pair{"x=a,y=", "'x=a,y=': expected x=TAG,y=TAG"}}) {
        EXPECT_FALSE(PlotSpec::parse(text, &error)) << text;
        EXPECT_EQ(error, message);
    }
}

}  // namespace
}  // namespace hmi::sim::test
