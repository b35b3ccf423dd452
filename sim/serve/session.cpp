#include "sim/serve/session.hpp"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>
#include <cmath>

#include "host/answers.hpp"
#include "host/lines.hpp"
#include "sim/serve/state.hpp"

namespace hmi::sim::serve {

using nlohmann::json;
using Clock = std::chrono::steady_clock;

namespace {
constexpr uint64_t kLongestRun = 1000ull * 3600 * 1000;  // as a scenario's run allows
constexpr uint64_t kLongestStep = 60 * 1000;             // a step that meets no timer stops here
constexpr auto kReplyWithin = std::chrono::milliseconds(60000);
constexpr auto kStatusEvery = std::chrono::milliseconds(100);

// A field of a request's body as a name or a value: a text, or a number as JSON writes
// it; false when the field is missing or is neither.
bool field_text(const json& body, const char* key, std::string* out) {
    if (!body.contains(key)) return false;
    const json& v = body[key];
    if (v.is_string()) {
        *out = v.get<std::string>();
    } else if (v.is_number()) {
        *out = v.dump();
    } else {
        return false;
    }
    return true;
}

// A field that must be a name: empty when it is one, else what is wrong with it.
std::string field_name(const json& body, const char* key, std::string* out) {
    if (!field_text(body, key, out)) return std::string("the body needs \"") + key + "\" (a name)";
    return "";
}

}  // namespace

// ---- the recording ----

void Recording::scenario(const std::string& origin, const std::string& text) {
    keep("# ---- " + origin);
    host::LineErrors none(origin);  // a scenario is recorded only when it had no bad line
    host::for_each_line(text, none, [this](int, std::string_view line) {
        keep(std::string(line));
        return std::string();
    });
    keep("# ---- from the browser");
}

void Recording::keep(std::string line) {
    if (cut_) return;
    if (bytes_ + line.size() + 1 > kMostBytes) {
        cut_ = true;
        return;
    }
    bytes_ += line.size() + 1;
    lines_.push_back(std::move(line));
}

void Recording::flush_run() {
    if (pending_run_ == 0) return;
    for (std::string& line : answers_) keep(std::move(line));
    answers_.clear();
    // A replay takes at most kLongestRun a line.
    for (; pending_run_ > kLongestRun; pending_run_ -= kLongestRun) {
        keep(scenario_line(Run{kLongestRun}));
    }
    keep(scenario_line(Run{pending_run_}));
    pending_run_ = 0;
}

void Recording::action(const std::string& line) {
    for (std::string& answer : answers_) keep(std::move(answer));
    answers_.clear();
    keep(line);
    if (cut_) ++left_out_;
    ++actions_;
}

void Recording::answer(const std::string& line) {
    if (!cut_) answers_.push_back(line);
}

std::string Recording::text(const std::vector<std::string>& expectations,
                            const std::string& open) const {
    std::string out =
        "# The panel as driven from the browser (hmisim --serve). Replay: hmisim FILE\n";
    for (const std::string& line : lines_) out += line + "\n";
    for (const std::string& line : answers_) out += line + "\n";
    for (uint64_t left = pending_run_; left != 0;) {
        uint64_t part = std::min(left, kLongestRun);
        out += scenario_line(Run{part}) + "\n";
        left -= part;
    }
    if (cut_) {
        out += "# cut here: a session keeps " + std::to_string(kMostBytes >> 10) +
               " KiB of lines; " + std::to_string(left_out_) +
               " later action(s) are not included\n";
    }
    if (!open.empty()) {
        out += "# not included: " + open + " (it waits for a dialog's answer)\n";
    }
    for (const std::string& line : expectations) out += line + "\n";
    return out;
}

// ---- the session ----

Session::Session(const Panel& panel, std::shared_ptr<const Library> library, Options options,
                 Sink output)
    : panel_(panel),
      library_(std::move(library)),
      options_(std::move(options)),
      output_(std::move(output)) {}

Session::~Session() {
    stop();
}

// The browser's actions: each with its handler, and whether it may be done while a
// script's dialog waits for its answer.
struct Session::ActionRow {
    const char* name;
    bool during_dialog;
    Reply (Session::*run)(const json& body);
};

const Session::ActionRow* Session::find_action(const std::string& name) {
    static constexpr ActionRow kActions[] = {
        {"click", false, &Session::do_click}, {"set", false, &Session::do_set},
        {"show", false, &Session::do_show},   {"hide", false, &Session::do_hide},
        {"run", false, &Session::do_run},     {"pause", true, &Session::do_pause},
        {"step", false, &Session::do_step},   {"answer", true, &Session::do_answer},
        {"clock", false, &Session::do_clock},
    };
    for (const ActionRow& row : kActions) {
        if (name == row.name) return &row;
    }
    return nullptr;
}

bool Session::is_action(const std::string& name) {
    return find_action(name) != nullptr;
}

bool Session::waits(const std::string& action, const json& body) {
    return action == "run" && body.is_object() && body.contains("wait") && body["wait"] == true;
}

void Session::start(std::vector<std::string> scenario_files) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (started_) return;
    started_ = true;
    thread_ = std::thread([this, files = std::move(scenario_files)] { loop(files); });
}

