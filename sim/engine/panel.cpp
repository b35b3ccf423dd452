#include "sim/engine/panel.hpp"

#include <charconv>
#include <filesystem>
#include <set>
#include <stdexcept>

#include "host/lines.hpp"

namespace hmi::sim {

std::string read_file(const std::string& path) {
    return host::read_text_file(path);
}

namespace {
std::string parse_window(Panel& panel, const std::vector<std::string>& w, int number) {
    if (w.size() < 2) return "expected: window NAME [start] [modal] [handlers=NAME|none]";
    PanelWindow window;
    window.name = w[1];
    window.handlers = window.name;
    window.line = number;
    for (size_t i = 2; i < w.size(); ++i) {
        if (w[i] == "start") {
            window.start = true;
        } else if (w[i] == "modal") {
            window.modal = true;
        } else if (w[i].rfind("handlers=", 0) == 0 && w[i].size() > 9) {
            window.handlers = w[i].substr(9) == "none" ? "" : w[i].substr(9);
        } else {
            return "unknown window flag " + host::quoted_excerpt(w[i]);
        }
    }
    if (const PanelWindow* twin = panel.window(window.name)) {
        return "window " + window.name + " is already defined at line " +
               std::to_string(twin->line);
    }
    panel.windows.push_back(std::move(window));
    return {};
}

std::string parse_timer(Panel& panel, const std::vector<std::string>& w, int number,
                        std::set<std::string>& timer_keys) {
    if (w.size() < 4 || w.size() > 5) return "expected: timer WINDOW WIDGET PERIOD-MS [enable]";
    PanelTimer timer;
    timer.window = w[1];
    timer.widget = w[2];
    timer.line = number;
    if (panel.window(timer.window) == nullptr) {
        return "timer of window " + timer.window + ", which is not defined above";
    }
    auto [end, ec] = std::from_chars(w[3].data(), w[3].data() + w[3].size(), timer.period_ms);
    if (ec != std::errc() || end != w[3].data() + w[3].size() || timer.period_ms == 0) {
        return "period " + host::quoted_excerpt(w[3]) + " is not a whole number of ms above 0";
    }
    if (w.size() == 5 && w[4] != "enable")
        return "unknown timer flag " + host::quoted_excerpt(w[4]);
    timer.enable = w.size() == 5;
    if (!timer_keys.insert(timer.window + " " + timer.widget).second) {
        return "timer " + timer.window + " " + timer.widget + " is already defined";
    }
    panel.timers.push_back(std::move(timer));
    return {};
}
}  // namespace

Panel Panel::parse(const host::Catalogue& catalogue, std::string_view text,
                   const std::string& origin) {
    Panel panel;
    panel.catalogue = catalogue;
    panel.tags = std::make_shared<const host::TagTable>(catalogue.tags);
    std::set<std::string> timer_keys;
    host::LineErrors errors(origin);
    host::for_each_line(text, errors, [&](int number, std::string_view line) -> std::string {
        std::vector<std::string> w;
        std::string error;
        if (!host::split_words(line, &w, &error)) return error;
        if (w.empty()) return {};
        if (w[0] == "window") return parse_window(panel, w, number);
        if (w[0] == "timer") return parse_timer(panel, w, number, timer_keys);
        return "unknown line " + host::quoted_excerpt(w[0]) + ": expected window or timer";
    });
    if (errors.count() > 0) throw std::runtime_error(errors.joined());
    return panel;
}

Panel Panel::load(const std::string& directory) {
    host::Catalogue catalogue = host::Catalogue::load(directory + "/tags.txt");
    std::string path = directory + "/windows.txt";
    Panel panel = parse(catalogue, read_file(path), path);
    // Labels are optional: a panel without them names its widgets by their own names.
    std::string labels_path = directory + "/widgets.txt";
    if (std::filesystem::exists(labels_path)) {
        panel.labels = WidgetLabels::parse(read_file(labels_path), labels_path);
    }
    panel.directory = directory;
    return panel;
}

const PanelWindow* Panel::window(std::string_view name) const {
    int i = window_index(name);
    return i < 0 ? nullptr : &windows[i];
}

int Panel::window_index(std::string_view name) const {
    for (size_t i = 0; i < windows.size(); ++i) {
        if (windows[i].name == name) return static_cast<int>(i);
    }
    return -1;
}

}  // namespace hmi::sim
