// The session's thread: a dialog holds the panel until it is answered, yet the session
// ends on request; requests after the end are refused rather than left waiting. Its task
// queue: one task at a time, none carried out for a caller that gave up, none that was
// queued behind a dialog carried out after its answer; waits bounded, holding no thread.
#include <gtest/gtest.h>

#include <fstream>
#include <future>
#include <thread>

#include "tests/serve/support.hpp"

namespace hmi::sim::serve::test {
namespace {

TEST(Session, EndsWhileADialogWaitsAndRefusesRequestsAfterwards) {
    TraceText trace;
    Session session(real_panel(), real_library(), Options{}, trace.sink());
    session.start({});
    ASSERT_EQ(session.act("click", {{"window", "main"}, {"widget", "bmptext20"}}).status, 200);
    Reply asked = session.act("click", {{"window", "12"}, {"widget", "text5"}});
    ASSERT_EQ(asked.status, 200);
    ASSERT_EQ(asked.body["state"]["dialog"]["kind"], "msgbox");
    session.stop();
    EXPECT_EQ(session.state().status, 503);
    EXPECT_EQ(session.act("pause", nlohmann::json::object()).status, 503);
    // The handler went on with no answer (0), as a panel switched off would not.
    EXPECT_NE(trace.take().find("(style 290) -> 0"), std::string::npos);
}

TEST(Session, AnActionThatIsNoneIsRefusedBeforeItReachesThePanel) {
    TraceText trace;
    Session session(real_panel(), real_library(), Options{}, trace.sink());
    session.start({});
    EXPECT_EQ(session.act("launch", nlohmann::json::object()).status, 404);
    EXPECT_EQ(session.act("click", nlohmann::json::array()).status, 400);
    trace.take();
}

}  // namespace
}  // namespace hmi::sim::serve::test

