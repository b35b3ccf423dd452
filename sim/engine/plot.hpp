// Plots of numeric tags: the values sampled after every event of a run, written as an
// SVG picture or as CSV.
//
// Two kinds of picture: the tags against simulated time (one line each, held level
// between changes, the time axis in ms, s, min or h as the span asks, a legend with
// the tag names), and one tag against another (`x=TAG,y=TAG`: the path the pair draws,
// with its start and end marked).
//
// The SVG is written here rather than by a library: the Debian libraries that write
// SVG either draw texts as glyph outlines (cairo), so the tag names would not be
// text in the file, or are plotting interfaces without axes or legends of their own
// (plotutils); what is drawn here is a few lines, texts and polylines.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hmi::sim {

// What to plot, as given to --plot or plot: "TAG,TAG..." or "x=TAG,y=TAG".
struct PlotSpec {
    std::vector<std::string> tags;  // for x=,y=: the x tag, then the y tag
    bool xy = false;

    // Empty with a message when the text is neither form.
    static std::optional<PlotSpec> parse(std::string_view text, std::string* error);
};

// The sampled values: one row each time any of them changed, and one at the end.
class PlotTable {
  public:
    struct Row {
        uint64_t ms = 0;  // simulated time
        std::vector<double> values;
    };

    explicit PlotTable(std::vector<std::string> names) : names_(std::move(names)) {}

    // Keeps the values when they differ from the last row kept (or for the first).
    void sample(uint64_t ms, const std::vector<double>& values);
    // Carries the last values to the end of the run, so that lines reach it.
    void finish(uint64_t ms);

    const std::vector<std::string>& names() const { return names_; }
    const std::vector<Row>& rows() const { return rows_; }

  private:
    std::vector<std::string> names_;
    std::vector<Row> rows_;
};

// "time_ms,TAG,...": one line a row, numbers in their shortest exact form.
std::string plot_csv(const PlotTable& table);
// The tags against simulated time. `title` heads the picture.
std::string plot_svg_time(const PlotTable& table, const std::string& title);
// The first column against the second.
std::string plot_svg_xy(const PlotTable& table, const std::string& title);

}  // namespace hmi::sim
