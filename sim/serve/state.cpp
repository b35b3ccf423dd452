#include "sim/serve/state.hpp"

#include "host/gbk.hpp"

namespace hmi::sim::serve {

std::string tag_value_text(const host::Tag& tag) {
    return host::gbk_to_utf8(host::format_value(tag.def->kind, tag.value));
}

namespace {
nlohmann::json widgets_json(Simulator& sim, int index) {
    nlohmann::json widgets = nlohmann::json::array();
    const HandlerWindow* h = sim.handlers(index);
    if (h == nullptr || !sim.shown(index)) return widgets;
    for (const std::string& name : h->widgets()) {
        nlohmann::json props = nlohmann::json::array();
        for (const PropRow& row : h->props) {
            if (row.widget != name) continue;
            props.push_back({{"property", row.property},
                             {"key", row.key},
                             {"kind", prop_kind_name(row.kind)},
                             {"value", format_prop(row.kind, sim.prop_value(index, &row))}});
        }
        nlohmann::json events = nlohmann::json::array();
        for (const EventRow& row : h->events) {
            if (row.widget == name) events.push_back(row.event);
        }
        const WidgetLabels& labels = sim.panel().labels;
        const std::string* label = labels.label(h->name, name);
        const std::string* group = labels.group(h->name, name);
        widgets.push_back({{"name", name},
                           {"label", label != nullptr ? nlohmann::json(*label) : nullptr},
                           {"group", group != nullptr ? nlohmann::json(*group) : nullptr},
                           {"events", events},
                           {"props", props}});
    }
    return widgets;
}
}  // namespace

nlohmann::json windows_json(Simulator& sim) {
    nlohmann::json windows = nlohmann::json::array();
    const Panel& panel = sim.panel();
    int modal = sim.modal_window();
    for (size_t i = 0; i < panel.windows.size(); ++i) {
        int index = static_cast<int>(i);
        const HandlerWindow* h = sim.handlers(index);
        nlohmann::json timers = nlohmann::json::array();
        for (const PanelTimer& t : panel.timers) {
            if (t.window == panel.windows[i].name) {
                timers.push_back({{"widget", t.widget}, {"period_ms", t.period_ms}});
            }
        }
        windows.push_back(
            {{"name", panel.windows[i].name},
             {"shown", sim.shown(index)},
             {"modal", modal == index},
             {"handlers", h != nullptr ? nlohmann::json(h->name) : nullptr},
             {"timers", timers},
             {"drawing", panel.drawings.count(panel.windows[i].name) > 0
                             ? nlohmann::json("/drawings/" + panel.windows[i].name + ".svg")
                             : nullptr},
             {"widgets", widgets_json(sim, index)}});
    }
    return windows;
}

nlohmann::json tags_json(Simulator& sim) {
    nlohmann::json tags = nlohmann::json::array();
    for (const host::Tag& t : sim.host().tags().all()) {
        tags.push_back({{"name", t.def->name},
                        {"kind", std::string(host::kind_name(t.def->kind))},
                        {"value", tag_value_text(t)},
                        {"param", t.def->param}});
    }
    return tags;
}

}  // namespace hmi::sim::serve
