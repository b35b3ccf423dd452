// What each widget is: the short labels of panel/widgets.txt, by handler window and
// widget. A label stands beside its widget in listings and the trace, and names the
// widget in commands where no other widget of its window has the same label.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace hmi::sim {

class WidgetLabels {
  public:
    // "[WINDOW]" lines open a window's widgets, "-- GROUP..." lines open a group of them
    // (lamps, valves, ...), "WIDGET LABEL..." lines label them, "#" starts a comment.
    // Throws std::runtime_error naming origin:line and what is wrong.
    static WidgetLabels parse(std::string_view text, const std::string& origin);

    // The label, or nullptr when the widget has none. `window` is the handler window.
    const std::string* label(std::string_view window, std::string_view widget) const;
    // The widgets of the window that carry this label.
    std::vector<std::string> widgets_labelled(std::string_view window,
                                              std::string_view label) const;

    // The group the widget is written under, or nullptr.
    const std::string* group(std::string_view window, std::string_view widget) const;

    using Key = std::pair<std::string, std::string>;  // handler window, widget
    const std::map<Key, std::string, std::less<>>& all() const { return labels_; }

  private:
    std::map<Key, std::string, std::less<>> labels_;
    std::map<Key, std::string, std::less<>> groups_;
};

}  // namespace hmi::sim