void Session::stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
    feed_.close();
    std::deque<Queued> left;
    std::vector<std::function<void()>> waiting;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        left.swap(tasks_);
        waiting.swap(on_still_);
        still_ = true;
    }
    for (Queued& q : left) q.answer(Reply{503, {{"error", "the simulator has stopped"}}});
    for (auto& then : waiting) then();  // each is answered 503 in post()
}

void Session::post(Task task, Answer answer, std::shared_ptr<Call> call) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!stopping_ && started_) {
            tasks_.push_back(Queued{std::move(task), std::move(answer), std::move(call)});
            wake_.notify_all();
            return;
        }
    }
    answer(Reply{503, {{"error", "the simulator is not running"}}});
}

void Session::when_still(std::function<void()> then, const Answer& answer) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!still_ && !stopping_) {
            if (on_still_.size() >= kMostWaiting) {
                then = nullptr;
            } else {
                on_still_.push_back(std::move(then));
                return;
            }
        }
    }
    if (then) return then();
    answer(Reply{503,
                 {{"error", "too many requests wait for the run to end (at most " +
                                std::to_string(kMostWaiting) + ")"}}});
}

Reply Session::wait_for(const std::function<std::shared_ptr<Call>(Answer)>& request,
                        std::chrono::milliseconds within) {
    auto promise = std::make_shared<std::promise<Reply>>();
    std::future<Reply> reply = promise->get_future();
    std::shared_ptr<Call> call = request([promise](Reply r) { promise->set_value(std::move(r)); });
    if (reply.wait_for(within) != std::future_status::ready) {
        call->give_up();
        return Reply{503,
                     {{"error", "the simulator did not answer within " +
                                    std::to_string(within.count() / 1000) + " s"}}};
    }
    return reply.get();
}

bool Session::serve_tasks(std::chrono::milliseconds wait) {
    size_t queued = 0;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait_for(lock, wait, [&] { return stopping_ || !tasks_.empty(); });
        if (stopping_) return false;
        queued = tasks_.size();
    }
    // Those queued now, one at a time: time goes on after them.
    for (; queued > 0; --queued) {
        if (dialog_ && dialog_->answer) break;  // the handler that asked goes on first
        Queued q;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stopping_) return false;
            if (tasks_.empty()) break;  // a dialog's tasks took them
            q = std::move(tasks_.front());
            tasks_.pop_front();
        }
        if (q.call->given_up()) continue;
        Current saved = std::move(current_);
        current_ = Current{q.answer, false};
        Reply reply;
        try {
            reply = q.task();
        } catch (const std::exception&) {
            // Its text is the library's, not the person's: it goes nowhere.
            reply = Reply{500, {{"error", "the request could not be carried out"}}};
        }
        if (!current_.replied) q.answer(std::move(reply));
        current_ = std::move(saved);
        if (recording_.cut() && !cut_said_) {
            cut_said_ = true;
            adaptor_->note("the export keeps the first " +
                               std::to_string(Recording::kMostBytes >> 10) +
                               " KiB of lines: what is done from now on is not in it",
                           false);
        }
    }
    return true;
}

