#include "host/host.hpp"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <stdexcept>
#include <unordered_map>

#include "host/gbk.hpp"

namespace hmi::host {

namespace {
Host* g_host = nullptr;

// Lookup cache slots outlive any one Host (the library keeps them while loaded), so a
// slot holds a process-wide number for the name, not a pointer into a store.
std::vector<std::string>& interned_names() {
    static std::vector<std::string> names;
    return names;
}

uintptr_t intern(const char* name) {
    static std::unordered_map<std::string, uintptr_t> ids;
    auto [it, fresh] = ids.emplace(name, interned_names().size() + 1);
    if (fresh) interned_names().push_back(name);
    return it->second;
}

std::string quoted(const char* gbk) {
    return "\"" + gbk_to_utf8(gbk == nullptr ? "(null)" : gbk) + "\"";
}

std::string number(double v) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.10g", v);
    return buffer;
}
}  // namespace

void install(Host* host) {
    g_host = host;
}
Host* installed() {
    return g_host;
}

Host::Host(const Catalogue& catalogue) : tags_(catalogue) {}

Host::~Host() {
    if (g_host == this) g_host = nullptr;
}

void Host::record(Topic topic, std::string text) {
    if (records(topic)) calls_.push_back(Call{topic, std::move(text)});
}

std::string Host::trace(unsigned topics) const {
    std::string out;
    for (const Call& call : calls_) {
        if (static_cast<unsigned>(call.topic) & topics) out += call.text + "\n";
    }
    return out;
}

Tag* Host::resolve(const char* name, const char* what) {
    Tag* tag = name == nullptr ? nullptr : tags_.find(name);
    if (tag == nullptr) unknown_.push_back(std::string(what) + " " + (name ? name : "(null)"));
    return tag;
}

void Host::mark_written(const Tag& tag) {
    size_t index = index_of(tag);
    if (tag_writes_.size() <= index) tag_writes_.resize(tags_.all().size(), 0);
    tag_writes_[index] = ++writes_;
}

void* Host::get_value(const char* name) {
    Tag* tag = resolve(name, "get");
    if (read_log != nullptr && tag != nullptr) {
        read_log->push_back(static_cast<int32_t>(index_of(*tag)));
    }
    if (records(Topic::Read))
        record(Topic::Read,
               std::string("get ") + (name ? name : "(null)") + (tag ? "" : " (no such tag)"));
    if (tag == nullptr) {
        std::memset(unknown_value_, 0, sizeof unknown_value_);  // never null, as a panel does
        return unknown_value_;
    }
    return tag->value;
}

int Host::set_value(const char* name, const void* value) {
    Tag* tag = resolve(name, "set");
    std::string who = name ? name : "(null)";
    if (tag == nullptr) {
        // Ignored, as a panel ignores it; the first byte shows what the library meant.
        unsigned char first = value ? *static_cast<const unsigned char*>(value) : 0;
        record(Topic::Write, "set " + who + " = " + std::to_string(first) + " (no such tag)");
        return -1;
    }
    if (tag->def->kind == Kind::Text && value == tag->value) {
        tag->value[kTextTagSize - 1] = '\0';  // the tag's own buffer stays a text
    } else if (value != tag->value) {
        if (tag->def->kind == Kind::Text) {
            // A text tag is given its own buffer or a text: keep it terminated.
            const char* text = static_cast<const char*>(value);
            size_t n = strnlen(text, kTextTagSize - 1);
            std::memmove(tag->value, text, n);
            std::memset(tag->value + n, 0, kTextTagSize - n);
        } else {
            std::memcpy(tag->value, value, width(tag->def->kind));
        }
    }
    mark_written(*tag);
    record(Topic::Write, "set " + who + " = " + format_value(tag->def->kind, tag->value));
    return 0;
}

void* Host::get_value_by_slot(const char* name, void** slot) {
    if (slot == nullptr || name == nullptr) return get_value(name);
    uintptr_t id = reinterpret_cast<uintptr_t>(*slot);
    if (id == 0 || id > interned_names().size() || interned_names()[id - 1] != name) {
        id = intern(name);  // first use of this slot (or a slot the host never filled)
        *slot = reinterpret_cast<void*>(id);
    }
    if (slot_tags_.size() < id) slot_tags_.resize(id, -2);
    int32_t& index = slot_tags_[id - 1];
    if (index == -2) {
        Tag* tag = tags_.find(name);
        index = tag ? static_cast<int32_t>(tag - tags_.all().data()) : -1;
    }
    if (records(Topic::Poll)) {
        record(Topic::Poll, std::string("poll ") + name + (index < 0 ? " (no such tag)" : ""));
    }
    if (index < 0) {
        unknown_.push_back(std::string("poll ") + name);
        std::memset(unknown_value_, 0, sizeof unknown_value_);
        return unknown_value_;
    }
    if (read_log != nullptr) read_log->push_back(index);
    return tags_.all()[index].value;
}

