#include "sim/engine/plot.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "host/event.hpp"
#include "host/lines.hpp"
#include "sim/engine/fd.hpp"

namespace hmi::sim {
namespace {

constexpr double kWidth = 800, kHeight = 450;
constexpr double kLeft = 80, kRight = 780, kTop = 50, kBottom = 390;  // the plot area
constexpr const char* kColours[] = {"#1f77b4", "#d62728", "#2ca02c", "#ff7f0e",
                                    "#9467bd", "#8c564b", "#e377c2", "#17becf"};
constexpr size_t kColourCount = sizeof kColours / sizeof kColours[0];

// A coordinate of the picture: two decimals are finer than any screen.
std::string coord(double v) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.2f", v);
    return buffer;
}

std::string escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

// A range with round steps between 4 and 10 of them.
struct Axis {
    double low = 0, high = 1, step = 1;

    Axis(double lo, double hi) {
        if (!(hi > lo)) {  // flat, or nothing to show
            double pad = std::fabs(lo) > 0 ? std::fabs(lo) * 0.1 : 1;
            lo -= pad;
            hi += pad;
        }
        double raw = (hi - lo) / 6;
        double magnitude = std::pow(10, std::floor(std::log10(raw)));
        double f = raw / magnitude;
        step = (f < 1.5 ? 1 : f < 3 ? 2 : f < 7 ? 5 : 10) * magnitude;
        low = std::floor(lo / step) * step;
        high = std::ceil(hi / step) * step;
    }
    // Simulated time in ms, with steps of whole seconds, minutes or hours (or tenths of a
    // second for short spans), labelled mm:ss, or hh:mm:ss past an hour.
    static Axis time(double lo, double hi) {
        Axis a(0, 1);
        if (!(hi > lo)) hi = lo + 1000;
        static constexpr double kSteps[] = {100,      200,      500,     1000,    2000,    5000,
                                            10000,    15000,    30000,   60000,   120000,  300000,
                                            600000,   900000,   1800000, 3600000, 7200000, 10800000,
                                            21600000, 43200000, 86400000};
        a.step = kSteps[sizeof kSteps / sizeof kSteps[0] - 1];
        for (double s : kSteps) {
            if ((hi - lo) / s <= 8) {
                a.step = s;
                break;
            }
        }
        while ((hi - lo) / a.step > 8) a.step *= 2;  // spans of many days
        a.low = std::floor(lo / a.step) * a.step;
        a.high = std::ceil(hi / a.step) * a.step;
        a.clock = true;
        return a;
    }
    std::string label(double v) const {
        if (clock) return clock_text(v, high >= 3600000, step < 1000);
        int decimals = step >= 1 ? 0 : static_cast<int>(std::ceil(-std::log10(step) - 1e-9));
        char buffer[40];
        std::snprintf(buffer, sizeof buffer, "%.*f", decimals, std::fabs(v) < step / 1e6 ? 0 : v);
        return buffer;
    }
    int ticks() const { return static_cast<int>(std::lround((high - low) / step)); }

    // mm:ss (hh:mm:ss with hours), tenths when asked.
    static std::string clock_text(double ms, bool hours, bool tenths) {
        auto whole = static_cast<uint64_t>(std::llround(std::max(ms, 0.0) / 100));  // tenths
        uint64_t s = whole / 10;
        char buffer[48];
        if (hours) {
            std::snprintf(buffer, sizeof buffer, "%02llu:%02llu:%02llu",
                          static_cast<unsigned long long>(s / 3600),
                          static_cast<unsigned long long>(s / 60 % 60),
                          static_cast<unsigned long long>(s % 60));
        } else {
            std::snprintf(buffer, sizeof buffer, "%02llu:%02llu",
                          static_cast<unsigned long long>(s / 60),
                          static_cast<unsigned long long>(s % 60));
        }
        std::string text = buffer;
        if (tenths) text += "." + std::to_string(whole % 10);
        return text;
    }

    bool clock = false;
};

// A legend's entry: a line of the tag's colour, an on/off lane's block, a marker, or a
// note in words.
struct LegendEntry {
    enum Kind { Line, Lane, Start, End, Note } kind;
    std::string text;
    std::string colour;
};

struct Canvas {
    std::string out;
    double x0, x1, y0, y1;  // where the axes run on the picture
    Axis x, y;