void Session::set_still() {
    bool still = !running_ || dialog_;
    std::vector<std::function<void()>> then;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        still_ = still;
        if (still) then.swap(on_still_);
    }
    for (auto& f : then) f();
}

void Session::loop(std::vector<std::string> scenario_files) {
    Hooks hooks;
    hooks.happened = [this](const Happening& h) {
        feed_.push(Message::Kind::Event, h.json);
        if (h.tick) ticked_ = true;
    };
    hooks.msgbox = [this](const MsgBoxRequest& request) {
        Dialog d;
        d.msgbox = request;
        json answer = ask(std::move(d));
        return answer.is_number_integer() ? answer.get<int>() : 0;
    };
    hooks.input = [this](const InputRequest& request) -> std::optional<double> {
        Dialog d;
        d.input = request;
        json answer = ask(std::move(d));
        if (!answer.is_number()) return std::nullopt;
        return answer.get<double>();
    };
    adaptor_ = std::make_unique<Adaptor>(panel_, library_, options_, output_, hooks);
    adaptor_->sim().start();
    for (const std::string& path : scenario_files) {
        std::string text;
        try {
            text = read_file(path);
        } catch (const std::exception& e) {
            adaptor_->note(e.what(), true);
            continue;
        }
        ScenarioResult r = adaptor_->scenario(text, path);
        if (r.bad_lines == 0) recording_.scenario(path, text);
        adaptor_->note("scenario " + path + ": " + outcome_text(r),
                       r.failures != 0 || r.bad_lines != 0);
    }
    publish_status();
    for (;;) {
        auto wait = !running_              ? std::chrono::milliseconds(3600000)
                    : running_->speed == 0 ? std::chrono::milliseconds(0)
                                           : std::chrono::milliseconds(10);
        if (!serve_tasks(wait)) break;
        if (running_) advance();
    }
    adaptor_.reset();
}

bool Session::run_time(uint64_t ms) {
    Simulator& sim = adaptor_->sim();
    uint64_t before = sim.now();
    bool whole = sim.run(ms);
    recording_.ran(sim.now() - before);
    return whole;
}

void Session::advance() {
    Simulator& sim = adaptor_->sim();
    uint64_t now = sim.now();
    Running& r = *running_;
    uint64_t step = 0;
    if (r.speed == 0) {
        step = r.chunk;
    } else {
        auto elapsed =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - r.wall_base);
        uint64_t target = r.sim_base + static_cast<uint64_t>(elapsed.count()) * r.speed;
        step = target > now ? target - now : 0;
    }
    if (r.until) step = std::min(step, *r.until > now ? *r.until - now : 0);
    dialog_during_run_ = false;
    auto started = Clock::now();
    bool whole = step == 0 || run_time(step);
    if (!running_) return;  // paused while a dialog waited
    Running& after = *running_;
    auto took = Clock::now() - started;
    if (dialog_during_run_) {
        after.wall_base = Clock::now();
        after.sim_base = sim.now();
    } else if (after.speed == 0) {
        if (took < std::chrono::milliseconds(4) && after.chunk < 3600000) after.chunk *= 2;
        if (took > std::chrono::milliseconds(16) && after.chunk > 1) after.chunk /= 2;
    }
    // A run that time could not finish (the clock's end) stops once, with its one error.
    if (!whole || (after.until && sim.now() >= *after.until)) {
        running_.reset();
        set_still();
        publish_status();
        return;
    }
    if (Clock::now() - last_status_ >= kStatusEvery) publish_status();
}

json Session::ask(Dialog dialog) {
    dialog_ = std::move(dialog);
    dialog_during_run_ = true;
    set_still();
    publish_status();
    // The request that opened the dialog is answered now, with the dialog in its state.
    if (current_.answer && !current_.replied) {
        current_.answer(Reply{200, {{"ok", true}, {"state", state_json()}}});
        current_.replied = true;
    }
    while (!dialog_->answer) {
        if (!serve_tasks(std::chrono::milliseconds(3600000))) break;
    }
    json answer = dialog_->answer.value_or(json());
    dialog_.reset();
    set_still();
    publish_status();
    return answer;
}

// ---- replies ----

