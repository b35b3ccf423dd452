#include "host/host.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <stdexcept>
#include <unordered_map>

#include "host/gbk.hpp"

namespace hmi::host {

namespace {
// The innermost guard of each thread: a library call on a thread that made none finds
// no host (and the service says so), never another thread's.
thread_local HostGuard* g_guard = nullptr;

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

Value text_of(const char* gbk) {
    return Value::text(gbk_to_utf8(gbk == nullptr ? "(null)" : gbk));
}

Value name_of(const char* name) {
    return Value::text(name == nullptr ? "(null)" : name);
}
}  // namespace

HostGuard::HostGuard(Host& host)
    : host_(&host), previous_(g_guard), owner_(std::this_thread::get_id()) {
    g_guard = this;
}

HostGuard::~HostGuard() {
    // Checked in every build: a guard ended elsewhere would leave its thread's library
    // calls with a host that is gone.
    if (owner_ != std::this_thread::get_id() || g_guard != this) {
        std::fputs("a host guard ended on another thread than its own, or out of order\n", stderr);
        std::abort();
    }
    g_guard = previous_;
}

Host* installed() {
    return g_guard == nullptr ? nullptr : g_guard->host_;
}

Host::Host(const Catalogue& catalogue) : tags_(catalogue) {}

Host::Host(std::shared_ptr<const TagTable> tags) : tags_(std::move(tags)) {}

Host::~Host() = default;

void Host::record(EventType type, std::vector<Field> fields) {
    if (records(topic_of(type))) events_.emplace_back(type, std::move(fields));
}

std::string Host::trace(unsigned topics) const {
    std::string out;
    for (const Event& event : events_) {
        if (static_cast<unsigned>(topic_of(event.type)) & topics) {
            out += describe(event, Naming::AsWritten) + "\n";
        }
    }
    return out;
}

Tag* Host::resolve(const char* name, const char* what) {
    Tag* tag = name == nullptr ? nullptr : tags_.find(name);
    if (tag == nullptr) note_unknown(what, name);
    return tag;
}

void Host::note_unknown(const char* what, const char* name) {
    ++unknown_[std::string(what) + " " + (name ? name : "(null)")];
    ++unknown_uses_;
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
    if (records(Topic::Read)) {
        record(EventType::Read,
               {{key::name, name_of(name)}, {key::known, Value::boolean(tag != nullptr)}});
    }
    if (tag == nullptr) {
        std::memset(unknown_value_, 0, sizeof unknown_value_);  // never null, as a panel does
        return unknown_value_;
    }
    return tag->value;
}

int Host::set_value(const char* name, const void* value) {
    Tag* tag = resolve(name, "set");
    if (tag == nullptr) {
        // Ignored, as a panel ignores it; the first byte shows what the library meant.
        unsigned char first = value ? *static_cast<const unsigned char*>(value) : 0;
        if (records(Topic::Write)) {
            record(EventType::Write, {{key::name, name_of(name)},
                                      {key::known, Value::boolean(false)},
                                      {key::value, Value::integer(first)}});
        }
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
    if (records(Topic::Write)) {
        record(EventType::Write, {{key::name, name_of(name)},
                                  {key::known, Value::boolean(true)},
                                  {key::tag, Value::text(tag->def->name)},
                                  {key::kind, Value::text(std::string(kind_name(tag->def->kind)))},
                                  {key::value, typed_value(tag->def->kind, tag->value)}});
    }
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
        record(EventType::Poll,
               {{key::name, name_of(name)}, {key::known, Value::boolean(index >= 0)}});
    }
    if (index < 0) {
        note_unknown("poll", name);
        std::memset(unknown_value_, 0, sizeof unknown_value_);
        return unknown_value_;
    }
    if (read_log != nullptr) read_log->push_back(index);
    return tags_.all()[index].value;
}

int Host::window(WindowCall call, const char* name) {
    static const char* const kVerbs[] = {"show", "hide", "center", "show_modal", "exit_modal"};
    std::string window = name ? name : "(null)";
    std::string already = on_window ? on_window(call, window) : std::string();
    std::vector<Field> fields{{key::call, Value::text(kVerbs[static_cast<int>(call)])},
                              {key::window, Value::text(window)}};
    if (!already.empty()) fields.push_back({key::already, Value::text(already)});
    record(EventType::Window, std::move(fields));
    return 0;
}

int Host::message_box(const char* title, const char* text, int style) {
    std::string t = gbk_to_utf8(title ? title : ""), m = gbk_to_utf8(text ? text : "");
    int answer = 0;
    if (notices_answer_themselves && style == 0) {
        answer = 1;
    } else if (!msgbox_answers_.empty()) {
        answer = msgbox_answers_.front();
        msgbox_answers_.pop_front();
        if (on_refused_answer && !msgbox_gives(style, answer)) {
            on_refused_answer("the answer " + std::to_string(answer) + " does not fit \"" + m +
                              "\" (style " + std::to_string(style) + "), which answers " +
                              msgbox_answer_names(style) +
                              ": it was refused and the box answered 0");
            answer = kAnswerClosed;
        }
    } else if (ask_msgbox) {
        answer = ask_msgbox(t, m, style);
    }
    record(EventType::MsgBox, {{key::title, text_of(title)},
                               {key::text, text_of(text)},
                               {key::style, Value::integer(style)},
                               {key::answer, Value::integer(answer)}});
    return answer;
}

int Host::input(const char* name, const char* prompt, double minimum, double maximum, int option) {
    std::optional<double> answer;
    if (!input_answers_.empty()) {
        answer = input_answers_.front();
        input_answers_.pop_front();
    } else if (ask_input) {
        answer = ask_input(name ? name : "", gbk_to_utf8(prompt ? prompt : ""), minimum, maximum);
    }
    std::vector<Field> fields{{key::tag, name_of(name)},
                              {key::prompt, text_of(prompt)},
                              {key::minimum, Value::real(minimum)},
                              {key::maximum, Value::real(maximum)},
                              {key::option, Value::integer(option)}};
    auto done = [&](InputOutcome outcome, std::string error = {}) {
        fields.push_back(outcome_field(outcome));
        if (answer) fields.push_back({key::answer, Value::real(*answer)});
        if (!error.empty()) fields.push_back({key::error, Value::text(std::move(error))});
        record(EventType::Input, std::move(fields));
        return outcome == InputOutcome::Stored ? 1 : 0;
    };
    if (!answer) return done(InputOutcome::Cancelled);
    // Outside its limits the panel's dialog refuses a value, as here.
    if (!input_refusal(*answer, minimum, maximum).empty()) return done(InputOutcome::Refused);
    Tag* tag = resolve(name, "input");
    if (tag == nullptr) return done(InputOutcome::Failed, "no such tag");
    unsigned char value[kTextTagSize];
    std::string error = store_number(tag->def->kind, *answer, value);
    if (!error.empty()) return done(InputOutcome::Failed, error);
    std::memcpy(tag->value, value, width(tag->def->kind));
    mark_written(*tag);
    return done(InputOutcome::Stored);
}

int Host::params_to_memory() {
    record(EventType::Param, {{key::operation, Value::text("rtdb_to_mem")}});
    param_memory_.clear();
    for (const Tag& tag : tags_.all()) {
        if (!tag.def->param) continue;
        param_memory_[tag.def->name].assign(tag.value, tag.value + width(tag.def->kind));
    }
    return 0;
}

int Host::save_params() {
    saved_params_ = param_memory_;
    std::vector<Field> fields{{key::operation, Value::text("save")}};
    if (on_save_params) {
        for (Field& f : on_save_params(saved_params_)) fields.push_back(std::move(f));
    }
    record(EventType::Param, std::move(fields));
    return 0;
}

int Host::params_from_memory() {
    record(EventType::Param, {{key::operation, Value::text("mem_to_rtdb")}});
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
        record(EventType::Lookup,
               {{key::name, Value::text(full)}, {key::known, Value::boolean(false)}});
        return -1;
    }
    std::memcpy(value, tag->value, 1);  // the caller's buffer is one byte
    if (read_log != nullptr) read_log->push_back(static_cast<int32_t>(index_of(*tag)));
    record(EventType::Lookup, {{key::name, Value::text(full)},
                               {key::known, Value::boolean(true)},
                               {key::value, Value::integer(*tag->value)}});
    return 0;
}

char* Host::hold(std::string text, const std::string& call) {
    if (records(Topic::Format)) {
        record(EventType::Format,
               {{key::call, Value::text(call)}, {key::result, text_of(text.c_str())}});
    }
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
    if (records(Topic::Format)) {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", values[0], values[1],
                      values[2], values[3], values[4], values[5]);
        record(EventType::Format, {{key::call, Value::text("gettimeinfo")},
                                   {key::datetime, Value::integer(datetime)},
                                   {key::result, Value::text(buffer)}});
    }
    return 0;
}

}  // namespace hmi::host
