#include "sim/engine/recorder.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "host/answers.hpp"
#include "host/event.hpp"
#include "sim/engine/scenario.hpp"

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

void ScenarioRecorder::begin_command(const std::string& line) {
    line_ = line;
    msgbox_.clear();
    input_.clear();
}

void ScenarioRecorder::answered_msgbox(int answer) {
    msgbox_.push_back(host::msgbox_answer_line_word(answer));
}

void ScenarioRecorder::answered_input(std::optional<double> value) {
    input_.push_back(value ? host::real_text(*value) : host::kCancelWord);
}

bool ScenarioRecorder::end_command() {
    for (const auto& [kind, answers] :
         {std::pair{"msgbox", &msgbox_}, std::pair{"input", &input_}}) {
        if (answers->empty()) continue;
        file_ << "answer " << kind;
        for (const std::string& a : *answers) file_ << ' ' << a;
        file_ << '\n';
    }
    file_ << line_ << '\n';
    file_.flush();
    return static_cast<bool>(file_);
}

bool is_prompt_only(const std::string& verb) {
    const CommandRow* row = find_command(verb);
    return row != nullptr && !row->recorded;
}

}  // namespace hmi::sim