namespace hmi::sim::serve::test {
namespace {

using nlohmann::json;

size_t count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// A session on window 12 with its sequencer in automatic mode, then an hour of window 18
// (its busiest) from a scenario: requests made at once are queued while it runs and are
// taken together. A click on "manual" asks a question.
class Queue : public ::testing::Test {
  protected:
    void SetUp() override {
        std::ofstream(busy) << "click main bmptext20\nclick 12 text2\nrun 2s\nshow 18\nrun 1h\n";
        session.start({busy});
    }
    Session::Answer into(std::promise<Reply>* p) {
        return [p](Reply r) { p->set_value(std::move(r)); };
    }
    static Reply within_a_minute(std::promise<Reply>& p) {
        auto f = p.get_future();
        if (f.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
            return Reply{0, {{"error", "no answer"}}};
        }
        return f.get();
    }
    TempDir dir;
    std::string busy = dir.path + "/busy.sim";
    TraceText trace;
    Session session{real_panel(), real_library(), Options{}, trace.sink()};
};

TEST_F(Queue, ActionsQueuedBehindADialogMeetItAndNoneRunsAfterItsAnswer) {
    const std::pair<const char*, json> later[] = {
        {"hide", {{"window", "18"}}},
        {"set", {{"tag", "dtmain.num"}, {"value", "7"}}},
        {"run", {{"ms", 1000}}},
        {"step", json::object()},
        {"clock", {{"clock", "2030-01-01 00:00:00"}}},
        {"click", {{"window", "12"}, {"widget", "text2"}}},
    };
    // Queued from other threads in this order, while the scenario runs.
    std::promise<Reply> asked;
    std::vector<std::promise<Reply>> replies(std::size(later));
    std::vector<std::thread> callers;
    session.act("click", {{"window", "12"}, {"widget", "text5"}}, into(&asked));
    for (size_t i = 0; i < std::size(later); ++i) {
        callers.emplace_back(
            [&, i] { session.act(later[i].first, later[i].second, into(&replies[i])); });
        callers.back().join();
    }
    Reply question = within_a_minute(asked);
    ASSERT_EQ(question.body["state"]["dialog"]["kind"], "msgbox") << question.body.dump();
    for (size_t i = 0; i < std::size(later); ++i) {
        Reply r = within_a_minute(replies[i]);
        EXPECT_EQ(r.status, 409) << later[i].first << ": " << r.body.dump();
        EXPECT_NE(r.body.value("error", "").find("the message box"), std::string::npos)
            << later[i].first << ": " << r.body.dump();
    }
    trace.take();
    ASSERT_EQ(session.act("answer", {{"answer", 7}}).status, 200);
    std::string after = trace.take();
    EXPECT_EQ(after.find("hide 18"), std::string::npos) << after;
    EXPECT_EQ(after.find("dtmain.num = 7"), std::string::npos) << after;
    EXPECT_EQ(after.find("clock 2030"), std::string::npos) << after;
}

TEST_F(Queue, AnAnswerOutsideWhatAnIntHoldsIsNoneOfTheBoxs) {
    Reply question = session.act("click", {{"window", "12"}, {"widget", "text5"}});
    ASSERT_EQ(question.body["state"]["dialog"]["kind"], "msgbox");
    for (json bad : {json(4294967302ull), json(-4294967290ll), json(18446744073709551615ull)}) {
        Reply r = session.act("answer", {{"answer", bad}});
        EXPECT_EQ(r.status, 400) << bad.dump() << ": " << r.body.dump();
    }
    EXPECT_EQ(session.act("answer", {{"answer", 6}}).status, 200);
    trace.take();
}

TEST_F(Queue, WaitingRequestsAreBoundedAndHoldNoThread) {
    // More requests wait for the run than may: the first kMostWaiting wait, the rest are
    // refused at once, and a pause from this thread is still carried out.
    size_t asked = Session::kMostWaiting + 6;
    std::vector<std::promise<Reply>> replies(asked);
    for (auto& r : replies) session.act("run", {{"wait", true}}, into(&r));
    EXPECT_EQ(session.act("pause", json::object()).status, 200);
    size_t answered = 0, refused = 0;
    for (auto& r : replies) {
        Reply reply = r.get_future().get();
        answered += reply.status == 200;
        refused += reply.status == 503;
    }
    EXPECT_EQ(answered, Session::kMostWaiting);
    EXPECT_EQ(refused, asked - Session::kMostWaiting);
    trace.take();
}

TEST_F(Queue, ARunReachingTheClocksEndStopsOnceAndItsWaitIsAnswered) {
    ASSERT_EQ(session.act("clock", {{"clock", "2106-02-07 06:28:10"}}).status, 200);
    Reply r = session.act("run", {{"speed", "max"}, {"wait", true}});
    ASSERT_EQ(r.status, 200) << r.body.dump();
    EXPECT_TRUE(r.body["state"]["running"].is_null());
    EXPECT_EQ(r.body["state"]["clock_text"], "2106-02-07 06:28:15");
    EXPECT_EQ(session.act("step", json::object()).status, 200);
    std::string text = trace.take();
    EXPECT_EQ(count(text, "the panel's clock ends"), 2u) << "one for the run, one for the step";
}

TEST(Session, ATaskWhoseCallerGaveUpIsDroppedUnbegun) {
    TempDir dir;
    std::string busy = dir.path + "/busy.sim";
    std::ofstream(busy) << "show 18\nrun 2h\n";
    TraceText trace;
    Session session(real_panel(), real_library(), Options{}, trace.sink());
    session.start({busy});  // the scenario runs before any request is taken
    bool answered = false;
    session.act("show", {{"window", "12"}}, [&](Reply) { answered = true; })->give_up();
    Reply state = session.state();
    ASSERT_EQ(state.status, 200);
    for (const auto& w : state.body["windows"]) {
        EXPECT_TRUE(w["name"] != "12" || w["shown"] == false) << "the show was dropped";
    }
    EXPECT_FALSE(answered);
    trace.take();
}

}  // namespace
}  // namespace hmi::sim::serve::test
