// The served panel's API against the real library, as text: each file of api/ lists
// requests ("> ACTION JSON", "> state", "> export TAG...") and, after each, the reply's
// status (with its error, the dialog that waits, the exported scenario) and the trace
// that the request caused. HMISIM_UPDATE_EXPECTED=1 writes what the requests give now.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/serve/support.hpp"
#include "tests/support/golden.hpp"

namespace hmi::sim::serve::test {
namespace {

std::string describe_dialog(const nlohmann::json& d) {
    if (d.is_null()) return "";
    if (d["kind"] == "input") {
        return "dialog: input " + d["tag"].get<std::string>() + " \"" +
               d["prompt"].get<std::string>() + "\" " + d["minimum"].dump() + " to " +
               d["maximum"].dump() + "\n";
    }
    std::string answers;
    for (const auto& a : d["answers"]) {
        answers += " " + a["answer"].dump() + " (" + a["label"].get<std::string>() + ")";
    }
    return "dialog: msgbox \"" + d["title"].get<std::string>() + "\" \"" +
           d["text"].get<std::string>() + "\" answers" + answers + "\n";
}

std::string describe(const Reply& r) {
    std::string out = "< " + std::to_string(r.status);
    if (r.body.contains("error")) out += " " + r.body["error"].get<std::string>();
    out += "\n";
    if (r.body.contains("scenario")) {
        std::stringstream lines(r.body["scenario"].get<std::string>());
        for (std::string line; std::getline(lines, line);) out += "| " + line + "\n";
    }
    const nlohmann::json* state = r.body.contains("state") ? &r.body["state"] : nullptr;
    if (state == nullptr && r.body.contains("windows")) state = &r.body;
    if (state != nullptr) {
        out += describe_dialog((*state)["dialog"]);
        std::string shown;
        for (const auto& w : (*state)["windows"]) {
            if (w["shown"] == true) shown += " " + w["name"].get<std::string>();
        }
        out += "shown:" + shown + "\n";
    } else if (r.body.contains("dialog")) {
        out += describe_dialog(r.body["dialog"]);
    }
    return out;
}

// Runs the requests of a file; gives the file as they make it now, and the last
// exported scenario.
std::string replay(const std::string& expected, std::string* exported) {
    TraceText trace;
    Session session(real_panel(), real_library(), Options{}, trace.sink());
    session.start({});
    // The trace of the panel's start comes with the first request's.
    std::string out;
    std::stringstream lines(expected);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("> ", 0) != 0 && line.rfind("#", 0) != 0) continue;
        out += line + "\n";
        if (line[0] == '#') continue;
        std::string request = line.substr(2);
        std::string verb = request.substr(0, request.find(' '));
        std::string rest = verb.size() < request.size() ? request.substr(verb.size() + 1) : "";
        Reply reply;
        if (verb == "state") {
            reply = session.state();
        } else if (verb == "export") {
            std::vector<std::string> tags;
            std::stringstream words(rest);
            for (std::string w; words >> w;) tags.push_back(w);
            reply = session.scenario_text(tags);
            if (reply.status == 200) *exported = reply.body["scenario"];
        } else {
            nlohmann::json body =
                rest.empty() ? nlohmann::json::object() : nlohmann::json::parse(rest);
            reply = session.act(verb, body);
        }
        out += describe(reply) + trace.take();
    }
    session.stop();
    return out;
}

class Api : public ::testing::TestWithParam<std::string> {};

TEST_P(Api, RequestsGiveTheirRepliesAndTrace) {
    std::string path = std::string(HMI_SERVE_API_DIR) + "/" + GetParam() + ".api";
    std::string expected = hmi::test::file_text(path);
    ASSERT_FALSE(expected.empty()) << path;
    std::string exported;
    std::string actual = replay(expected, &exported);
    hmi::test::expect_golden(actual, path);

    // What was exported replays on a fresh panel with its expectations met.
    ASSERT_FALSE(exported.empty()) << "each file ends with an export";
    TraceText trace;
    Simulator sim(real_panel(), real_library(), Options{}, trace.sink());
    sim.start();
    ScenarioResult r = run_scenario(exported, "exported", sim);
    EXPECT_TRUE(r.ok()) << exported << "\n" << trace.take();
}

std::vector<std::string> api_files() {
    return hmi::test::file_stems(HMI_SERVE_API_DIR, ".api");
}

INSTANTIATE_TEST_SUITE_P(Files, Api, ::testing::ValuesIn(api_files()),
                         [](const auto& info) { return hmi::test::test_name(info.param); });

}  // namespace
}  // namespace hmi::sim::serve::test
