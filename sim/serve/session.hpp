// The served panel: one simulator on a thread of its own, driven by requests from any
// number of pages.
//
// Every request is a task that the simulator's thread carries out between events and
// answers. The thread takes one task at a time from the queue, under its lock, so an
// action queued while a dialog opened meets that dialog (409 naming it); a task whose
// caller has given up waiting is dropped unbegun. No thread waits for a run to end: a
// request that waits for it is queued again when the run stops. Time runs on the same thread, in
// slices between tasks, at ×1, ×10, ×100 or as fast as it can. A dialog that a script opens holds
// the simulator's thread inside the library's call, as the real panel waits, until a page answers
// it; meanwhile the state and the events can still be read, and any other action is refused (409)
// with the name of the waiting dialog.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "sim/serve/adaptor.hpp"
#include "sim/serve/feed.hpp"

namespace hmi::sim::serve {

struct Reply {
    int status = 200;
    nlohmann::json body;
};

// What the person has done, as a scenario that replays it: each action that the panel
// carried out, the answers given to the dialogs it opened (queued before it), and the
// time run, gathered into one run line until the next action.
class Recording {
  public:
    void scenario(const std::string& origin, const std::string& text);
    void begin() { flush_run(); }  // an action or a run starts
    void action(const std::string& line);
    void answer(const std::string& line);
    void ran(uint64_t ms) {
        if (!cut_) pending_run_ += ms;
    }
    // The scenario so far; `open` notes an action still waiting for a dialog.
    std::string text(const std::vector<std::string>& expectations, const std::string& open) const;
    size_t actions() const { return actions_; }
    // A session keeps at most this many bytes of lines; what follows is left out, and
    // the export says where it was cut.
    static constexpr size_t kMostBytes = 1u << 20;
    bool cut() const { return cut_; }

  private:
    void flush_run();
    void keep(std::string line);
    std::vector<std::string> lines_;
    size_t bytes_ = 0;
    bool cut_ = false;
    size_t left_out_ = 0;               // actions after the cut
    std::vector<std::string> answers_;  // given during the action or run in progress
    uint64_t pending_run_ = 0;
    size_t actions_ = 0;
};

class Session {
  public:
    Session(const Panel& panel, std::shared_ptr<const Library> library, Options options,
            Sink output);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Starts the simulator's thread: the panel starts, the scenario files run, then the
    // panel waits for requests. Returns at once.
    void start(std::vector<std::string> scenario_files);
    void stop();  // a waiting dialog is left unanswered; returns once the thread ends

    Feed& feed() { return feed_; }
    const Panel& panel() const { return panel_; }

    // ---- requests, from any thread ----
    // Each gives its reply once to `answer`, on the simulator's thread (or on the thread
    // that stops the session). The caller that no longer waits calls give_up(): a task of
    // its request not yet begun is then dropped, unanswered.
    class Call {
      public:
        void give_up() { gave_up_ = true; }
        bool given_up() const { return gave_up_; }

      private:
        std::atomic<bool> gave_up_{false};
    };
    using Answer = std::function<void(Reply)>;
    // click, set, show, hide, run, pause, step, answer, clock. A run with "wait" is
    // answered when it stops (or a dialog asks); an answer when the handler that asked
    // has gone on. At most kMostWaiting requests wait at once (503 beyond).
    std::shared_ptr<Call> act(const std::string& action, const nlohmann::json& body, Answer answer);
    std::shared_ptr<Call> state(Answer answer);
    // The scenario so far, with an expectation for each of these tags at its value.
    std::shared_ptr<Call> scenario_text(const std::vector<std::string>& expect_tags, Answer answer);
    static bool is_action(const std::string& name);
    static bool waits(const std::string& action, const nlohmann::json& body);
    static constexpr size_t kMostWaiting = 64;

    // The same, waiting for the reply: 503 when none comes within a minute (an hour for
    // a request that waits for a run).
    Reply act(const std::string& action, const nlohmann::json& body);
    Reply state();
    Reply scenario_text(const std::vector<std::string>& expect_tags);

  private:
    struct Dialog {
        MsgBoxRequest msgbox;
        std::optional<InputRequest> input;
        std::optional<nlohmann::json> answer;  // set by the answering task
    };
    struct Running {
        int speed = 0;  // 1, 10, 100; 0: as fast as it can
        std::optional<uint64_t> until;
        std::chrono::steady_clock::time_point wall_base;
        uint64_t sim_base = 0;
        uint64_t chunk = 1000;  // as fast as it can: ms a slice, adapted to ~10 ms of work
    };
    using Task = std::function<Reply()>;
    struct Queued {
        Task task;
        Answer answer;
        std::shared_ptr<Call> call;
    };

    void post(Task task, Answer answer, std::shared_ptr<Call> call);
    // Runs `then` once no run is in progress (or a dialog waits), or the session stops.
    void when_still(std::function<void()> then, const Answer& answer);
    static Reply wait_for(const std::function<std::shared_ptr<Call>(Answer)>& request,
                          std::chrono::milliseconds within);
    void loop(std::vector<std::string> scenario_files);
    // Carries out the tasks queued, waiting up to `wait` for one; false when stopping.
    bool serve_tasks(std::chrono::milliseconds wait);
    void advance();
    bool run_time(uint64_t ms);  // false when time stopped early (the clock's end)
    // The dialog hooks: serves tasks until a page answers; null when none will.
    nlohmann::json ask(Dialog dialog);
    void set_still();

    Reply done();
    Reply refused(int status, const std::string& message);
    // Carries out an action made from a request, or refuses the request (400) with why
    // the action could not be made.
    Reply perform(const std::optional<Action>& action, const std::string& error);
    // The actions, each taking the request's body.
    struct ActionRow;
    static const ActionRow* find_action(const std::string& name);
    Reply do_action(const std::string& action, const nlohmann::json& body);
    Reply do_click(const nlohmann::json& body);
    Reply do_show(const nlohmann::json& body);
    Reply do_hide(const nlohmann::json& body);
    Reply show_or_hide(const std::string& action, const nlohmann::json& body);
    Reply do_set(const nlohmann::json& body);
    Reply do_run(const nlohmann::json& body);
    Reply do_pause(const nlohmann::json& body);
    Reply do_step(const nlohmann::json& body);
    Reply do_answer(const nlohmann::json& body);
    Reply do_clock(const nlohmann::json& body);
    nlohmann::json status_json();
    nlohmann::json dialog_json() const;
    nlohmann::json state_json();
    void publish_status();

    const Panel& panel_;
    std::shared_ptr<const Library> library_;
    Options options_;
    Sink output_;
    Feed feed_;

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Queued> tasks_;
    bool stopping_ = false;
    bool started_ = false;
    bool still_ = true;  // no run in progress
    std::vector<std::function<void()>> on_still_;
    std::thread thread_;

    // ---- the simulator's thread only ----
    struct Current {
        Answer answer;
        bool replied = false;
    };
    Current current_;  // the task being carried out
    std::unique_ptr<Adaptor> adaptor_;
    Recording recording_;
    std::optional<Running> running_;
    std::optional<Dialog> dialog_;
    std::string acting_;  // the action in progress (for a dialog it opens)
    bool ticked_ = false;
    bool cut_said_ = false;
    bool dialog_during_run_ = false;
    std::chrono::steady_clock::time_point last_status_;
};

}  // namespace hmi::sim::serve
