#include "sim/engine/labels.hpp"

#include <stdexcept>

#include "host/lines.hpp"

namespace hmi::sim {

WidgetLabels WidgetLabels::parse(std::string_view text, const std::string& origin) {
    WidgetLabels labels;
    std::string window, group;
    host::LineErrors errors(origin);
    host::for_each_line(text, errors, [&](int, std::string_view line) -> std::string {
        std::vector<std::string> words;
        std::string error;
        if (!host::split_words(line, &words, &error)) return error;
        if (words.empty()) return {};
        const std::string& first = words[0];
        if (first.front() == '[') {
            bool one_name = words.size() == 1 && first.size() >= 3 && first.back() == ']' &&
                            first.find_first_of("[]", 1) == first.size() - 1;
            if (!one_name) return "expected [WINDOW], not " + host::quoted_excerpt(line);
            window = first.substr(1, first.size() - 2);
            group.clear();
            return {};
        }
        if (first == "--") {
            if (window.empty()) return "a group before any [WINDOW]";
            if (words.size() == 1) return "a group without a name";
            group.clear();
            for (size_t i = 1; i < words.size(); ++i) group += (i > 1 ? " " : "") + words[i];
            return {};
        }
        if (window.empty()) return "widget " + host::quoted_excerpt(first) + " before any [WINDOW]";
        if (words.size() == 1) {
            return "widget " + host::quoted_excerpt(first) + " of window " + window +
                   " has no label";
        }
        std::string label;  // the rest of the line, its words one space apart
        for (size_t i = 1; i < words.size(); ++i) label += (i > 1 ? " " : "") + words[i];
        if (!labels.labels_.emplace(Key{window, first}, label).second) {
            return "widget " + host::quoted_excerpt(first) + " of window " + window +
                   " is labelled twice";
        }
        if (!group.empty()) labels.groups_.emplace(Key{window, first}, group);
        return {};
    });
    if (errors.count() > 0) throw std::runtime_error(errors.joined());
    return labels;
}

const std::string* WidgetLabels::label(std::string_view window, std::string_view widget) const {
    auto it = labels_.find(Key{std::string(window), std::string(widget)});
    return it == labels_.end() ? nullptr : &it->second;
}

const std::string* WidgetLabels::group(std::string_view window, std::string_view widget) const {
    auto it = groups_.find(Key{std::string(window), std::string(widget)});
    return it == groups_.end() ? nullptr : &it->second;
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