json Session::dialog_json() const {
    if (!dialog_) return nullptr;
    if (dialog_->input) {
        const InputRequest& in = *dialog_->input;
        return {{"kind", "input"},
                {"tag", in.tag},
                {"prompt", in.prompt},
                {"minimum", in.minimum},
                {"maximum", in.maximum}};
    }
    const MsgBoxRequest& box = dialog_->msgbox;
    json answers = json::array();
    for (int a : host::msgbox_answers(box.style)) {
        answers.push_back({{"answer", a}, {"label", host::msgbox_answer_word(a)}});
    }
    return {{"kind", "msgbox"},
            {"title", box.title},
            {"text", box.text},
            {"style", box.style},
            {"answers", answers}};
}

json Session::status_json() {
    Simulator& sim = adaptor_->sim();
    json running = nullptr;
    if (running_) {
        running = {{"speed", running_->speed == 0 ? json("max") : json(running_->speed)},
                   {"until_ms", running_->until ? json(*running_->until) : json(nullptr)}};
    }
    return {{"time_ms", sim.now()}, {"time", format_time(sim.now())},
            {"clock", sim.clock()}, {"clock_text", host::clock_text(sim.clock())},
            {"running", running},   {"dialog", dialog_json()},
            {"seq", feed_.last()}};
}

json Session::state_json() {
    json state = status_json();
    state["windows"] = windows_json(adaptor_->sim());
    state["tags"] = tags_json(adaptor_->sim());
    return state;
}

void Session::publish_status() {
    last_status_ = Clock::now();
    feed_.push(Message::Kind::Status,
               status_json().dump(-1, ' ', false, json::error_handler_t::replace));
}

Reply Session::done() {
    return Reply{200, {{"ok", true}, {"state", state_json()}}};
}

Reply Session::refused(int status, const std::string& message) {
    json body = {{"error", message}};
    if (dialog_) body["dialog"] = dialog_json();
    return Reply{status, body};
}

Reply Session::perform(const std::optional<Action>& action, const std::string& error) {
    if (!action) return refused(400, error);
    recording_.begin();
    std::string line = scenario_line(*action);
    acting_ = line;
    Outcome outcome = adaptor_->act(*action);
    acting_.clear();
    switch (outcome.result) {
        case Outcome::Result::Done:
            recording_.action(line);
            publish_status();
            return done();
        case Outcome::Result::Bad:
            return refused(400, outcome.message);
        case Outcome::Result::Refused:
            return refused(409, outcome.message);
    }
    return refused(500, "unknown outcome");
}

std::shared_ptr<Session::Call> Session::act(const std::string& action, const json& body,
                                            Answer answer) {
    auto call = std::make_shared<Call>();
    if (!is_action(action)) {
        answer(Reply{404, {{"error", "no action " + host::quoted_excerpt(action)}}});
        return call;
    }
    if (!body.is_object()) {
        answer(Reply{400, {{"error", "the request's body is not a JSON object"}}});
        return call;
    }
    Answer first = answer;
    bool wait = waits(action, body);
    if (action == "answer" || wait) {
        // After the handler that asked has gone on (to its end, or to its next dialog),
        // or after the run.
        first = [this, call, wait, answer](Reply r) {
            if (r.status != 200 || call->given_up()) return answer(std::move(r));
            auto then = [this, call, answer] { post([this] { return done(); }, answer, call); };
            if (wait) return when_still(then, answer);
            then();
        };
    }
    post([this, action, body] { return do_action(action, body); }, std::move(first), call);
    return call;
}

std::shared_ptr<Session::Call> Session::state(Answer answer) {
    auto call = std::make_shared<Call>();
    post([this] { return Reply{200, state_json()}; }, std::move(answer), call);
    return call;
}

Reply Session::act(const std::string& action, const json& body) {
    auto within = waits(action, body) ? std::chrono::hours(1) : kReplyWithin;
    return wait_for([&](Answer a) { return act(action, body, std::move(a)); },
                    std::chrono::duration_cast<std::chrono::milliseconds>(within));
}

Reply Session::state() {
    return wait_for([&](Answer a) { return state(std::move(a)); }, kReplyWithin);
}

