// Plots of numeric tags: the values sampled after every event of a run, written as an
// SVG picture or as CSV.
//
// Two kinds of picture: the tags against simulated time (one line each, held level
// between changes, the time axis in mm:ss or hh:mm:ss, on/off tags in lanes of their
// own under the values, a legend inside the picture), and one tag against another
// (`x=TAG,y=TAG`: the path the pair draws, its start and end marked by distinct
// markers).
//
// Memory is bounded: past kPlotRowLimit rows the table is decimated by time, keeping
// each interval's minimum and maximum of every tag, and the legend says so.
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

inline constexpr size_t kPlotRowLimit = 20000;

// The sampled values: one row each time any of them changed, and one at the end.
class PlotTable {
  public:
    struct Row {
        uint64_t ms = 0;  // simulated time
        std::vector<double> values;
    };

    explicit PlotTable(std::vector<std::string> names, size_t row_limit = kPlotRowLimit)
        : names_(std::move(names)), limit_(row_limit < 8 ? 8 : row_limit) {}

    // Keeps the values when they differ from the last ones sampled (or for the first).
    void sample(uint64_t ms, const std::vector<double>& values);
    // Carries the last values to the end of the run, so that lines reach it.
    void finish(uint64_t ms);

    const std::vector<std::string>& names() const { return names_; }
    const std::vector<Row>& rows() const { return rows_; }
    // The interval whose minimum and maximum stand for its rows; 0 while every row is kept.
    uint64_t decimated_ms() const { return bucket_ms_; }
    uint64_t samples() const { return samples_; }  // rows sampled, before any decimation

  private:
    void decimate();

    std::vector<std::string> names_;
    size_t limit_;
    std::vector<Row> rows_;
    std::vector<double> last_;  // the values sampled last, as they were
    uint64_t bucket_ms_ = 0;
    uint64_t samples_ = 0;
};

// What a plot's file holds: SVG or CSV as the option that named it says (--csv,
// -o), or as its name ends for `plot SPEC FILE`.
enum class PlotFormat { FromName, Svg, Csv };

// "time_ms,TAG,...": one line a row, numbers in their shortest exact form.
std::string plot_csv(const PlotTable& table);
// The tags against simulated time. `title` heads the picture.
std::string plot_svg_time(const PlotTable& table, const std::string& title);
// The first column against the second.
std::string plot_svg_xy(const PlotTable& table, const std::string& title);
// The file's text for the plot in the format asked for.
std::string plot_text(const PlotTable& table, const PlotSpec& spec, PlotFormat format,
                      const std::string& path);

// Replaces PATH by TEXT through a temporary file of a unique name beside it (created
// with O_EXCL|O_NOFOLLOW: it never follows a link nor takes an existing file), renamed
// over PATH; a symbolic link at PATH is replaced, never written through. On failure
// PATH is as it was and the temporary file is gone. Empty on success, else why.
std::string write_plot_file(const std::string& path, const std::string& text);

}  // namespace hmi::sim
