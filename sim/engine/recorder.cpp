#include "sim/engine/recorder.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "host/event.hpp"
#include "sim/engine/scenario.hpp"

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

void ScenarioRecorder::begin_command(const std::string& line) {
    line_ = line;
    msgbox_.clear();
    input_.clear();
}

void ScenarioRecorder::answered_msgbox(int answer) {
    msgbox_.push_back(answer == host::kAnswerYes  ? "yes"
                      : answer == host::kAnswerNo ? "no"
                                                  : std::to_string(answer));
}

void ScenarioRecorder::answered_input(std::optional<double> value) {
    input_.push_back(value ? host::real_text(*value) : "cancel");
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
