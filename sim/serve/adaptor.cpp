#include "sim/serve/adaptor.hpp"

#include <nlohmann/json.hpp>

namespace hmi::sim::serve {

Adaptor::Adaptor(const Panel& panel, std::shared_ptr<const Library> library, Options options,
                 Sink output, Hooks hooks)
    : output_(std::move(output)), hooks_(std::move(hooks)) {
    sim_ = std::make_unique<Simulator>(panel, std::move(library), std::move(options),
                                       [this](const Entry& e) { entry(e); });
    Simulator& sim = *sim_;
    // A notice waits for its OK on the panel as a question waits for its answer.
    auto queued_or_asked = sim.host().ask_msgbox;
    sim.host().ask_msgbox = [this, queued_or_asked](const std::string& title,
                                                    const std::string& text, int style) {
        if (style != 0) return queued_or_asked(title, text, style);
        hooks_.msgbox(MsgBoxRequest{title, text, style});
        return 1;
    };
    sim.ask_question = [this](const std::string& title, const std::string& text,
                              int style) -> std::optional<int> {
        return hooks_.msgbox(MsgBoxRequest{title, text, style});
    };
    sim.ask_value = [this](const std::string& tag, const std::string& prompt, double minimum,
                           double maximum) {
        return hooks_.input(InputRequest{tag, prompt, minimum, maximum});
    };
}

void Adaptor::entry(const Entry& e) {
    if (output_) output_(e);
    if (capturing_ && e.depth == 0 && refusal_.empty() &&
        (e.type == EntryType::Error || e.type == EntryType::Fail)) {
        refusal_ = e.text;
    }
    nlohmann::json j;
    j["time_ms"] = e.ms;
    j["time"] = format_time(e.ms);
    j["depth"] = e.depth;
    j["type"] = type_name(e.type);
    j["text"] = e.text;
    for (const auto& [key, value] : e.fields) j[key] = value;
    Happening h;
    h.json = j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    const std::string* verb = find_field(e, "event");
    h.tick = e.type == EntryType::Event && e.depth == 0 && verb != nullptr && *verb == "timer";
    const std::string* call = find_field(e, "call");
    h.windows = e.type == EntryType::Window || (e.type == EntryType::Action && call != nullptr &&
                                                (*call == "show" || *call == "hide"));
    if (hooks_.happened) hooks_.happened(h);
}

Outcome Adaptor::command(const std::string& line) {
    std::string error;
    std::optional<Command> c = parse_command(line, *sim_, &error);
    if (!c) return Outcome{Outcome::Result::Bad, error.empty() ? "an empty command" : error};
    capturing_ = true;
    refusal_.clear();
    bool done = execute(*c, *sim_, "");
    capturing_ = false;
    if (done) return Outcome{};
    return Outcome{Outcome::Result::Refused, refusal_};
}

ScenarioResult Adaptor::scenario(const std::string& text, const std::string& origin) {
    return run_scenario(text, origin, *sim_);
}

void Adaptor::note(const std::string& text, bool error) {
    sim_->report(error ? EntryType::Error : EntryType::Say, text);
}

}  // namespace hmi::sim::serve
