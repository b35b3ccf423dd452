#include "sim/engine/library.hpp"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <limits>
#include <set>
#include <stdexcept>

#include "host/gbk.hpp"
#include "host/loader.hpp"
#include "host/tags.hpp"
#include "sim/engine/words.hpp"

namespace hmi::sim {

host::Value typed_prop(PropKind kind, const unsigned char* value) {
    auto as = [value](auto v) {
        std::memcpy(&v, value, sizeof v);
        return v;
    };
    switch (kind) {
        case PropKind::Flag:
            return host::Value::integer(as(uint8_t{}));
        case PropKind::Colour:
            return host::Value::colour(as(uint32_t{}));
        case PropKind::Int32:
            return host::Value::integer(as(int32_t{}));
        case PropKind::U16:
            return host::Value::integer(as(uint16_t{}));
        case PropKind::I16:
            return host::Value::integer(as(int16_t{}));
        case PropKind::Float:
            return host::Value::float32(as(float{}));
        case PropKind::Text: {
            const char* text = reinterpret_cast<const char*>(value);
            return host::Value::text(host::gbk_to_utf8(std::string(text, strnlen(text, 16))));
        }
    }
    return {};
}

const char* prop_kind_name(PropKind kind) {
    static const char* const kNames[] = {"flag", "colour", "i32", "u16", "i16", "f32", "text"};
    return kNames[static_cast<int>(kind)];
}

std::string format_prop(PropKind kind, const unsigned char* value) {
    return typed_prop(kind, value).readable(true);
}

std::string parse_prop(PropKind kind, std::string_view text, unsigned char* out) {
    // Numbers are read as a tag of the same width and signedness would be.
    switch (kind) {
        case PropKind::Flag:
            return host::parse_value(host::Kind::U8, text, out);
        case PropKind::Colour:
            return host::parse_value(host::Kind::U32, text, out);
        case PropKind::Int32:
            return host::parse_value(host::Kind::I32, text, out);
        case PropKind::U16:
            return host::parse_value(host::Kind::U16, text, out);
        case PropKind::I16:
            return host::parse_value(host::Kind::I16, text, out);
        case PropKind::Float:
            return host::parse_value(host::Kind::F32, text, out);
        case PropKind::Text: {
            std::string utf8 = unquoted(text);
            std::string gbk = host::utf8_to_gbk(utf8);
            if (gbk.empty() && !utf8.empty()) return "the text has a character the panel lacks";
            if (gbk.size() > 15) return "a text value holds 15 bytes at most";
            std::memset(out, 0, 16);
            std::memcpy(out, gbk.data(), gbk.size());
            return {};
        }
    }
    return "unknown kind";
}

const EventRow* HandlerWindow::event(std::string_view widget, std::string_view name) const {
    for (const EventRow& row : events) {
        if (row.widget == widget && row.event == name) return &row;
    }
    return nullptr;
}

const PropRow* HandlerWindow::prop(std::string_view widget, std::string_view property) const {
    for (const PropRow& row : props) {
        if (row.widget == widget && row.property == property) return &row;
    }
    return nullptr;
}

std::vector<std::string> HandlerWindow::widgets() const {
    std::vector<std::string> out;
    std::set<std::string> seen;
    for (const EventRow& row : events) {
        if (seen.insert(row.widget).second) out.push_back(row.widget);
    }
    for (const PropRow& row : props) {
        if (seen.insert(row.widget).second) out.push_back(row.widget);
    }
    return out;
}

bool HandlerWindow::has_widget(std::string_view widget) const {
    auto on_widget = [widget](const auto& row) { return row.widget == widget; };
    return std::any_of(events.begin(), events.end(), on_widget) ||
           std::any_of(props.begin(), props.end(), on_widget);
}

const HandlerWindow* Library::window(std::string_view name) const {
    for (const HandlerWindow& w : windows_) {
        if (w.name == name) return &w;
    }
    return nullptr;
}

HandlerWindow& Library::window_for(const std::string& name) {
    for (HandlerWindow& w : windows_) {
        if (w.name == name) return w;
    }
    windows_.push_back(HandlerWindow{name, {}, {}});
    return windows_.back();
}

std::shared_ptr<const Library> Library::from_tables(
    const hmi_func_row* events, const hmi_func_row* props,
    decltype(&::hmi_widget_get_event_func) event_lookup,
    decltype(&::hmi_widget_get_dyn_prop_func) prop_lookup) {
    auto lib = std::make_shared<Library>();
    std::set<std::string> keys;
    auto take = [&](const hmi_func_row& row, const char* table, host::Key* k) {
        std::string key = row.key;
        if (row.func == nullptr) {
            lib->problems_.push_back(std::string(table) + " row " + key + " has no function");
            return false;
        }
        std::optional<host::Key> split = host::split_key(key);
        if (!split) {
            lib->problems_.push_back(std::string(table) + " row " + key +
                                     " is not window_widget_name");
            return false;
        }
        if (!keys.insert(key).second) {
            lib->problems_.push_back(std::string(table) + " row " + key + " is there twice");
            return false;
        }
        *k = std::move(*split);
        return true;
    };
    for (const hmi_func_row* row = events; row != nullptr && row->key != nullptr; ++row) {
        host::Key k;
        if (!take(*row, "event_funcs", &k)) continue;
        const auto& [window, widget, name] = k;
        auto func = reinterpret_cast<hmi_event_func>(row->func);
        if (event_lookup != nullptr &&
            event_lookup(window.c_str(), widget.c_str(), name.c_str()) != row->func) {
            lib->problems_.push_back("the lookup does not find " + std::string(row->key));
            continue;
        }
        lib->window_for(window).events.push_back(EventRow{widget, name, row->key, func});
        ++lib->event_count_;
    }
    for (const hmi_func_row* row = props; row != nullptr && row->key != nullptr; ++row) {
        host::Key k;
        if (!take(*row, "prop_funcs", &k)) continue;
        const auto& [window, widget, name] = k;
        PropKind kind;
        if (!prop_kind(name, &kind)) {
            lib->problems_.push_back("prop_funcs row " + std::string(row->key) +
                                     ": no widget has a property '" + name + "'");
            continue;
        }
        auto func = reinterpret_cast<hmi_prop_func>(row->func);
        if (prop_lookup != nullptr &&
            prop_lookup(window.c_str(), widget.c_str(), name.c_str()) != row->func) {
            lib->problems_.push_back("the lookup does not find " + std::string(row->key));
            continue;
        }
        lib->window_for(window).props.push_back(PropRow{widget, name, row->key, kind, func});
        ++lib->prop_count_;
    }
    return lib;
}

std::shared_ptr<const Library> Library::load(const std::string& path) {
    host::Exports e = host::load_exports(path);
    auto lib = from_tables(e.event_funcs, e.prop_funcs, e.get_event_func, e.get_prop_func);
    const_cast<Library&>(*lib).path_ = path;
    return lib;
}

}  // namespace hmi::sim