    Canvas(const std::string& title, Axis xa, Axis ya, double left, double right, double top,
           double bottom)
        : x0(left), x1(right), y0(bottom), y1(top), x(xa), y(ya) {
        out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
        out += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + host::real_text(kWidth) +
               "\" height=\"" + host::real_text(kHeight) + "\" viewBox=\"0 0 " +
               host::real_text(kWidth) + " " + host::real_text(kHeight) +
               "\" font-family=\"sans-serif\" font-size=\"12\">\n";
        out += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
        out += "<text x=\"" + host::real_text(kWidth / 2) +
               "\" y=\"24\" text-anchor=\"middle\" font-size=\"15\">" + escaped(title) +
               "</text>\n";
    }
    double px(double v) const { return x0 + (v - x.low) / (x.high - x.low) * (x1 - x0); }
    double py(double v) const { return y0 - (v - y.low) / (y.high - y.low) * (y0 - y1); }

    // The axes; `bottom` is where the time axis runs when lanes lie under the values.
    void axes(const std::string& x_label, const std::string& y_label, double bottom = -1,
              bool values = true) {
        if (bottom < 0) bottom = y0;
        out += "<g stroke=\"#dddddd\" stroke-width=\"1\">\n";
        for (int i = 0; i <= x.ticks(); ++i) {
            std::string at = coord(px(x.low + i * x.step));
            out += "<line x1=\"" + at + "\" y1=\"" + coord(bottom) + "\" x2=\"" + at + "\" y2=\"" +
                   coord(y1) + "\"/>\n";
        }
        for (int i = 0; values && i <= y.ticks(); ++i) {
            std::string at = coord(py(y.low + i * y.step));
            out += "<line x1=\"" + coord(x0) + "\" y1=\"" + at + "\" x2=\"" + coord(x1) +
                   "\" y2=\"" + at + "\"/>\n";
        }
        out += "</g>\n<g stroke=\"black\" stroke-width=\"1\">\n";
        out += "<line x1=\"" + coord(x0) + "\" y1=\"" + coord(bottom) + "\" x2=\"" + coord(x1) +
               "\" y2=\"" + coord(bottom) + "\"/>\n";
        out += "<line x1=\"" + coord(x0) + "\" y1=\"" + coord(bottom) + "\" x2=\"" + coord(x0) +
               "\" y2=\"" + coord(y1) + "\"/>\n</g>\n";
        out += "<g class=\"x-ticks\" text-anchor=\"middle\">\n";
        for (int i = 0; i <= x.ticks(); ++i) {
            double v = x.low + i * x.step;
            out += "<text x=\"" + coord(px(v)) + "\" y=\"" + coord(bottom + 16) + "\">" +
                   x.label(v) + "</text>\n";
        }
        out += "</g>\n<g class=\"y-ticks\" text-anchor=\"end\">\n";
        for (int i = 0; values && i <= y.ticks(); ++i) {
            double v = y.low + i * y.step;
            out += "<text x=\"" + coord(x0 - 6) + "\" y=\"" + coord(py(v) + 4) + "\">" +
                   y.label(v) + "</text>\n";
        }
        out += "</g>\n";
        out += "<text class=\"x-label\" x=\"" + coord((x0 + x1) / 2) + "\" y=\"" +
               coord(bottom + 38) + "\" text-anchor=\"middle\">" + escaped(x_label) + "</text>\n";
        if (!values) return;
        out += "<text class=\"y-label\" x=\"16\" y=\"" + coord((y0 + y1) / 2) +
               "\" text-anchor=\"middle\" transform=\"rotate(-90 16 " + coord((y0 + y1) / 2) +
               ")\">" + escaped(y_label) + "</text>\n";
    }

    void polyline(const std::string& name, const char* colour,
                  const std::vector<std::pair<double, double>>& points, bool marked = false) {
        out += "<polyline class=\"series\" data-tag=\"" + escaped(name) +
               "\" fill=\"none\" stroke=\"" + colour + "\" stroke-width=\"1.5\"";
        if (marked) out += " marker-start=\"url(#start)\" marker-end=\"url(#end)\"";
        out += " points=\"";
        for (size_t i = 0; i < points.size(); ++i) {
            out += (i ? " " : "") + coord(px(points[i].first)) + "," + coord(py(points[i].second));
        }
        out += "\"/>\n";
    }

