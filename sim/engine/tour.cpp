#include "sim/engine/tour.hpp"

#include <algorithm>
#include <filesystem>
#include <stdexcept>

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
        std::string text = read_file(list.string());
        size_t start = 0;
        int number = 0;
        while (start < text.size()) {
            size_t end = text.find('\n', start);
            if (end == std::string::npos) end = text.size();
            std::string line = text.substr(start, end - start);
            start = end + 1;
            ++number;
            line = line.substr(0, line.find('#'));
            line.erase(0, line.find_first_not_of(" \t\r"));
            line.erase(line.find_last_not_of(" \t\r") + 1);
            if (line.empty()) continue;
            fs::path file = fs::path(directory) / line;
            if (!fs::is_regular_file(file, ec)) {
                throw std::runtime_error(list.string() + ":" + std::to_string(number) +
                                         ": no file " + file.string());
            }
            files.push_back(file.string());
        }
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
                              const Sink& sink) {
    ScenarioRun run{path, {}, 0};
    Simulator sim(panel, library, options, sink);
    std::string text;
    try {
        text = read_file(path);
    } catch (const std::exception& e) {
        sim.report(EventType::Error, {{"message", Value::text(e.what())}});
        run.result.bad_lines = 1;
        return run;
    }
    sim.report(EventType::Scenario, {{"file", Value::text(path)}});
    sim.start();
    run.result = run_scenario(text, path, sim);
    run.simulated_ms = sim.now();
    return run;
}

}  // namespace hmi::sim
