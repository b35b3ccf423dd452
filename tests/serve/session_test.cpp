// The session's thread: a dialog holds the panel until it is answered, yet the session
// ends on request; requests after the end are refused rather than left waiting.
#include <gtest/gtest.h>

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
