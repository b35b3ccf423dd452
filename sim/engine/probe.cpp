#include "sim/engine/probe.hpp"

#include <cstdlib>

#include "host/lines.hpp"
#include "host/loader.hpp"
#include "host/tags.hpp"
#include "sim/engine/action.hpp"
#include "sim/engine/words.hpp"

namespace hmi::sim {
Actual actual_of(const host::Value& value) {
    switch (value.type()) {
        case host::Value::Type::Integer:
        case host::Value::Type::Bool:
            return Actual::whole(static_cast<double>(value.as_integer()));
        case host::Value::Type::Colour:
            return Actual::whole(static_cast<double>(value.as_integer()), value.readable());
        case host::Value::Type::Float:
        case host::Value::Type::Real:
            return Actual::floating(value.as_real(), value.readable());
        case host::Value::Type::Text:
            return Actual::of_text(value.as_text());
        case host::Value::Type::None:
        case host::Value::Type::List:
            break;
    }
    return {};
}

Actual tag_actual(const host::Tag& tag) {
    return actual_of(host::typed_value(tag.def->kind, tag.value));
}

Actual prop_actual(PropKind kind, const unsigned char* value) {
    return actual_of(typed_prop(kind, value));
}

std::optional<std::string> find_widget(const HandlerWindow& handlers, const WidgetLabels& labels,
                                       const std::string& word, const std::string& window,
                                       std::string* error) {
    if (handlers.has_widget(word)) return word;
    std::string label = unquoted(word);
    std::vector<std::string> labelled = labels.widgets_labelled(handlers.name, label);
    if (labelled.size() == 1) return labelled[0];
    if (labelled.size() > 1) {
        *error = "window " + window + ": the label " + host::quoted_excerpt(label) + " is on " +
                 joined(labelled) + ": name the widget";
        return std::nullopt;
    }
    std::vector<std::string> named, names;
    for (const std::string& w : handlers.widgets()) {
        const std::string* l = labels.label(handlers.name, w);
        named.push_back(l == nullptr ? w : "\"" + *l + "\" (" + w + ")");
        names.push_back(w);
        if (l != nullptr) names.push_back(*l);
    }
    *error = "unknown widget " + host::quoted_excerpt(label) + " in " + window;
    std::string near = did_you_mean(label, names);
    *error += near.empty() ? " (widgets: " + joined(named) + ")" : near;
    return std::nullopt;
}

std::string no_property(const HandlerWindow& handlers, const std::string& window,
                        const std::string& widget, const std::string& property) {
    std::vector<std::string> properties;
    for (const PropRow& r : handlers.props) {
        if (r.widget == widget) properties.push_back(r.property);
    }
    return window + " " + widget + " has no property " + host::quoted_excerpt(property) +
           " (its properties: " + (properties.empty() ? "none" : joined(properties)) + ")";
}

std::optional<Actual> SimulatorProbe::tag(const std::string& name) {
    const host::Tag* t = sim_.host().tags().find(name);
    if (t == nullptr) return std::nullopt;
    return tag_actual(*t);
}

std::optional<bool> SimulatorProbe::shown(const std::string& window) {
    int index = sim_.panel().window_index(window);
    if (index < 0) return std::nullopt;
    return sim_.shown(index);
}

bool SimulatorProbe::find_prop(const std::vector<std::string>& names, int* window,
                               const PropRow** row, std::string* error) {
    const Panel& panel = sim_.panel();
    std::string handler_window, widget, property;
    if (names.size() == 1) {
        std::optional<host::Key> k = host::split_key(names[0]);
        if (!k) {
            *error =
                host::quoted_excerpt(names[0]) + " is not a property key (WINDOW_WIDGET_PROPERTY)";
            return false;
        }
        handler_window = std::move(k->window);
        widget = std::move(k->widget);
        property = std::move(k->name);
        *window = -1;
        for (size_t i = 0; i < panel.windows.size(); ++i) {
            if (sim_.handlers(static_cast<int>(i)) != nullptr &&
                sim_.handlers(static_cast<int>(i))->name == handler_window) {
                *window = static_cast<int>(i);
            }
        }
        if (*window < 0) {
            *error = "no window of the panel has the handlers of \"" + handler_window + "\"";
            return false;
        }
    } else {
        *window = panel.window_index(names[0]);
        if (*window < 0) {
            find_window(sim_.panel(), names[0], error);
            return false;
        }
        if (sim_.handlers(*window) == nullptr) {
            *error = "window " + names[0] + " has no handlers";
            return false;
        }
        std::optional<std::string> found = find_widget(
            *sim_.handlers(*window), panel.labels, names[1], sim_.handlers(*window)->name, error);
        if (!found) return false;
        widget = *found;
        property = names[2];
    }
    *row = sim_.handlers(*window)->prop(widget, property);
    if (*row == nullptr) {
        *error =
            no_property(*sim_.handlers(*window), panel.windows[*window].name, widget, property);
        return false;
    }
    return true;
}

std::optional<Actual> SimulatorProbe::prop(const std::vector<std::string>& names) {
    int window = -1;
    const PropRow* row = nullptr;
    std::string error;
    if (!find_prop(names, &window, &row, &error)) return std::nullopt;
    return prop_actual(row->kind, sim_.prop_value(window, row));
}

std::optional<PlotSampler> PlotSampler::make(Simulator& sim, const std::vector<std::string>& names,
                                             std::string* error) {
    std::vector<const host::Tag*> tags;
    std::vector<std::string> full_names;
    for (const std::string& name : names) {
        const host::Tag* t = sim.host().tags().find(name);
        if (t == nullptr) {
            *error = "unknown tag " + host::quoted_excerpt(name) + " to plot";
            return std::nullopt;
        }
        if (t->def->kind == host::Kind::Text) {
            *error = t->def->name + " holds text: only numeric tags are plotted";
            return std::nullopt;
        }
        tags.push_back(t);
        full_names.push_back(t->def->name);
    }
    PlotSampler sampler(std::move(tags), std::move(full_names));
    sampler.sample(sim.now());
    return sampler;
}

void PlotSampler::sample(uint64_t ms) {
    std::vector<double> values;
    values.reserve(tags_.size());
    for (const host::Tag* t : tags_) {
        Actual a = tag_actual(*t);
        // A float as the panel shows it (2.062, not 2.062000036): its shortest form.
        values.push_back(a.type == Actual::Type::Float ? std::strtod(a.display.c_str(), nullptr)
                                                       : a.number);
    }
    table_.sample(ms, values);
}

}  // namespace hmi::sim