    // Start: a hollow green circle; end: a filled red square. Drawn at the path's ends
    // and in the legend.
    void marker_defs() {
        out +=
            "<defs>\n"
            "<marker id=\"start\" viewBox=\"-6 -6 12 12\" markerWidth=\"12\" "
            "markerHeight=\"12\" markerUnits=\"userSpaceOnUse\">"
            "<circle r=\"4.5\" fill=\"white\" stroke=\"#2ca02c\" stroke-width=\"2.5\"/></marker>\n"
            "<marker id=\"end\" viewBox=\"-6 -6 12 12\" markerWidth=\"12\" "
            "markerHeight=\"12\" markerUnits=\"userSpaceOnUse\">"
            "<rect x=\"-5\" y=\"-5\" width=\"10\" height=\"10\" fill=\"#d62728\"/></marker>\n"
            "</defs>\n";
    }

    // Inside the plot area, at its top right.
    void legend(const std::vector<LegendEntry>& entries) {
        out += "<g class=\"legend\">\n";
        double top = y1 + 8;
        double width = 0;
        for (const auto& e : entries) width = std::max(width, 6.6 * e.text.size());
        out += "<rect x=\"" + coord(x1 - width - 44) + "\" y=\"" + coord(top) + "\" width=\"" +
               coord(width + 36) + "\" height=\"" + coord(entries.size() * 18.0 + 6) +
               "\" fill=\"white\" fill-opacity=\"0.9\" stroke=\"#999999\"/>\n";
        for (size_t i = 0; i < entries.size(); ++i) {
            const LegendEntry& e = entries[i];
            double y = top + 15 + i * 18.0;
            double x = x1 - width - 36;
            std::string mid = coord(y - 4);
            switch (e.kind) {
                case LegendEntry::Line:
                    out += "<line x1=\"" + coord(x) + "\" y1=\"" + mid + "\" x2=\"" +
                           coord(x + 20) + "\" y2=\"" + mid + "\" stroke=\"" + e.colour +
                           "\" stroke-width=\"3\"/>\n";
                    break;
                case LegendEntry::Lane:
                    out += "<rect x=\"" + coord(x) + "\" y=\"" + coord(y - 10) +
                           "\" width=\"20\" height=\"11\" fill=\"" + e.colour +
                           "\" fill-opacity=\"0.55\"/>\n";
                    break;
                case LegendEntry::Start:
                    out +=
                        "<circle cx=\"" + coord(x + 10) + "\" cy=\"" + mid +
                        "\" r=\"4.5\" fill=\"white\" stroke=\"#2ca02c\" stroke-width=\"2.5\"/>\n";
                    break;
                case LegendEntry::End:
                    out += "<rect x=\"" + coord(x + 5) + "\" y=\"" + coord(y - 9) +
                           "\" width=\"10\" height=\"10\" fill=\"#d62728\"/>\n";
                    break;
                case LegendEntry::Note:
                    break;
            }
            bool note = e.kind == LegendEntry::Note;
            out += "<text x=\"" + coord(note ? x : x + 26) + "\" y=\"" + coord(y) + "\"" +
                   (note ? " font-size=\"11\" fill=\"#555555\"" : "") + ">" + escaped(e.text) +
                   "</text>\n";
        }
        out += "</g>\n";
    }

    std::string finish() { return out + "</svg>\n"; }
};

void widen(double v, double* low, double* high) {
    if (!std::isfinite(v)) return;
    *low = std::min(*low, v);
    *high = std::max(*high, v);
}

// A tag that only ever held 0 and 1 is drawn as on/off in a lane of its own.
bool on_off(const std::vector<PlotTable::Row>& rows, size_t column) {
    bool any = false;
    for (const auto& row : rows) {
        double v = row.values[column];
        if (std::isnan(v)) continue;
        if (v != 0 && v != 1) return false;
        any = true;
    }
    return any;
}

// What the legend says of a decimated table.
std::string decimation_note(const PlotTable& table) {
    if (table.decimated_ms() == 0) return {};
    double ms = static_cast<double>(table.decimated_ms());
    return std::to_string(table.samples()) + " samples: min and max per " +
           Axis::clock_text(ms, ms >= 3600000, ms < 1000);
}

}  // namespace