Reply Session::scenario_text(const std::vector<std::string>& expect_tags) {
    return wait_for([&](Answer a) { return scenario_text(expect_tags, std::move(a)); },
                    kReplyWithin);
}

std::shared_ptr<Session::Call> Session::scenario_text(const std::vector<std::string>& expect_tags,
                                                      Answer answer) {
    auto call = std::make_shared<Call>();
    post(
        [this, expect_tags] {
            std::vector<std::string> lines;
            for (const std::string& name : expect_tags) {
                const host::Tag* tag = adaptor_->sim().host().tags().find(name);
                if (tag == nullptr)
                    return refused(400, "unknown tag " + host::quoted_excerpt(name));
                std::string value = tag_value_text(*tag);
                if (tag->def->kind == host::Kind::Text && value.find('"', 1) != value.size() - 1) {
                    lines.push_back("# " + name +
                                    " holds a double quote, which a scenario cannot write");
                    continue;
                }
                lines.push_back("expect tag " + name + " " + value);
            }
            std::string open = dialog_ ? acting_ : "";
            std::string text = recording_.text(lines, open);
            // Options that change what a replay does go with it.
            std::string options;
            if (options_.start_time)
                options += " --start \"" + host::clock_text(*options_.start_time) + "\"";
            if (options_.seed != 1) options += " --seed " + std::to_string(options_.seed);
            if (!options.empty()) text = "# Replay with these options:" + options + "\n" + text;
            return Reply{200, {{"scenario", text}}};
        },
        std::move(answer), call);
    return call;
}

Reply Session::do_action(const std::string& action, const json& body) {
    const ActionRow& row = *find_action(action);  // act() took only known actions
    if (dialog_ && !row.during_dialog) {
        std::string what = dialog_->input ? "the input dialog of " + dialog_->input->tag
                                          : "the message box \"" + dialog_->msgbox.title + "\"";
        return refused(409, what + " waits for an answer (POST /api/answer)");
    }
    return (this->*row.run)(body);
}

Reply Session::do_click(const json& body) {
    std::string window, widget, bad = field_name(body, "window", &window);
    if (bad.empty()) bad = field_name(body, "widget", &widget);
    if (!bad.empty()) return refused(400, bad);
    std::string error;
    std::optional<Action> click = make_click(adaptor_->sim(), window, widget, &error);
    return perform(click, error);
}

Reply Session::do_show(const json& body) {
    return show_or_hide("show", body);
}

Reply Session::do_hide(const json& body) {
    return show_or_hide("hide", body);
}

Reply Session::show_or_hide(const std::string& action, const json& body) {
    std::string window, bad = field_name(body, "window", &window);
    if (!bad.empty()) return refused(400, bad);
    std::string error;
    std::optional<Action> a = make_show(adaptor_->sim(), window, action == "show", &error);
    return perform(a, error);
}

Reply Session::do_pause(const json&) {
    if (running_) {
        running_.reset();
        set_still();
        publish_status();
    }
    return done();
}

Reply Session::do_set(const json& body) {
    std::string tag, value, bad = field_name(body, "tag", &tag);
    if (!bad.empty()) return refused(400, bad);
    if (!field_text(body, "value", &value)) {
        return refused(400, "the body needs \"value\" (a text or a number)");
    }
    std::string error;
    const host::Tag* t = adaptor_->sim().host().tags().find(tag);
    if (t == nullptr) return perform(make_set(adaptor_->sim(), tag, value, &error), error);
    for (unsigned char c : value) {
        if (c < ' ' || c == 0x7F) return refused(400, tag + ": a value has no control characters");
    }
    if (t->def->kind == host::Kind::Text && value.find('"') != std::string::npos) {
        // A scenario line could not write it again.
        return refused(400, tag + ": a text with a double quote cannot be set");
    }
    std::optional<Action> set = make_set(adaptor_->sim(), tag, value, &error);
    return perform(set, error);
}

Reply Session::do_clock(const json& body) {
    std::string clock;
    if (!field_text(body, "clock", &clock)) {
        return refused(400, "the body needs \"clock\": \"YYYY-MM-DD HH:MM:SS\"");
    }
    std::string error;
    std::optional<Action> set = make_clock(clock, &error);
    return perform(set, error);
}

