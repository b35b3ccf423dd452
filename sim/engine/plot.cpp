#include "sim/engine/plot.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "host/event.hpp"

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
    std::string label(double v) const {
        int decimals = step >= 1 ? 0 : static_cast<int>(std::ceil(-std::log10(step) - 1e-9));
        char buffer[40];
        std::snprintf(buffer, sizeof buffer, "%.*f", decimals, std::fabs(v) < step / 1e6 ? 0 : v);
        return buffer;
    }
    int ticks() const { return static_cast<int>(std::lround((high - low) / step)); }
};

struct TimeUnit {
    const char* name;
    double ms;
};
TimeUnit unit_for(double span_ms) {
    if (span_ms <= 2000) return {"ms", 1};
    if (span_ms <= 120000) return {"s", 1000};
    if (span_ms <= 7200000) return {"min", 60000};
    return {"h", 3600000};
}

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

    void axes(const std::string& x_label, const std::string& y_label) {
        out += "<g stroke=\"#dddddd\" stroke-width=\"1\">\n";
        for (int i = 0; i <= x.ticks(); ++i) {
            std::string at = coord(px(x.low + i * x.step));
            out += "<line x1=\"" + at + "\" y1=\"" + coord(y0) + "\" x2=\"" + at + "\" y2=\"" +
                   coord(y1) + "\"/>\n";
        }
        for (int i = 0; i <= y.ticks(); ++i) {
            std::string at = coord(py(y.low + i * y.step));
            out += "<line x1=\"" + coord(x0) + "\" y1=\"" + at + "\" x2=\"" + coord(x1) +
                   "\" y2=\"" + at + "\"/>\n";
        }
        out += "</g>\n<g stroke=\"black\" stroke-width=\"1\">\n";
        out += "<line x1=\"" + coord(x0) + "\" y1=\"" + coord(y0) + "\" x2=\"" + coord(x1) +
               "\" y2=\"" + coord(y0) + "\"/>\n";
        out += "<line x1=\"" + coord(x0) + "\" y1=\"" + coord(y0) + "\" x2=\"" + coord(x0) +
               "\" y2=\"" + coord(y1) + "\"/>\n</g>\n";
        out += "<g class=\"x-ticks\" text-anchor=\"middle\">\n";
        for (int i = 0; i <= x.ticks(); ++i) {
            double v = x.low + i * x.step;
            out += "<text x=\"" + coord(px(v)) + "\" y=\"" + coord(y0 + 16) + "\">" + x.label(v) +
                   "</text>\n";
        }
        out += "</g>\n<g class=\"y-ticks\" text-anchor=\"end\">\n";
        for (int i = 0; i <= y.ticks(); ++i) {
            double v = y.low + i * y.step;
            out += "<text x=\"" + coord(x0 - 6) + "\" y=\"" + coord(py(v) + 4) + "\">" +
                   y.label(v) + "</text>\n";
        }
        out += "</g>\n";
        out += "<text class=\"x-label\" x=\"" + coord((x0 + x1) / 2) + "\" y=\"" + coord(y0 + 38) +
               "\" text-anchor=\"middle\">" + escaped(x_label) + "</text>\n";
        out += "<text class=\"y-label\" x=\"16\" y=\"" + coord((y0 + y1) / 2) +
               "\" text-anchor=\"middle\" transform=\"rotate(-90 16 " + coord((y0 + y1) / 2) +
               ")\">" + escaped(y_label) + "</text>\n";
    }

    void polyline(const std::string& name, const char* colour,
                  const std::vector<std::pair<double, double>>& points) {
        out += "<polyline class=\"series\" data-tag=\"" + escaped(name) +
               "\" fill=\"none\" stroke=\"" + colour + "\" stroke-width=\"1.5\" points=\"";
        for (size_t i = 0; i < points.size(); ++i) {
            out += (i ? " " : "") + coord(px(points[i].first)) + "," + coord(py(points[i].second));
        }
        out += "\"/>\n";
    }

    void legend(const std::vector<std::pair<std::string, std::string>>& entries) {
        out += "<g class=\"legend\">\n";
        double top = y1 + 8;
        double width = 0;
        for (const auto& e : entries) width = std::max(width, 7.0 * e.first.size());
        out += "<rect x=\"" + coord(x1 - width - 44) + "\" y=\"" + coord(top) + "\" width=\"" +
               coord(width + 36) + "\" height=\"" + coord(entries.size() * 18.0 + 6) +
               "\" fill=\"white\" fill-opacity=\"0.85\" stroke=\"#999999\"/>\n";
        for (size_t i = 0; i < entries.size(); ++i) {
            double y = top + 15 + i * 18.0;
            double x = x1 - width - 36;
            out += "<line x1=\"" + coord(x) + "\" y1=\"" + coord(y - 4) + "\" x2=\"" +
                   coord(x + 20) + "\" y2=\"" + coord(y - 4) + "\" stroke=\"" + entries[i].second +
                   "\" stroke-width=\"3\"/>\n";
            out += "<text x=\"" + coord(x + 26) + "\" y=\"" + coord(y) + "\">" +
                   escaped(entries[i].first) + "</text>\n";
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
            *error = "'" + std::string(text) + "': expected x=TAG,y=TAG";
            return std::nullopt;
        }
        spec.xy = true;
        spec.tags = {parts[0].substr(2), parts[1].substr(2)};
        return spec;
    }
    for (const std::string& p : parts) {
        if (p.empty()) {
            *error = "'" + std::string(text) + "': expected TAG,TAG... or x=TAG,y=TAG";
            return std::nullopt;
        }
    }
    spec.tags = parts;
    return spec;
}