std::optional<PlotSpec> PlotSpec::parse(std::string_view text, std::string* error) {
    PlotSpec spec;
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(',', start);
        if (comma == std::string_view::npos) comma = text.size();
        parts.emplace_back(text.substr(start, comma - start));
        start = comma + 1;
    }
    bool any_axis = false;
    for (const std::string& p : parts)
        any_axis = any_axis || p.starts_with("x=") || p.starts_with("y=");
    if (any_axis) {
        if (parts.size() != 2 || !parts[0].starts_with("x=") || !parts[1].starts_with("y=") ||
            parts[0].size() == 2 || parts[1].size() == 2) {
            *error = host::quoted_excerpt(text) + ": expected x=TAG,y=TAG";
            return std::nullopt;
        }
        spec.xy = true;
        spec.tags = {parts[0].substr(2), parts[1].substr(2)};
        return spec;
    }
    for (const std::string& p : parts) {
        if (p.empty()) {
            *error = host::quoted_excerpt(text) + ": expected TAG,TAG... or x=TAG,y=TAG";
            return std::nullopt;
        }
    }
    spec.tags = parts;
    return spec;
}

void PlotTable::sample(uint64_t ms, const std::vector<double>& values) {
    if (!last_.empty()) {
        bool same = true;
        for (size_t i = 0; i < values.size(); ++i) {
            // NaN never equals itself: a tag that holds one is kept once.
            if (!(last_[i] == values[i]) && !(std::isnan(last_[i]) && std::isnan(values[i])))
                same = false;
        }
        if (same) return;
    }
    last_ = values;
    ++samples_;
    rows_.push_back({ms, values});
    if (rows_.size() > limit_) decimate();
}

// Down to at most half the limit: the rows of each interval (a width that at least
// doubles each time) give way to two, holding each tag's minimum and maximum in the
// order they came; an interval of one or two rows stays as it is.
void PlotTable::decimate() {
    uint64_t first = rows_.front().ms, span = rows_.back().ms - first;
    uint64_t buckets = limit_ / 4;
    uint64_t width = std::max<uint64_t>({bucket_ms_ * 2, span / buckets + 1, 1});
    std::vector<Row> kept;
    kept.reserve(limit_ / 2 + 2);
    size_t columns = names_.size();
    for (size_t i = 0; i < rows_.size();) {
        uint64_t bucket = (rows_[i].ms - first) / width;
        size_t end = i;
        while (end < rows_.size() && (rows_[end].ms - first) / width == bucket) ++end;
        if (end - i <= 2) {
            for (size_t k = i; k < end; ++k) kept.push_back(std::move(rows_[k]));
        } else {
            Row early{rows_[i].ms, std::vector<double>(columns, NAN)};
            Row late{rows_[end - 1].ms, std::vector<double>(columns, NAN)};
            for (size_t c = 0; c < columns; ++c) {
                size_t low = end, high = end;
                for (size_t k = i; k < end; ++k) {
                    double v = rows_[k].values[c];
                    if (std::isnan(v)) continue;
                    if (low == end || v < rows_[low].values[c]) low = k;
                    if (high == end || v > rows_[high].values[c]) high = k;
                }
                if (low == end) continue;
                double first_extreme = rows_[std::min(low, high)].values[c];
                double second_extreme = rows_[std::max(low, high)].values[c];
                early.values[c] = first_extreme;
                late.values[c] = second_extreme;
            }
            kept.push_back(std::move(early));
            kept.push_back(std::move(late));
        }
        i = end;
    }
    rows_ = std::move(kept);
    bucket_ms_ = width;
}

void PlotTable::finish(uint64_t ms) {
    if (rows_.empty()) return;
    // After a decimation the last row may hold an extreme: the line ends at the last value.
    if (rows_.back().ms < ms || rows_.back().values != last_)
        rows_.push_back({std::max(ms, rows_.back().ms), last_});
}

