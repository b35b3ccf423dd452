#include "sim/engine/tour.hpp"

#include <algorithm>
#include <filesystem>
#include <stdexcept>

#include "host/lines.hpp"

namespace hmi::sim {

std::vector<std::string> tour_scenarios(const std::string& directory) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!fs::is_directory(directory, ec)) {
        throw std::runtime_error(directory + ": no such folder of scenarios");
    }
    std::vector<std::string> files;
    fs::path list = fs::path(directory) / "tour.txt";
    if (fs::exists(list, ec)) {
        host::LineErrors errors(list.string());
        host::for_each_line(read_file(list.string()), errors,
                            [&](int, std::string_view line) -> std::string {
                                std::string name(line.substr(0, line.find('#')));
                                name.erase(0, name.find_first_not_of(" \t"));
                                name.erase(name.find_last_not_of(" \t") + 1);
                                if (name.empty()) return {};
                                fs::path file = fs::path(directory) / name;
                                if (!fs::is_regular_file(file, ec))
                                    return "no file " + file.string();
                                files.push_back(file.string());
                                return {};
                            });
        if (errors.count() > 0) throw std::runtime_error(errors.joined());
        return files;
    }
    for (const fs::directory_entry& e : fs::directory_iterator(directory)) {
        if (e.is_regular_file() && e.path().extension() == ".sim")
            files.push_back(e.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

ScenarioRun run_scenario_file(const std::string& path, const Panel& panel,
                              const std::shared_ptr<const Library>& library, const Options& options,
                              const Sink& sink, const ScenarioHooks& hooks,
                              const std::vector<ScenarioLine>* checked) {
    ScenarioRun run{path, {}, 0};
    Simulator sim(panel, library, options, sink);
    if (hooks.before) hooks.before(sim);
    std::string text;
    try {
        if (checked == nullptr) text = read_file(path);
    } catch (const std::exception& e) {
        sim.report(EventType::Error, {{key::message, Value::text(e.what())}});
        run.result.bad_lines = 1;
        return run;
    }
    sim.report(EventType::Scenario, {{key::file, Value::text(path)}});
    sim.start();
    run.result =
        checked != nullptr ? run_scenario(*checked, path, sim) : run_scenario(text, path, sim);
    run.simulated_ms = sim.now();
    if (hooks.after) hooks.after(sim);
    return run;
}

}  // namespace hmi::sim
