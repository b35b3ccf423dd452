#include "sim/engine/recorder.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "sim/engine/scenario.hpp"
#include "sim/engine/session.hpp"

namespace hmi::sim {

std::optional<ScenarioRecorder> ScenarioRecorder::open(const std::string& path,
                                                       std::string* error) {
    std::ofstream file(path, std::ios::trunc);
    if (!file) {
        *error = "cannot write " + path + ": " + std::strerror(errno);
        return std::nullopt;
    }
    file << "# recorded at the prompt\n";
    return ScenarioRecorder(path, std::move(file));
}

void ScenarioRecorder::begin_command(const Action& action) {
    action_ = action;
    msgbox_.answers.clear();
    input_.values.clear();
}

void ScenarioRecorder::answered_msgbox(int answer) {
    msgbox_.answers.push_back(answer);
}

void ScenarioRecorder::answered_input(std::optional<double> value) {
    input_.values.push_back(value);
}

bool ScenarioRecorder::end_command() {
    if (!msgbox_.answers.empty()) file_ << scenario_line(msgbox_) << '\n';
    if (!input_.values.empty()) file_ << scenario_line(input_) << '\n';
    if (action_) file_ << scenario_line(*action_) << '\n';
    action_.reset();
    file_.flush();
    return static_cast<bool>(file_);
}

bool is_prompt_only(const std::string& verb) {
    const CommandRow* row = find_command(verb);
    return row != nullptr && !row->recorded;
}

bool is_recorded(const Action& action) {
    return row_of(action).recorded;
}

bool execute_typed(Simulator& sim, const Action& action, const std::string& text) {
    std::optional<ScenarioRecorder>& recorder = sim.session().recorder;
    bool recorded = recorder && is_recorded(action);
    if (recorded) recorder->begin_command(action);
    bool done = execute(action, sim, Where{{}, 0, text});
    // The action may have ended the recording (or begun another).
    if (recorded && recorder && !recorder->end_command()) {
        sim.report(EventType::Error, {{"message", Value::text("cannot write " + recorder->path() +
                                                              ": the recording ends")}});
        recorder.reset();
        return false;
    }
    return done;
}

}  // namespace hmi::sim
