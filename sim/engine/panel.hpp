// The panel project as data: its tag catalogue and its windows and timers.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/tags.hpp"
#include "sim/engine/labels.hpp"

namespace hmi::sim {

struct PanelWindow {
    std::string name;
    bool start = false;    // shown when the panel starts
    bool modal = false;    // opened modally by the scripts
    std::string handlers;  // the window name of its handler keys; empty: it has none
    int line = 0;
};

struct PanelTimer {
    std::string window;  // a panel window
    std::string widget;
    uint32_t period_ms = 0;
    bool enable = false;  // ticks only while "<window>_<widget>_enable" is 1
    int line = 0;
};

struct Panel {
    host::Catalogue catalogue;
    std::shared_ptr<const host::TagTable> tags;  // the catalogue's, that every panel shares
    std::vector<PanelWindow> windows;            // in the order of the file
    std::vector<PanelTimer> timers;
    WidgetLabels labels;    // widgets.txt, when the panel has one
    std::string directory;  // the folder it was loaded from; empty for a parsed panel
    // The drawn windows' SVG pictures (drawings/WINDOW.svg), by window: loaded and
    // checked by the server, which alone shows them.
    std::map<std::string, std::string> drawings;

    // The windows file: "window NAME [start] [modal] [handlers=NAME|none]" and
    // "timer WINDOW WIDGET PERIOD-MS [enable]" lines, "#" comments.
    // Throws std::runtime_error naming origin:line and what is wrong.
    static Panel parse(const host::Catalogue& catalogue, std::string_view windows_text,
                       const std::string& origin);
    // tags.txt, windows.txt and (when there is one) widgets.txt of a panel directory.
    static Panel load(const std::string& directory);

    const PanelWindow* window(std::string_view name) const;
    int window_index(std::string_view name) const;  // -1 when there is none
};

std::string read_file(const std::string& path);  // throws std::runtime_error

}  // namespace hmi::sim
