// Drawn windows: an SVG picture a window, drawings/WINDOW.svg in the panel folder, whose
// elements name the widget they show (data-widget="rectangle130") and, where it is not
// the obvious one, the property (data-prop="fillcolor"). The page shows a window's
// drawing in place of its cards and keeps it live; see the README for the contract.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "sim/engine/library.hpp"
#include "sim/engine/panel.hpp"

namespace hmi::sim::serve {

// One element of a drawing that names a widget, as found in the file.
struct DrawnElement {
    int line = 0;
    std::string tag;     // the element's name: rect, g, text ...
    std::string widget;  // data-widget
    std::string prop;    // data-prop, or empty
};

// The elements of an SVG text that carry data-widget. Throws std::runtime_error naming
// origin:line when the text is not a drawing the page can take in: not well-formed
// tags, a script, an event attribute (onclick=...) or a javascript: link.
std::vector<DrawnElement> drawn_elements(std::string_view svg, const std::string& origin);

// The drawings of the panel folder (DIRECTORY/drawings/*.svg), by window, each checked
// against the panel and the library: the file names a window of the panel that has
// handlers, each data-widget a widget of that window, each data-prop a property of that
// widget. Throws std::runtime_error naming the file, the element and what is wrong.
std::map<std::string, std::string> load_drawings(const std::string& directory, const Panel& panel,
                                                 const Library& library);

}  // namespace hmi::sim::serve
