// A host of the script library: the services a panel gives it, with a readable
// record of every call, for the tests and the panel simulator.
//
// The library's imports are plain C functions without a context, so the services
// act on the one Host that is installed at the time.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "host/tags.hpp"

namespace hmi::host {

// What a recorded call was about, for choosing what to show.
enum class Topic : uint8_t {
    Read = 1,     // tag reads by event functions ("get")
    Poll = 2,     // tag reads by property functions ("poll")
    Write = 4,    // tag writes ("set")
    Window = 8,   // show, hide, center, modal
    Dialog = 16,  // message boxes and input dialogs
    Param = 32,   // parameter memory and lookups by group and name
    Format = 64,  // number formatting, joins, clock conversion, project path
};
constexpr unsigned kAllTopics = 127;
constexpr unsigned kBehaviour =
    static_cast<unsigned>(Topic::Write) | static_cast<unsigned>(Topic::Window) |
    static_cast<unsigned>(Topic::Dialog) | static_cast<unsigned>(Topic::Param);

struct Call {
    Topic topic;
    std::string text;  // UTF-8
};

enum class WindowCall : uint8_t { Show, Hide, Center, ShowModal, ExitModal };

class Host {
  public:
    explicit Host(const Catalogue& catalogue);
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    TagStore& tags() { return tags_; }

    // ---- the record of calls ----
    const std::vector<Call>& calls() const { return calls_; }
    std::string trace(unsigned topics = kBehaviour) const;  // one call a line
    void clear_trace() { calls_.clear(); }
    void set_recording(bool on) { recording_ = on; }
    // Only calls of these topics are recorded (a simulator that polls thousands of
    // properties a second leaves out the reads and formatting it does not show).
    void set_recorded_topics(unsigned topics) { recorded_topics_ = topics; }
    bool records(Topic topic) const {
        return recording_ && (recorded_topics_ & static_cast<unsigned>(topic)) != 0;
    }
    // Names that a handler read or wrote but no tag has, in order (bare valve names
    // of valves that do not exist are written by design; anything else is a fault).
    const std::vector<std::string>& unknown_names() const { return unknown_; }

    // ---- answers for the dialogs ----
    void answer_msgbox(int answer) { msgbox_answers_.push_back(answer); }
    void answer_input(std::optional<double> value) { input_answers_.push_back(value); }
    size_t pending_answers() const { return msgbox_answers_.size() + input_answers_.size(); }
    // Asked when no answer is queued; without it a message box answers 0 and an
    // input dialog is cancelled.
    std::function<int(const std::string& title, const std::string& text, int style)> ask_msgbox;
    std::function<std::optional<double>(const std::string& tag, const std::string& prompt,
                                        double minimum, double maximum)>
        ask_input;

    // ---- windows ----
    bool shown(const std::string& window) const { return shown_.count(window) != 0; }
    const std::set<std::string>& shown_windows() const { return shown_; }
    // Told after each window call, once the host has recorded it.
    std::function<void(WindowCall, const std::string& window)> on_window;

    // ---- parameters ----
    // The copy in parameter memory and the last one stored, tag name to value bytes.
    using Params = std::map<std::string, std::vector<unsigned char>>;
    const Params& param_memory() const { return param_memory_; }
    const Params& saved_params() const { return saved_params_; }
    void set_saved_params(Params params) { saved_params_ = std::move(params); }
    std::function<void(const Params&)> on_save_params;  // the simulator stores them

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
    void record(Topic topic, std::string text);
    Tag* resolve(const char* name, const char* what);

    TagStore tags_;
    std::vector<Call> calls_;
    bool recording_ = true;
    unsigned recorded_topics_ = kAllTopics;
    std::vector<std::string> unknown_;
    std::deque<int> msgbox_answers_;
    std::deque<std::optional<double>> input_answers_;
    std::set<std::string> shown_;
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

// The host that the services act on; nullptr uninstalls.
void install(Host* host);
Host* installed();

}  // namespace hmi::host
