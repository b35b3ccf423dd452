#include "sim/serve/adaptor.hpp"

namespace hmi::sim::serve {

Adaptor::Adaptor(const Panel& panel, std::shared_ptr<const Library> library, Options options,
                 Sink output, Hooks hooks)
    : hooks_(std::move(hooks)) {
    sim_ = std::make_unique<Simulator>(panel, std::move(library), std::move(options),
                                       std::move(output));
    Simulator& sim = *sim_;
    sim.events().subscribe([this](const Event& e) { event(e); });
    // A notice waits for its OK on the panel as a question waits for its answer.
    sim.host().notices_answer_themselves = false;
    sim.ask_question = [this](const std::string& title, const std::string& text,
                              int style) -> std::optional<int> {
        int answer = hooks_.msgbox(MsgBoxRequest{title, text, style});
        return style == 0 ? 1 : answer;
    };
    sim.ask_value = [this](const std::string& tag, const std::string& prompt, double minimum,
                           double maximum) {
        return hooks_.input(InputRequest{tag, prompt, minimum, maximum});
    };
}

void Adaptor::event(const Event& e) {
    if (capturing_ && e.depth == 0 && refusal_.empty() && sim::is_failure(e)) {
        refusal_ = sim::trace_text(e);
    }
    Happening h;
    h.json = sim::json_line(e);
    h.tick = e.type == EventType::Timer && e.depth == 0;
    if (hooks_.happened) hooks_.happened(h);
}

Outcome Adaptor::act(const Action& action) {
    capturing_ = true;
    refusal_.clear();
    bool done = execute(action, *sim_);
    capturing_ = false;
    if (done) return Outcome{};
    return Outcome{Outcome::Result::Refused, refusal_};
}

ScenarioResult Adaptor::scenario(const std::string& text, const std::string& origin) {
    return run_scenario(text, origin, *sim_);
}

void Adaptor::note(const std::string& text, bool error) {
    if (error) {
        sim_->report(EventType::Error, {{key::message, Value::text(text)}});
    } else {
        sim_->report(EventType::Say, {{key::text, Value::text(text)}});
    }
}

}  // namespace hmi::sim::serve