Reply Session::do_run(const json& body) {
    std::optional<uint64_t> ms;
    if (body.contains("ms")) {
        const json& v = body["ms"];
        if (!v.is_number_integer() || v.get<int64_t>() <= 0 || v.get<uint64_t>() > kLongestRun) {
            return refused(400, "\"ms\" is a whole number of milliseconds from 1 to 3600000000");
        }
        ms = v.get<uint64_t>();
    }
    int speed = ms ? 0 : 1;
    if (body.contains("speed")) {
        const json& v = body["speed"];
        if (v == "max") {
            speed = 0;
        } else if (v == 1 || v == 10 || v == 100) {
            speed = v.get<int>();
        } else {
            return refused(400, "\"speed\" is 1, 10, 100 or \"max\"");
        }
    }
    if (body.contains("wait") && !body["wait"].is_boolean()) {
        return refused(400, "\"wait\" is true or false");
    }
    recording_.begin();
    Running r;
    r.speed = speed;
    if (ms) r.until = adaptor_->sim().now() + *ms;
    r.wall_base = Clock::now();
    r.sim_base = adaptor_->sim().now();
    running_ = r;
    set_still();
    publish_status();
    return done();
}

Reply Session::do_step(const json&) {
    if (running_) return refused(409, "time is running: pause it first");
    recording_.begin();
    ticked_ = false;
    uint64_t ran = 0;
    while (!ticked_ && ran < kLongestStep && run_time(1)) ++ran;
    publish_status();
    Reply reply = done();
    if (!ticked_) reply.body["note"] = "no timer ticked within 60 s";
    return reply;
}

Reply Session::do_answer(const json& body) {
    if (!dialog_ || dialog_->answer) return refused(409, "no dialog waits for an answer");
    if (!dialog_->input) {
        const json& a = body.contains("answer") ? body["answer"] : json();
        int style = dialog_->msgbox.style;
        // 2^32 + 6 is no 6: a number beyond an int is none of the answers.
        bool in_range = a.is_number_unsigned() ? a.get<uint64_t>() <= INT_MAX
                        : a.is_number_integer()
                            ? a.get<int64_t>() >= INT_MIN && a.get<int64_t>() <= INT_MAX
                            : false;
        if (!in_range || !host::msgbox_gives(style, a.get<int>())) {
            return refused(400, "\"answer\" is one of this message box's answers: " +
                                    host::msgbox_answer_names(style, ", "));
        }
        if (dialog_->msgbox.style != 0) {
            recording_.answer(scenario_line(AnswerMsgbox{{a.get<int>()}}));
        }
        dialog_->answer = a;
        return Reply{200, {{"ok", true}}};
    }
    const InputRequest& in = *dialog_->input;
    if (body.contains("answer") && body["answer"] == host::kCancelWord) {
        recording_.answer(scenario_line(AnswerInput{{std::nullopt}}));
        dialog_->answer = json(nullptr);
        return Reply{200, {{"ok", true}}};
    }
    if (body.contains("answer") && body["answer"] != "ok") {
        return refused(400,
                       "\"answer\" of an input dialog is \"ok\" (with \"value\") or \"cancel\"");
    }
    double value = 0;
    const json& v = body.contains("value") ? body["value"] : json();
    if (v.is_number()) {
        value = v.get<double>();
    } else if (v.is_string()) {
        const std::string& s = v.get_ref<const std::string&>();
        auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
        if (s.empty() || ec != std::errc() || end != s.data() + s.size()) {
            return refused(400, host::quoted_excerpt(s) + " is not a number");
        }
    } else {
        return refused(400, "the body needs \"value\" (a number) or \"answer\": \"cancel\"");
    }
    if (!std::isfinite(value)) return refused(400, "the value is not a finite number");
    std::string refusal = host::input_refusal(value, in.minimum, in.maximum);
    if (!refusal.empty()) return refused(400, refusal);
    recording_.answer(scenario_line(AnswerInput{{value}}));
    dialog_->answer = json(value);
    return Reply{200, {{"ok", true}}};
}

}  // namespace hmi::sim::serve
