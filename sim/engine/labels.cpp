#include "sim/engine/labels.hpp"

#include <stdexcept>

namespace hmi::sim {
namespace {

std::string_view trimmed(std::string_view text) {
    size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

}  // namespace

WidgetLabels WidgetLabels::parse(std::string_view text, const std::string& origin) {
    WidgetLabels labels;
    std::string window;
    int number = 0;
    while (!text.empty()) {
        size_t eol = text.find('\n');
        std::string_view line = text.substr(0, eol);
        text = eol == std::string_view::npos ? std::string_view{} : text.substr(eol + 1);
        ++number;
        auto fail = [&](const std::string& what) {
            throw std::runtime_error(origin + ":" + std::to_string(number) + ": " + what);
        };
        line = trimmed(line.substr(0, line.find('#')));
        if (line.empty()) continue;
        if (line.front() == '[') {
            if (line.back() != ']' || line.size() < 3 ||
                line.find_first_of(" \t[]", 1) != line.size() - 1) {
                fail("expected [WINDOW], not '" + std::string(line) + "'");
            }
            window = std::string(line.substr(1, line.size() - 2));
            continue;
        }
        size_t space = line.find_first_of(" \t");
        std::string widget(line.substr(0, space));
        std::string label(space == std::string_view::npos ? "" : trimmed(line.substr(space)));
        if (window.empty()) fail("widget '" + widget + "' before any [WINDOW]");
        if (label.empty()) fail("widget '" + widget + "' of window " + window + " has no label");
        if (!labels.labels_.emplace(Key{window, widget}, label).second) {
            fail("widget '" + widget + "' of window " + window + " is labelled twice");
        }
    }
    return labels;
}

const std::string* WidgetLabels::label(std::string_view window, std::string_view widget) const {
    auto it = labels_.find(Key{std::string(window), std::string(widget)});
    return it == labels_.end() ? nullptr : &it->second;
}

std::vector<std::string> WidgetLabels::widgets_labelled(std::string_view window,
                                                        std::string_view label) const {
    std::vector<std::string> widgets;
    for (auto it = labels_.lower_bound(Key{std::string(window), ""});
         it != labels_.end() && it->first.first == window; ++it) {
        if (it->second == label) widgets.push_back(it->first.second);
    }
    return widgets;
}

}  // namespace hmi::sim
