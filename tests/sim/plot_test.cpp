// Plots: the SVG is well-formed XML (read back strictly) with one polyline a tag and
// the points the samples give, on/off tags in lanes, a time axis in mm:ss; the CSV has
// a row a change; long runs are decimated keeping extremes; files are replaced through
// a temporary file that never survives a failure; bad plot specs are named.
#include "sim/engine/plot.hpp"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>

#include "tests/support/temp_dir.hpp"

namespace hmi::sim::test {
namespace {

// What the test reads back from an SVG: the polylines by their data-tag, the texts.
struct Svg {
    bool well_formed = false;
    std::string error;
    std::string root;
    std::map<std::string, size_t> points;  // data-tag -> number of points
    std::map<std::string, bool> marked;    // data-tag -> has start and end markers
    std::map<std::string, size_t> lanes;   // an on/off lane's data-tag -> its "on" blocks
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
            svg.marked[attributes["data-tag"]] = attributes["marker-start"] == "url(#start)" &&
                                                 attributes["marker-end"] == "url(#end)";
        }
        if (tag == "g" && attributes["class"] == "lane") svg.lanes[lane_ = attributes["data-tag"]];
        if (tag == "rect" && attributes["class"] == "on") ++svg.lanes[lane_];
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
    std::string lane_;
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
    // The flag, only ever 0 or 1: a lane of its own with one block, on from 5 s to 15 s.
    EXPECT_EQ(svg.points.count("a<b&\"c\""), 0u);
    EXPECT_EQ(svg.lanes["a<b&\"c\""], 1u);
    EXPECT_TRUE(has_text(svg, "electrical values"));
    EXPECT_TRUE(has_text(svg, "simulated time (mm:ss)"));
    EXPECT_TRUE(has_text(svg, "electric.electric1"));  // the legend
    EXPECT_TRUE(has_text(svg, "a<b&\"c\" (on/off)"));
    EXPECT_TRUE(has_text(svg, "00:30"));  // the time axis reaches the end
}

TEST(Plot, TimeAxisReadsAsAClock) {
    struct Span {
        uint64_t ms;
        const char* label;
        const char* tick;  // the tick at the span's end
    };
    for (Span s : {Span{1600, "simulated time (mm:ss)", "00:01.6"},
                   Span{90000, "simulated time (mm:ss)", "01:30"},
                   Span{3000000, "simulated time (mm:ss)", "50:00"},
                   Span{36000000, "simulated time (hh:mm:ss)", "10:00:00"},
                   Span{864000000, "simulated time (hh:mm:ss)", "240:00:00"}}) {
        PlotTable table({"t"});
        table.sample(0, {0});
        table.sample(s.ms, {7});
        Svg svg = read_svg(plot_svg_time(table, ""));
        ASSERT_TRUE(svg.well_formed) << svg.error;
        EXPECT_TRUE(has_text(svg, s.label)) << s.ms;
        EXPECT_TRUE(has_text(svg, s.tick)) << s.ms;
    }
}

// A run far longer than the rows kept: the table stays bounded, every tag's minimum and
// maximum survive, the line ends at the last value, and the legend says what was done.
TEST(Plot, LongRunsAreDecimatedKeepingExtremes) {
    PlotTable table({"wave", "spike"}, 1000);
    double low = INFINITY, high = -INFINITY;
    uint64_t ms = 0;
    for (int i = 0; i < 200000; ++i) {
        ms += 100 + i % 7;
        double wave = std::sin(i / 50.0) * (1 + i / 100000.0);
        double spike = i == 123457 ? 1e6 : i % 3;
        low = std::min(low, wave);
        high = std::max(high, wave);
        table.sample(ms, {wave, spike});
        ASSERT_LE(table.rows().size(), 1000u) << i;
    }
    table.sample(ms + 50, {0.25, -1});
    table.finish(ms + 1000);
    double kept_low = INFINITY, kept_high = -INFINITY, spike_high = -INFINITY;
    for (const auto& row : table.rows()) {
        kept_low = std::min(kept_low, row.values[0]);
        kept_high = std::max(kept_high, row.values[0]);
        spike_high = std::max(spike_high, row.values[1]);
    }
    EXPECT_EQ(kept_low, low);
    EXPECT_EQ(kept_high, high);
    EXPECT_EQ(spike_high, 1e6);
    EXPECT_EQ(table.rows().back().values, (std::vector<double>{0.25, -1}));
    EXPECT_EQ(table.rows().back().ms, ms + 1000);
    EXPECT_GT(table.decimated_ms(), 0u);
    EXPECT_EQ(table.samples(), 200001u);
    for (size_t i = 1; i < table.rows().size(); ++i)
        ASSERT_LE(table.rows()[i - 1].ms, table.rows()[i].ms) << "time goes forward";
    Svg svg = read_svg(plot_svg_time(table, ""));
    ASSERT_TRUE(svg.well_formed) << svg.error;
    bool said = false;
    for (const std::string& t : svg.texts) said = said || t.find("min and max per") != t.npos;
    EXPECT_TRUE(said) << "the legend says the samples were decimated";
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
    EXPECT_TRUE(svg.marked["kelvor.y_Real against kelvor.x_Real"]) << "start and end markers";
    EXPECT_TRUE(has_text(svg, "x: kelvor.x_Real, y: kelvor.y_Real"));
    EXPECT_TRUE(has_text(svg, "start"));
    EXPECT_TRUE(has_text(svg, "end"));
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

// The format is the one asked for, whatever the file's name says.
TEST(Plot, FormatFollowsTheOptionNotTheName) {
    PlotTable table({"a"});
    table.sample(0, {1});
    PlotSpec spec{{"a"}, false};
    struct Case {
        PlotFormat format;
        const char* path;
        const char* starts;
    };
    for (Case c :
         {Case{PlotFormat::Csv, "x.txt", "time_ms,a\n"},
          Case{PlotFormat::Csv, "x.svg", "time_ms,a\n"}, Case{PlotFormat::Svg, "x.csv", "<?xml"},
          Case{PlotFormat::FromName, "x.csv", "time_ms,a\n"},
          Case{PlotFormat::FromName, "x.svg", "<?xml"}}) {
        EXPECT_TRUE(plot_text(table, spec, c.format, c.path).starts_with(c.starts)) << c.path;
    }
}

// Writing a plot's file: a link at the target is replaced, never written through; an
// existing file is replaced; a missing folder, a read-only one and a full disk fail
// saying so; nothing but the target is ever left in the folder.
TEST(Plot, FilesAreReplacedThroughATemporaryFileThatNeverStays) {
    namespace fs = std::filesystem;
    hmi::test::TempDir temp;
    fs::path dir = temp.path;
    auto read = [](const fs::path& p) {
        std::ifstream f(p);
        return std::string(std::istreambuf_iterator<char>(f), {});
    };
    auto write = [](const fs::path& p, const std::string& text) { std::ofstream(p) << text; };
    auto listing = [&](const fs::path& d) {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(d)) names.push_back(e.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    };
    struct Case {
        const char* what;
        std::function<fs::path()> arrange;  // the target
        std::string error;                  // what the message holds; empty: success
        std::function<void(const fs::path&)> after;
    };
    std::vector<Case> cases = {
        {"a new file", [&] { return dir / "new" / "p.svg"; }, "",
         [&](const fs::path& t) { EXPECT_EQ(read(t), "NEW"); }},
        {"an existing file",
         [&] {
             write(dir / "old" / "p.svg", "OLD");
             return dir / "old" / "p.svg";
         },
         "", [&](const fs::path& t) { EXPECT_EQ(read(t), "NEW"); }},
        {"a symbolic link: replaced, its target untouched",
         [&] {
             write(dir / "link" / "victim", "KEEP");
             fs::create_symlink("victim", dir / "link" / "p.svg");
             return dir / "link" / "p.svg";
         },
         "",
         [&](const fs::path& t) {
             EXPECT_FALSE(fs::is_symlink(t));
             EXPECT_EQ(read(t), "NEW");
             EXPECT_EQ(read(dir / "link" / "victim"), "KEEP");
         }},
        {"the old fixed temporary name as a link",
         [&] {
             write(dir / "tmplink" / "victim", "KEEP");
             fs::create_symlink("victim", dir / "tmplink" / "p.svg.tmp");
             return dir / "tmplink" / "p.svg";
         },
         "", [&](const fs::path&) { EXPECT_EQ(read(dir / "tmplink" / "victim"), "KEEP"); }},
        {"a missing folder", [&] { return dir / "missing" / "gone" / "p.svg"; }, "cannot create",
         nullptr},
        {"a read-only folder",
         [&] {
             fs::permissions(dir / "ro", fs::perms::owner_read | fs::perms::owner_exec);
             return dir / "ro" / "p.svg";
         },
         geteuid() == 0 ? "" : "Permission denied", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const char* d : {"new", "old", "link", "tmplink", "ro"})
            fs::create_directories(dir / d);
        fs::path target = c.arrange();
        std::vector<std::string> before = fs::exists(target.parent_path())
                                              ? listing(target.parent_path())
                                              : std::vector<std::string>{};
        std::string error = write_plot_file(target, "NEW");
        if (c.error.empty()) {
            EXPECT_EQ(error, "");
        } else {
            EXPECT_NE(error.find(c.error), std::string::npos) << error;
            EXPECT_NE(error.find(target.string()), std::string::npos) << error;
        }
        if (fs::exists(target.parent_path())) {
            for (const std::string& name : listing(target.parent_path()))
                EXPECT_EQ(name.find(".tmp."), std::string::npos) << name << " was left behind";
            if (!c.error.empty()) {
                EXPECT_EQ(listing(target.parent_path()), before);
            }
        }
        if (c.after) c.after(target);
    }
    // A full disk, as a file size limit: the write fails, the old file stays whole.
    write(dir / "old" / "full.svg", "OLD");
    struct rlimit saved;
    ::getrlimit(RLIMIT_FSIZE, &saved);
    auto old_handler = ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = {64, saved.rlim_max};
    ::setrlimit(RLIMIT_FSIZE, &small);
    std::string error = write_plot_file(dir / "old" / "full.svg", std::string(4096, 'x'));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::signal(SIGXFSZ, old_handler);
    EXPECT_NE(error.find("File too large"), std::string::npos) << error;
    EXPECT_EQ(read(dir / "old" / "full.svg"), "OLD");
    for (const std::string& name : listing(dir / "old"))
        EXPECT_EQ(name.find(".tmp."), std::string::npos) << name << " was left behind";
    fs::permissions(dir / "ro", fs::perms::owner_all);
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