std::string plot_csv(const PlotTable& table) {
    std::string out = "time_ms";
    for (const std::string& name : table.names()) {
        bool quote = name.find_first_of(",\"") != std::string::npos;
        std::string cell = name;
        if (quote) {
            cell.clear();
            for (char c : name) cell += c == '"' ? std::string("\"\"") : std::string(1, c);
            cell = "\"" + cell + "\"";
        }
        out += "," + cell;
    }
    out += "\n";
    for (const PlotTable::Row& row : table.rows()) {
        out += std::to_string(row.ms);
        for (double v : row.values) out += "," + host::real_text(v);
        out += "\n";
    }
    return out;
}

std::string plot_svg_time(const PlotTable& table, const std::string& title) {
    const auto& rows = table.rows();
    double first = rows.empty() ? 0 : static_cast<double>(rows.front().ms);
    double last = rows.empty() ? 0 : static_cast<double>(rows.back().ms);
    std::vector<size_t> values, lanes;
    for (size_t column = 0; column < table.names().size(); ++column)
        (on_off(rows, column) ? lanes : values).push_back(column);
    double low = INFINITY, high = -INFINITY;
    for (const auto& row : rows) {
        for (size_t column : values) widen(row.values[column], &low, &high);
    }
    if (low > high) low = high = 0;
    // On/off lanes under the values, 24 units each, the time axis under them.
    constexpr double kLane = 24;
    double lanes_top = values.empty() ? kTop : kBottom - lanes.size() * kLane;
    if (!values.empty() && !lanes.empty()) lanes_top = std::max(lanes_top, kTop + 120);
    double value_bottom = lanes.empty() ? kBottom : lanes_top - 10;
    double lane = lanes.empty() ? 0 : std::min(kLane, (kBottom - lanes_top) / lanes.size());
    Canvas canvas(title, Axis::time(first, last), Axis(low, high), kLeft, kRight, kTop,
                  values.empty() ? kBottom : value_bottom);
    bool hours = canvas.x.high >= 3600000;
    canvas.axes(std::string("simulated time (") + (hours ? "hh:mm:ss" : "mm:ss") + ")", "value",
                kBottom, !values.empty());
    std::vector<LegendEntry> legend;
    for (size_t column : values) {
        // Level between changes: a change draws a step up or down at its moment.
        std::vector<std::pair<double, double>> points;
        for (size_t i = 0; i < rows.size(); ++i) {
            double t = static_cast<double>(rows[i].ms), v = rows[i].values[column];
            if (!std::isfinite(v)) continue;
            bool end = i + 1 == rows.size();
            if (!points.empty() && points.back().second == v && !end) continue;
            if (!points.empty() && points.back().second != v)
                points.emplace_back(t, points.back().second);
            if (points.empty() || points.back() != std::make_pair(t, v)) points.emplace_back(t, v);
        }
        const char* colour = kColours[column % kColourCount];
        canvas.polyline(table.names()[column], colour, points);
        legend.push_back({LegendEntry::Line, table.names()[column], colour});
    }
    for (size_t k = 0; k < lanes.size(); ++k) {
        size_t column = lanes[k];
        const char* colour = kColours[column % kColourCount];
        double top = lanes_top + k * lane + 3, height = lane - 6;
        const std::string& name = table.names()[column];
        canvas.out += "<g class=\"lane\" data-tag=\"" + escaped(name) + "\">\n<rect x=\"" +
                      coord(kLeft) + "\" y=\"" + coord(top) + "\" width=\"" +
                      coord(kRight - kLeft) + "\" height=\"" + coord(height) +
                      "\" fill=\"#f4f4f4\"/>\n";
        // One block for each stretch of time the tag is on.
        for (size_t i = 0; i < rows.size(); ++i) {
            if (rows[i].values[column] != 1) continue;
            size_t j = i + 1;
            while (j < rows.size() && rows[j].values[column] == 1) ++j;
            double from = canvas.px(static_cast<double>(rows[i].ms));
            double to = canvas.px(static_cast<double>(j < rows.size() ? rows[j].ms : rows[i].ms));
            canvas.out += "<rect class=\"on\" x=\"" + coord(from) + "\" y=\"" + coord(top) +
                          "\" width=\"" + coord(std::max(to - from, 1.0)) + "\" height=\"" +
                          coord(height) + "\" fill=\"" + colour + "\" fill-opacity=\"0.55\"/>\n";
            i = j - 1;
        }
        canvas.out += "<text x=\"" + coord(kLeft - 6) + "\" y=\"" + coord(top + height / 2 + 4) +
                      "\" text-anchor=\"end\" font-size=\"10\">on/off</text>\n";
        canvas.out += "<text x=\"" + coord(kLeft + 4) + "\" y=\"" + coord(top + height / 2 + 4) +
                      "\" font-size=\"11\">" + escaped(name) + "</text>\n</g>\n";
        legend.push_back({LegendEntry::Lane, name + " (on/off)", colour});
    }
    std::string note = decimation_note(table);
    if (!note.empty()) legend.push_back({LegendEntry::Note, note, ""});
    canvas.legend(legend);
    return canvas.finish();
}

