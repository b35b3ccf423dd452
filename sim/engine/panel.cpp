#include "sim/engine/panel.hpp"

#include <charconv>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>

namespace hmi::sim {

namespace {
std::vector<std::string_view> words(std::string_view line) {
    std::vector<std::string_view> out;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
        size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') ++i;
        if (i > start) out.push_back(line.substr(start, i - start));
    }
    return out;
}
}  // namespace

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error(path + ": cannot be read");
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

Panel Panel::parse(const host::Catalogue& catalogue, std::string_view text,
                   const std::string& origin) {
    Panel panel;
    panel.catalogue = catalogue;
    std::set<std::string> timer_keys;
    int number = 0;
    while (!text.empty()) {
        size_t eol = text.find('\n');
        std::string_view line = text.substr(0, eol);
        text = eol == std::string_view::npos ? std::string_view{} : text.substr(eol + 1);
        ++number;
        auto fail = [&](const std::string& what) {
            throw std::runtime_error(origin + ":" + std::to_string(number) + ": " + what);
        };
        line = line.substr(0, line.find('#'));
        std::vector<std::string_view> w = words(line);
        if (w.empty()) continue;
        if (w[0] == "window") {
            if (w.size() < 2) fail("expected: window NAME [start] [modal] [handlers=NAME|none]");
            PanelWindow window;
            window.name = std::string(w[1]);
            window.handlers = window.name;
            window.line = number;
            for (size_t i = 2; i < w.size(); ++i) {
                if (w[i] == "start") {
                    window.start = true;
                } else if (w[i] == "modal") {
                    window.modal = true;
                } else if (w[i].substr(0, 9) == "handlers=" && w[i].size() > 9) {
                    window.handlers = w[i].substr(9) == "none" ? "" : std::string(w[i].substr(9));
                } else {
                    fail("unknown window flag '" + std::string(w[i]) + "'");
                }
            }
            if (const PanelWindow* twin = panel.window(window.name)) {
                fail("window " + window.name + " is already defined at line " +
                     std::to_string(twin->line));
            }
            panel.windows.push_back(std::move(window));
        } else if (w[0] == "timer") {
            if (w.size() < 4 || w.size() > 5) {
                fail("expected: timer WINDOW WIDGET PERIOD-MS [enable]");
            }
            PanelTimer timer;
            timer.window = std::string(w[1]);
            timer.widget = std::string(w[2]);
            timer.line = number;
            if (panel.window(timer.window) == nullptr) {
                fail("timer of window " + timer.window + ", which is not defined above");
            }
            auto [end, ec] =
                std::from_chars(w[3].data(), w[3].data() + w[3].size(), timer.period_ms);
            if (ec != std::errc() || end != w[3].data() + w[3].size() || timer.period_ms == 0) {
                fail("period '" + std::string(w[3]) + "' is not a whole number of ms above 0");
            }
            if (w.size() == 5) {
                if (w[4] != "enable") fail("unknown timer flag '" + std::string(w[4]) + "'");
                timer.enable = true;
            }
            if (!timer_keys.insert(timer.window + " " + timer.widget).second) {
                fail("timer " + timer.window + " " + timer.widget + " is already defined");
            }
            panel.timers.push_back(std::move(timer));
        } else {
            fail("unknown line '" + std::string(w[0]) + "': expected window or timer");
        }
    }
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
