#include "sim/engine/recorder.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "host/answers.hpp"
#include "host/event.hpp"
#include "sim/engine/scenario.hpp"
#include "sim/engine/session.hpp"

namespace hmi::sim {

namespace {
const char* file_type(mode_t mode) {
    return S_ISDIR(mode)                    ? "a folder"
           : S_ISFIFO(mode)                 ? "a FIFO (named pipe)"
           : S_ISSOCK(mode)                 ? "a socket"
           : S_ISCHR(mode) || S_ISBLK(mode) ? "a device"
                                            : "not a regular file";
}

// What an existing file holds, for the message that refuses to overwrite it.
std::string described(const struct stat& st) {
    char changed[32] = "?";
    struct tm utc {};
    if (gmtime_r(&st.st_mtime, &utc) != nullptr) {
        std::strftime(changed, sizeof changed, "%Y-%m-%d %H:%M:%S", &utc);
    }
    return std::to_string(static_cast<long long>(st.st_size)) + " bytes, changed " + changed +
           " UTC";
}
}  // namespace

std::optional<ScenarioRecorder> ScenarioRecorder::open(const std::string& path, bool replace,
                                                       std::string* error) {
    const std::string fail = "cannot record to " + path + ": ";
    // Looked at before it is opened: opening a device can act on it, and opening a FIFO
    // for writing waits for a reader.
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        *error = fail + "it is " + file_type(st.st_mode) + ", not a regular file";
        return std::nullopt;
    }
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0) {
        *error = "cannot write " + path + ": " + std::strerror(errno);
        return std::nullopt;
    }
    // Looked at again through what was opened, which is what will be written.
    std::string refusal;
    if (::fstat(fd, &st) != 0) {
        refusal = "cannot write " + path + ": " + std::strerror(errno);
    } else if (!S_ISREG(st.st_mode)) {
        refusal = fail + "it is " + file_type(st.st_mode) + ", not a regular file";
    } else if (st.st_size > 0 && !replace) {
        refusal = fail + "it exists (" + described(st) + ") and would be overwritten; record " +
                  path + " --replace overwrites it";
    } else if (::ftruncate(fd, 0) != 0) {
        refusal = "cannot write " + path + ": " + std::strerror(errno);
    }
    // The stream opens the very file checked here, whatever the path names by now.
    std::ofstream file;
    if (refusal.empty()) {
        file.open("/proc/self/fd/" + std::to_string(fd), std::ios::out | std::ios::app);
        if (!file) refusal = "cannot write " + path + ": " + std::strerror(errno);
    }
    ::close(fd);
    if (!refusal.empty()) {
        *error = refusal;
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
        sim.report(EventType::Error,
                   {{key::message,
                     Value::text("cannot write " + recorder->path() + ": the recording ends")}});
        recorder.reset();
        return false;
    }
    return done;
}

}  // namespace hmi::sim
