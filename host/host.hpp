// A host of the script library: the services a panel gives it, with a record of every
// call as typed events (host/event.hpp), for the tests and the panel simulator.
//
// The library's imports are plain C functions without a context, so the services
// act on the Host of the innermost HostGuard, on the thread that made that guard.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "host/answers.hpp"
#include "host/event.hpp"
#include "host/tags.hpp"

namespace hmi::host {

enum class WindowCall : uint8_t { Show, Hide, Center, ShowModal, ExitModal };

class Host {
  public:
    explicit Host(const Catalogue& catalogue);
    explicit Host(std::shared_ptr<const TagTable> tags);
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    TagStore& tags() { return tags_; }

    // ---- the record of calls ----
    const std::vector<Event>& events() const { return events_; }
    // The recorded calls of these topics, one a line, each name as the script wrote it.
    std::string trace(unsigned topics = kBehaviour) const;
    void clear_trace() { events_.clear(); }
    // Only calls of these topics are recorded (a simulator that polls thousands of
    // properties a second leaves out the reads and formatting it does not show).
    void set_recorded_topics(unsigned topics) { recorded_topics_ = topics; }
    void set_recording(bool on) { recorded_topics_ = on ? kAllTopics : 0; }
    bool records(Topic topic) const {
        return (recorded_topics_ & static_cast<unsigned>(topic)) != 0;
    }
    // Names that a handler read or wrote but no tag has ("set HV78"), with how often
    // (bare valve names of valves that do not exist are written by design; anything
    // else is a fault). Distinct names only: a year of panel time stays small.
    const std::map<std::string, uint64_t>& unknown_names() const { return unknown_; }
    uint64_t unknown_uses() const { return unknown_uses_; }

    // ---- answers for the dialogs: the one queue (what each dialog takes: answers.hpp) ----
    void answer_msgbox(int answer) { msgbox_answers_.push_back(answer); }
    void answer_input(std::optional<double> value) { input_answers_.push_back(value); }
    size_t pending_answers() const { return msgbox_answers_.size() + input_answers_.size(); }
    void clear_answers() {
        msgbox_answers_.clear();
        input_answers_.clear();
    }
    // A notice (style 0) has only its OK: when set, it is answered 1 and takes no
    // queued answer, as on the panel; when clear (the tests), it takes one like a question.
    bool notices_answer_themselves = false;
    // Asked when no answer is queued; without it a message box answers 0 and an
    // input dialog is cancelled.
    std::function<int(const std::string& title, const std::string& text, int style)> ask_msgbox;
    // When set, a queued answer that the box's style cannot give is refused: this is told
    // why, and the box answers 0 (neither yes nor no). Unset (the library's tests), any
    // queued number is answered as it is.
    std::function<void(const std::string& message)> on_refused_answer;
    std::function<std::optional<double>(const std::string& tag, const std::string& prompt,
                                        double minimum, double maximum)>
        ask_input;

    // ---- windows ----
    // Told of each window call before the host records it; gives "shown" or "hidden"
    // when the call finds the window so already (a second hide changes nothing), else "".
    std::function<std::string(WindowCall, const std::string& window)> on_window;

    // ---- parameters ----
    // The copy in parameter memory and the last one stored, tag name to value bytes.
    using Params = std::map<std::string, std::vector<unsigned char>>;
    const Params& saved_params() const { return saved_params_; }
    void set_saved_params(Params params) { saved_params_ = std::move(params); }
    // Stores the saved parameters (the simulator writes its file) and gives the fields
    // of the outcome that the save's event carries: outcome, file, error.
    std::function<std::vector<Field>(const Params&)> on_save_params;

    // ---- change tracking, for a host that polls only what may have changed ----
    // A count of tag writes; each tag keeps the count at its last write.
    uint64_t writes() const { return writes_; }
    uint64_t last_write(size_t tag_index) const {
        return tag_index < tag_writes_.size() ? tag_writes_[tag_index] : 0;
    }
    void mark_written(const Tag& tag);  // for writes that the host makes itself
    size_t index_of(const Tag& tag) const { return &tag - tags_.all().data(); }
    // While set, the index of every tag that a handler reads is appended to it.
    std::vector<int32_t>* read_log = nullptr;

    // ---- environment ----
    std::string project_dir = "/home/project/";

    // Texts handed out by the text services stay valid until this is called, which
    // a host does after each handler returns.
    void release_texts() { texts_.clear(); }
    size_t held_texts() const { return texts_.size(); }

    // ---- the services, called through the C functions ----
    void* get_value(const char* name);
    int set_value(const char* name, const void* value);
    void* get_value_by_slot(const char* name, void** slot);
    int window(WindowCall call, const char* window);
    int message_box(const char* title, const char* text, int style);
    int input(const char* tag, const char* prompt, double minimum, double maximum, int option);
    int params_to_memory();
    int save_params();
    int params_from_memory();
    int lookup_by_group(const char* group, const char* name, void* value);
    char* hold(std::string text, const std::string& call);
    int time_info(unsigned datetime, int* fields[6]);

  private:
    void record(EventType type, std::vector<Field> fields);
    Tag* resolve(const char* name, const char* what);
    // Counts a use of a name that no tag has, once per kind of use and name.
    void note_unknown(const char* what, const char* name);

    TagStore tags_;
    std::vector<Event> events_;
    unsigned recorded_topics_ = kAllTopics;
    std::map<std::string, uint64_t> unknown_;
    uint64_t unknown_uses_ = 0;
    std::deque<int> msgbox_answers_;
    std::deque<std::optional<double>> input_answers_;
    Params param_memory_;
    Params saved_params_;
    std::deque<std::string> texts_;
    std::vector<int32_t> slot_tags_;  // interned slot id to tag index, -1 unknown
    uint64_t writes_ = 0;
    std::vector<uint64_t> tag_writes_;
    unsigned char unknown_value_[kTextTagSize] = {};
};

// True while a host service runs: what is allocated then is the host's, not the library's.
bool in_service();

// Installs a host for the library's calls while it lives, and gives back the one
// installed before when it ends (guards nest: a probe panel made while another runs
// leaves that one installed). The thread that makes the guard owns it: the library's
// calls reach the host from that thread only, and the guard must end there (checked:
// anything else aborts).
class HostGuard {
  public:
    explicit HostGuard(Host& host);
    ~HostGuard();
    HostGuard(const HostGuard&) = delete;
    HostGuard& operator=(const HostGuard&) = delete;

  private:
    friend Host* installed();
    Host* host_;
    HostGuard* previous_;
    std::thread::id owner_;
};

// The host that the services act on: the one of this thread's innermost guard, or
// nullptr when none lives.
Host* installed();

}  // namespace hmi::host
