// Plots: the SVG is well-formed XML (read back strictly) with one polyline a tag and
// the points the samples give; the CSV has a row a change; bad plot specs are named.
#include "sim/engine/plot.hpp"

#include <gtest/gtest.h>

#include <cctype>
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
};

// A strict reader of the XML the plots are: a declaration, one root element, nested
// elements with double-quoted attributes, text with the five named entities and
// numeric ones. Anything else is not well-formed.
class XmlReader {
  public:
    explicit XmlReader(const std::string& xml) : x_(xml) {}

    Svg read() {
        Svg svg;
        if (x_.compare(0, 5, "<?xml") == 0) {
            size_t end = x_.find("?>");
            if (end == std::string::npos) return failed(svg, "declaration not closed");
            at_ = end + 2;
        }
        skip_space();
        if (!element(svg, 0)) return failed(svg, error_);
        skip_space();
        if (at_ != x_.size()) return failed(svg, "text after the root element");
        svg.well_formed = true;
        return svg;
    }

  private:
    Svg failed(Svg& svg, const std::string& why) {
        svg.error = why + " at byte " + std::to_string(at_);
        return svg;
    }
    bool fail(const std::string& why) {
        error_ = why;
        return false;
    }
    void skip_space() {
        while (at_ < x_.size() && std::isspace(static_cast<unsigned char>(x_[at_]))) ++at_;
    }
    std::string name() {
        size_t start = at_;
        while (at_ < x_.size() && (std::isalnum(static_cast<unsigned char>(x_[at_])) ||
                                   x_[at_] == '-' || x_[at_] == ':' || x_[at_] == '_')) {
            ++at_;
        }
        return x_.substr(start, at_ - start);
    }
    // Text up to `stop`, with its entities resolved.
    bool text(char stop, std::string* out) {
        while (at_ < x_.size() && x_[at_] != stop) {
            char c = x_[at_];
            if (c == '<' || (c == '>' && stop == '"')) return fail("a bare < or > in text");
            if (c != '&') {
                *out += c;
                ++at_;
                continue;
            }
            size_t end = x_.find(';', at_);
            if (end == std::string::npos) return fail("an entity not closed");
            std::string entity = x_.substr(at_ + 1, end - at_ - 1);
            static const std::map<std::string, char> kNamed = {
                {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
            if (kNamed.count(entity)) {
                *out += kNamed.at(entity);
            } else if (entity.size() > 1 && entity[0] == '#' &&
                       entity.find_first_not_of("0123456789", 1) == std::string::npos) {
                *out += '?';
            } else {
                return fail("an unknown entity &" + entity + ";");
            }
            at_ = end + 1;
        }
        return at_ < x_.size() || stop == '<' || fail("the file ends inside text");
    }
    bool element(Svg& svg, int depth) {
        if (depth > 50 || at_ >= x_.size() || x_[at_] != '<') return fail("expected an element");
        ++at_;
        std::string tag = name();
        if (tag.empty()) return fail("an element without a name");
        if (svg.root.empty()) svg.root = tag;
        std::map<std::string, std::string> attributes;
        for (;;) {
            skip_space();
            if (x_.compare(at_, 2, "/>") == 0 || (at_ < x_.size() && x_[at_] == '>')) break;
            std::string key = name();
            if (key.empty() || x_.compare(at_, 2, "=\"") != 0) return fail("a bad attribute");
            at_ += 2;
            std::string value;
            if (!text('"', &value)) return false;
            ++at_;
            if (!attributes.emplace(key, value).second) return fail("a repeated attribute");
        }
        if (tag == "polyline") {
            size_t count = 0;
            bool in_point = false;
            for (char c : attributes["points"]) {
                if (c != ' ' && !in_point) ++count;
                in_point = c != ' ';
            }
            svg.points[attributes["data-tag"]] = count;
        }
        if (x_.compare(at_, 2, "/>") == 0) {
            at_ += 2;
            return true;
        }
        ++at_;
        std::string content;
        for (;;) {
            if (!text('<', &content)) return false;
            if (at_ >= x_.size()) return fail("<" + tag + "> not closed");
            if (x_.compare(at_, 2, "</") == 0) break;
            if (!element(svg, depth + 1)) return false;
        }
        at_ += 2;
        if (name() != tag || at_ >= x_.size() || x_[at_] != '>') {
            return fail("<" + tag + "> closed by another");
        }
        ++at_;
        if (tag == "text") svg.texts.push_back(content);
        return true;
    }

    const std::string& x_;
    size_t at_ = 0;
    std::string error_;
};

Svg read_svg(const std::string& xml) {
    return XmlReader(xml).read();
}

// The reader refuses what is not well-formed.
TEST(Plot, TheXmlReaderRefusesWhatIsNotWellFormed) {
    for (const char* bad : {"<svg>", "<svg></g>", "<svg a=1/>", "<svg>a < b</svg>",
                            "<svg>&nbsp;</svg>", "<svg/><svg/>", "<svg a=\"1\" a=\"2\"/>"}) {
        EXPECT_FALSE(read_svg(bad).well_formed) << bad;
    }
    EXPECT_TRUE(read_svg("<?xml version=\"1.0\"?>\n<svg a=\"&amp;\"><text>x &lt; y</text></svg>\n")
                    .well_formed);
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