int Host::window(WindowCall call, const char* name) {
    static const char* const kVerbs[] = {"show", "hide", "center", "show_modal", "exit_modal"};
    std::string window = name ? name : "(null)";
    record(Topic::Window, std::string(kVerbs[static_cast<int>(call)]) + " " + window);
    switch (call) {
        case WindowCall::Show:
        case WindowCall::ShowModal:
            shown_.insert(window);
            break;
        case WindowCall::Hide:
            shown_.erase(window);
            break;
        case WindowCall::Center:
        case WindowCall::ExitModal:
            break;
    }
    if (on_window) on_window(call, window);
    return 0;
}

int Host::message_box(const char* title, const char* text, int style) {
    std::string t = gbk_to_utf8(title ? title : ""), m = gbk_to_utf8(text ? text : "");
    int answer = 0;
    if (!msgbox_answers_.empty()) {
        answer = msgbox_answers_.front();
        msgbox_answers_.pop_front();
    } else if (ask_msgbox) {
        answer = ask_msgbox(t, m, style);
    }
    record(Topic::Dialog, "msgbox " + quoted(title) + " " + quoted(text) + " style " +
                              std::to_string(style) + " -> " + std::to_string(answer));
    return answer;
}

int Host::input(const char* name, const char* prompt, double minimum, double maximum, int option) {
    std::string call = std::string("input ") + (name ? name : "(null)") + " " + quoted(prompt) +
                       " " + number(minimum) + ".." + number(maximum) + " option " +
                       std::to_string(option) + " -> ";
    std::optional<double> answer;
    if (!input_answers_.empty()) {
        answer = input_answers_.front();
        input_answers_.pop_front();
    } else if (ask_input) {
        answer = ask_input(name ? name : "", gbk_to_utf8(prompt ? prompt : ""), minimum, maximum);
    }
    if (!answer) {
        record(Topic::Dialog, call + "cancelled");
        return 0;
    }
    if (!(*answer >= minimum && *answer <= maximum)) {
        record(Topic::Dialog, call + number(*answer) + " refused");  // as the panel refuses it
        return 0;
    }
    Tag* tag = resolve(name, "input");
    std::string error = "no such tag";
    if (tag != nullptr) {
        unsigned char value[kTextTagSize];
        error = store_number(tag->def->kind, *answer, value);
        if (error.empty()) {
            std::memcpy(tag->value, value, width(tag->def->kind));
            mark_written(*tag);
        }
    }
    record(Topic::Dialog,
           call + number(*answer) + (error.empty() ? " stored" : " (" + error + ")"));
    return error.empty() ? 1 : 0;
}

int Host::params_to_memory() {
    record(Topic::Param, "param rtdb_to_mem");
    param_memory_.clear();
    for (const Tag& tag : tags_.all()) {
        if (!tag.def->param) continue;
        param_memory_[tag.def->name].assign(tag.value, tag.value + width(tag.def->kind));
    }
    return 0;
}

int Host::save_params() {
    record(Topic::Param, "param save");
    saved_params_ = param_memory_;
    if (on_save_params) on_save_params(saved_params_);
    return 0;
}

int Host::params_from_memory() {
    record(Topic::Param, "param mem_to_rtdb");
    for (const auto& [name, bytes] : param_memory_) {
        Tag* tag = tags_.find(name);
        if (tag != nullptr && bytes.size() == width(tag->def->kind)) {
            std::memcpy(tag->value, bytes.data(), bytes.size());
            mark_written(*tag);
        }
    }
    return 0;
}

int Host::lookup_by_group(const char* group, const char* name, void* value) {
    std::string full = std::string(group ? group : "(null)") + "." + (name ? name : "(null)");
    Tag* tag = tags_.find(full);
    if (tag == nullptr) {
        record(Topic::Param, "lookup " + full + " (no such tag)");
        return -1;
    }
    std::memcpy(value, tag->value, 1);  // the caller's buffer is one byte
    if (read_log != nullptr) read_log->push_back(static_cast<int32_t>(index_of(*tag)));
    record(Topic::Param, "lookup " + full + " -> " + std::to_string(*tag->value));
    return 0;
}

char* Host::hold(std::string text, const std::string& call) {
    if (records(Topic::Format)) record(Topic::Format, call + " -> " + quoted(text.c_str()));
    texts_.push_back(std::move(text));
    return texts_.back().data();
}

int Host::time_info(unsigned datetime, int* fields[6]) {
    time_t t = static_cast<time_t>(datetime);
    struct tm tm {};
    localtime_r(&t, &tm);
    int values[6] = {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                     tm.tm_hour,        tm.tm_min,     tm.tm_sec};
    for (int i = 0; i < 6; ++i) {
        if (fields[i] != nullptr) *fields[i] = values[i];
    }
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "gettimeinfo %u -> %04d-%02d-%02d %02d:%02d:%02d",
                  datetime, values[0], values[1], values[2], values[3], values[4], values[5]);
    record(Topic::Format, buffer);
    return 0;
}

}  // namespace hmi::host