std::string plot_svg_xy(const PlotTable& table, const std::string& title) {
    const auto& rows = table.rows();
    double x_low = INFINITY, x_high = -INFINITY, y_low = INFINITY, y_high = -INFINITY;
    std::vector<std::pair<double, double>> points;
    for (const auto& row : rows) {
        double x = row.values.at(0), y = row.values.at(1);
        if (!std::isfinite(x) || !std::isfinite(y)) continue;
        if (!points.empty() && points.back() == std::make_pair(x, y)) continue;
        points.emplace_back(x, y);
        widen(x, &x_low, &x_high);
        widen(y, &y_low, &y_high);
    }
    if (points.empty()) x_low = x_high = y_low = y_high = 0;
    Axis xa(x_low, x_high), ya(y_low, y_high);
    // One scale for both axes, so that a circle stays round.
    double scale =
        std::min((kRight - kLeft) / (xa.high - xa.low), (kBottom - kTop) / (ya.high - ya.low));
    double right = kLeft + (xa.high - xa.low) * scale;
    double top = kBottom - (ya.high - ya.low) * scale;
    Canvas canvas(title, xa, ya, kLeft, right, top, kBottom);
    const std::string& x_name = table.names().at(0);
    const std::string& y_name = table.names().at(1);
    canvas.marker_defs();
    canvas.axes(x_name, y_name);
    canvas.polyline(y_name + " against " + x_name, kColours[0], points, true);
    canvas.x1 = kRight;  // the legend at the right of the picture, not of the path
    std::vector<LegendEntry> legend = {
        {LegendEntry::Line, "x: " + x_name + ", y: " + y_name, kColours[0]},
        {LegendEntry::Start, "start", ""},
        {LegendEntry::End, "end", ""}};
    std::string note = decimation_note(table);
    if (!note.empty()) legend.push_back({LegendEntry::Note, note, ""});
    canvas.legend(legend);
    return canvas.finish();
}

std::string plot_text(const PlotTable& table, const PlotSpec& spec, PlotFormat format,
                      const std::string& path) {
    if (format == PlotFormat::FromName)
        format = path.ends_with(".csv") ? PlotFormat::Csv : PlotFormat::Svg;
    if (format == PlotFormat::Csv) return plot_csv(table);
    if (spec.xy) return plot_svg_xy(table, table.names()[1] + " against " + table.names()[0]);
    std::string title;
    for (const std::string& n : table.names()) title += (title.empty() ? "" : ", ") + n;
    return plot_svg_time(table, title);
}

std::string write_plot_file(const std::string& path, const std::string& text) {
    auto failed = [&](const std::string& what, int error) {
        return "cannot write " + path + ": " + what + ": " + std::strerror(error);
    };
    std::string temp;
    int fd = -1;
    // A name no one else uses: this process's id and a count; O_EXCL makes sure.
    static unsigned count = 0;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = path + ".tmp." + std::to_string(::getpid()) + "." + std::to_string(++count);
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) return failed("cannot create " + temp, errno);
    }
    if (fd < 0) return failed("cannot create " + temp, EEXIST);
    int error = write_fully(fd, text.data(), text.size()) ? 0 : errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && ::rename(temp.c_str(), path.c_str()) != 0) error = errno;
    if (error != 0) {
        ::unlink(temp.c_str());
        return failed("through " + temp, error);
    }
    return {};
}

}  // namespace hmi::sim
