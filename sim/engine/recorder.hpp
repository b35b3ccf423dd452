// `record FILE`: what is typed at the prompt, written as a scenario that does it again.
// The answers given to dialogs while a command runs are written before the command as
// `answer` lines, so that the scenario has them queued when the dialog asks.
#pragma once

#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "sim/engine/action.hpp"

namespace hmi::sim {

class ScenarioRecorder {
  public:
    // Opens the file, new or empty, or (with `replace`) an existing one, which it empties.
    // Empty with a message when it is not a regular file, would be overwritten without
    // `replace`, or cannot be written.
    static std::optional<ScenarioRecorder> open(const std::string& path, bool replace,
                                                std::string* error);

    const std::string& path() const { return path_; }
    // An action begins; the answers given until end_command() belong to it.
    void begin_command(const Action& action);
    void answered_msgbox(int answer);
    void answered_input(std::optional<double> value);
    // Writes the answers, then the action, as scenario lines. False when the file could
    // not be written.
    bool end_command();

  private:
    ScenarioRecorder(std::string path, std::ofstream file)
        : path_(std::move(path)), file_(std::move(file)) {}
    std::string path_;
    std::ofstream file_;
    std::optional<Action> action_;
    AnswerMsgbox msgbox_;
    AnswerInput input_;
};

// The commands that are about the prompt rather than the panel, and are not recorded.
bool is_prompt_only(const std::string& verb);
// Whether `record` writes the action: it changes what a run does.
bool is_recorded(const Action& action);

class Simulator;
// Carries out an action typed at the prompt (`text` as typed) and, while a recording
// runs and the action is one it writes, writes it with the answers given meanwhile.
// False when the action failed, or when the recording could not be written (which ends
// the recording, with an error).
bool execute_typed(Simulator& sim, const Action& action, const std::string& text);

}  // namespace hmi::sim