void PlotTable::sample(uint64_t ms, const std::vector<double>& values) {
    if (!rows_.empty()) {
        const std::vector<double>& last = rows_.back().values;
        bool same = true;
        for (size_t i = 0; i < values.size(); ++i) {
            // NaN never equals itself: a tag that holds one is kept once.
            if (!(last[i] == values[i]) && !(std::isnan(last[i]) && std::isnan(values[i])))
                same = false;
        }
        if (same) return;
    }
    rows_.push_back({ms, values});
}

void PlotTable::finish(uint64_t ms) {
    if (!rows_.empty() && rows_.back().ms < ms) rows_.push_back({ms, rows_.back().values});
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
    TimeUnit unit = unit_for(last - first);
    double low = INFINITY, high = -INFINITY;
    for (const auto& row : rows) {
        for (double v : row.values) widen(v, &low, &high);
    }
    if (low > high) low = high = 0;
    Canvas canvas(title, Axis(first / unit.ms, last / unit.ms), Axis(low, high), kLeft, kRight,
                  kTop, kBottom);
    canvas.axes(std::string("simulated time (") + unit.name + ")", "value");
    std::vector<std::pair<std::string, std::string>> legend;
    for (size_t column = 0; column < table.names().size(); ++column) {
        // Level between changes: a change draws a step up or down at its moment.
        std::vector<std::pair<double, double>> points;
        for (size_t i = 0; i < rows.size(); ++i) {
            double t = rows[i].ms / unit.ms, v = rows[i].values[column];
            if (!std::isfinite(v)) continue;
            bool end = i + 1 == rows.size();
            if (!points.empty() && points.back().second == v && !end) continue;
            if (!points.empty() && points.back().second != v)
                points.emplace_back(t, points.back().second);
            if (points.empty() || points.back() != std::make_pair(t, v)) points.emplace_back(t, v);
        }
        const char* colour = kColours[column % kColourCount];
        canvas.polyline(table.names()[column], colour, points);
        legend.emplace_back(table.names()[column], colour);
    }
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
    canvas.axes(x_name, y_name);
    canvas.polyline(y_name + " against " + x_name, kColours[0], points);
    if (!points.empty()) {
        for (auto [point, colour] :
             {std::pair{points.front(), kColours[2]}, std::pair{points.back(), kColours[1]}}) {
            canvas.out += "<circle cx=\"" + coord(canvas.px(point.first)) + "\" cy=\"" +
                          coord(canvas.py(point.second)) + "\" r=\"4\" fill=\"" + colour + "\"/>\n";
        }
    }
    canvas.x1 = kRight;  // the legend at the right of the picture, not of the path
    canvas.legend({{"x: " + x_name + ", y: " + y_name, kColours[0]},
                   {"start", kColours[2]},
                   {"end", kColours[1]}});
    return canvas.finish();
}

}  // namespace hmi::sim
