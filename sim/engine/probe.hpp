// The simulated panel as conditions and plots see it: tag and property values as
// numbers or texts, windows shown or not, widgets named by their labels.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "sim/engine/condition.hpp"
#include "sim/engine/labels.hpp"
#include "sim/engine/plot.hpp"
#include "sim/engine/simulator.hpp"

namespace hmi::sim {

// A typed value as a condition compares it: colours and floats keep the form the trace
// shows them in.
Actual actual_of(const host::Value& value);
Actual tag_actual(const host::Tag& tag);
Actual prop_actual(PropKind kind, const unsigned char* value);

// The widget of a window's handlers that a word names: the widget's own name, or a label
// that no other widget of the window has. Empty with a message naming the choices and
// the window as `window` (the panel's window that borrows the handlers, or their own).
std::optional<std::string> find_widget(const HandlerWindow& handlers, const WidgetLabels& labels,
                                       const std::string& word, const std::string& window,
                                       std::string* error);
// "WINDOW WIDGET has no property 'P' (its properties: ...)", the widget's properties from
// the handlers, the window as `window`.
std::string no_property(const HandlerWindow& handlers, const std::string& window,
                        const std::string& widget, const std::string& property);

class SimulatorProbe : public Probe {
  public:
    explicit SimulatorProbe(Simulator& sim) : sim_(sim) {}
    std::optional<Actual> tag(const std::string& name) override;
    std::optional<bool> shown(const std::string& window) override;
    std::optional<Actual> prop(const std::vector<std::string>& names) override;

    // The window and property row that names give (window widget property, or a key),
    // or empty with a message.
    bool find_prop(const std::vector<std::string>& names, int* window, const PropRow** row,
                   std::string* error);

  private:
    Simulator& sim_;
};

// The values of some numeric tags after every event: what a plot draws.
class PlotSampler {
  public:
    // Empty with a message when a tag is missing or holds text.
    static std::optional<PlotSampler> make(Simulator& sim, const std::vector<std::string>& names,
                                           std::string* error);
    void sample(uint64_t ms);
    PlotTable& table() { return table_; }

  private:
    PlotSampler(std::vector<const host::Tag*> tags, std::vector<std::string> names)
        : tags_(std::move(tags)), table_(std::move(names)) {}
    std::vector<const host::Tag*> tags_;
    PlotTable table_;
};

}  // namespace hmi::sim
