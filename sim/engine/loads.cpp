#include "sim/engine/loads.hpp"

#include <sys/stat.h>

#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "sim/engine/scenario.hpp"

namespace hmi::sim {

namespace {
// A file by what it is, not by how it is named: a link or another path to it is the
// same file.
struct FileId {
    dev_t device = 0;
    ino_t inode = 0;
    auto operator<=>(const FileId&) const = default;
};

std::optional<FileId> identity(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return FileId{st.st_dev, st.st_ino};
}
}  // namespace

struct LoadCheck::Walk {
    // The files whose lines are being checked, outermost first.
    std::vector<std::pair<std::optional<FileId>, std::string>> chain;
    struct Seen {
        size_t lines = 0;
        int bad_lines = 0;
    };
    std::map<FileId, Seen> seen;
};

namespace {
// The walk of the check under way on this thread: checks of one simulator's scenarios
// run one at a time, each to its end.
thread_local LoadCheck::Walk* t_walk = nullptr;
}  // namespace

LoadCheck::LoadCheck(const std::string& origin) {
    if (t_walk != nullptr) return;
    own_ = std::make_unique<Walk>();
    own_->chain.emplace_back(identity(origin), origin);
    t_walk = own_.get();
}

LoadCheck::~LoadCheck() {
    if (own_ != nullptr) t_walk = nullptr;
}

std::string LoadCheck::too_many_lines(size_t total) {
    return "with this load the lines run through loads come to " + std::to_string(total) +
           ", more than the " + std::to_string(kMostLoadedLines) + " one run may";
}

std::string LoadCheck::load(const std::string& path, Simulator& sim, size_t* lines) {
    Walk& walk = *t_walk;
    *lines = 0;
    if (walk.chain.size() > static_cast<size_t>(kMostLoadDepth)) {
        return "scenarios that load scenarios, more than " + std::to_string(kMostLoadDepth) +
               " deep";
    }
    std::string text;
    try {
        text = read_file(path);
    } catch (const std::exception& e) {
        return e.what();
    }
    std::optional<FileId> id = identity(path);
    for (size_t i = 0; id && i < walk.chain.size(); ++i) {
        if (walk.chain[i].first != id) continue;
        std::string cycle;
        for (size_t j = i; j < walk.chain.size(); ++j) cycle += walk.chain[j].second + " -> ";
        return "a cycle of loads: " + cycle + path +
               " (a scenario cannot load itself, directly or through others)";
    }
    auto bad = [&](int count) {
        return path + ": " + std::to_string(count) + " bad line(s), reported above";
    };
    if (id) {
        if (auto it = walk.seen.find(*id); it != walk.seen.end()) {
            *lines = it->second.lines;
            return it->second.bad_lines == 0 ? std::string() : bad(it->second.bad_lines);
        }
    }
    walk.chain.emplace_back(id, path);
    int bad_lines = 0;
    check_scenario(text, path, sim, &bad_lines, lines);
    walk.chain.pop_back();
    if (id) walk.seen[*id] = Walk::Seen{*lines, bad_lines};
    return bad_lines == 0 ? std::string() : bad(bad_lines);
}

}  // namespace hmi::sim
