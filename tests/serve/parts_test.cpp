// The served panel's parts on their own: the event ring that pages read at their own
// pace, who may send requests, the listening address, the run lines of the export.
#include <gtest/gtest.h>

#include "sim/serve/feed.hpp"
#include "sim/serve/guard.hpp"
#include "sim/serve/server.hpp"
#include "sim/serve/session.hpp"

namespace hmi::sim::serve {
namespace {

using namespace std::chrono_literals;

std::vector<uint64_t> seqs(const Feed::Batch& b) {
    std::vector<uint64_t> out;
    for (const Message& m : b.messages) out.push_back(m.seq);
    return out;
}

TEST(Feed, AReaderGetsWhatFollowsItsCursorAtMostABatchAtATime) {
    Feed feed(10);
    for (int i = 0; i < 5; ++i) feed.push(Message::Kind::Event, "{}");
    Feed::Batch b = feed.read(2, 2, 0ms);
    EXPECT_EQ(seqs(b), (std::vector<uint64_t>{3, 4}));
    EXPECT_FALSE(b.resync);
    EXPECT_TRUE(feed.read(5, 10, 0ms).messages.empty());
}

TEST(Feed, AReaderTooFarBehindIsToldToResyncAndGoesOnFromTheNewest) {
    Feed feed(4);
    for (int i = 0; i < 10; ++i) feed.push(Message::Kind::Event, std::to_string(i));
    Feed::Batch b = feed.read(1, 2, 0ms);
    EXPECT_TRUE(b.resync);
    EXPECT_EQ(seqs(b), (std::vector<uint64_t>{9, 10}));
    b = feed.read(0, 10, 0ms);
    EXPECT_TRUE(b.resync);
    EXPECT_EQ(seqs(b), (std::vector<uint64_t>{7, 8, 9, 10})) << "all the ring still holds";
}

TEST(Feed, HoldsNoMoreThanItsBytesWhateverTheReaders) {
    Feed feed(1000, 100);
    for (int i = 0; i < 50; ++i) feed.push(Message::Kind::Event, std::string(30, 'x'));
    Feed::Batch b = feed.read(0, 1000, 0ms);
    EXPECT_EQ(b.messages.size(), 3u);
    EXPECT_EQ(feed.last(), 50u);
}

TEST(Feed, ClosingWakesAWaitingReader) {
    Feed feed;
    std::thread closer([&] {
        std::this_thread::sleep_for(20ms);
        feed.close();
    });
    Feed::Batch b = feed.read(0, 10, 10s);
    closer.join();
    EXPECT_TRUE(b.closed);
}

struct GuardCase {
    const char* address;
    int port;
    const char* host;
    const char* origin;
    const char* fetch_site;
    bool allowed;
};

const GuardCase kGuardCases[] = {
    {"127.0.0.1", 8080, "127.0.0.1:8080", "", "", true},
    {"127.0.0.1", 8080, "localhost:8080", "http://localhost:8080", "same-origin", true},
    {"127.0.0.1", 8080, "LOCALHOST:8080", "", "none", true},
    {"127.0.0.1", 8080, "[::1]:8080", "", "", true},
    {"127.0.0.1", 8080, "127.0.0.1:8081", "", "", false},     // another port
    {"127.0.0.1", 8080, "evil.example:8080", "", "", false},  // a name rebound to loopback
    {"127.0.0.1", 8080, "127.0.0.1", "", "", false},
    {"127.0.0.1", 8080, "", "", "", false},
    {"127.0.0.1", 8080, "127.0.0.1:8080", "http://evil.example", "", false},
    {"127.0.0.1", 8080, "127.0.0.1:8080", "http://127.0.0.1:9999", "", false},
    {"127.0.0.1", 8080, "127.0.0.1:8080", "null", "", false},
    {"127.0.0.1", 8080, "127.0.0.1:8080", "https://127.0.0.1:8080", "", false},
    {"127.0.0.1", 8080, "127.0.0.1:8080", "", "cross-site", false},
    {"127.0.0.1", 80, "127.0.0.1", "", "", true},  // port 80 may go unsaid
    {"192.168.1.5", 8080, "192.168.1.5:8080", "http://192.168.1.5:8080", "", true},
    {"192.168.1.5", 8080, "localhost:8080", "", "", false},
    // Listening on all addresses: those of this machine (10.0.0.7 and fe80::1 here) and
    // loopback are this site; any other address with the port is another.
    {"0.0.0.0", 8080, "10.0.0.7:8080", "http://10.0.0.7:8080", "", true},
    {"0.0.0.0", 8080, "127.0.0.1:8080", "http://localhost:8080", "", true},
    {"::", 8080, "[fe80::1]:8080", "", "", true},
    {"0.0.0.0", 8080, "10.0.0.7:8080", "http://10.0.0.9:8080", "", false},
    {"0.0.0.0", 8080, "192.168.1.66:8080", "", "", false},
    {"0.0.0.0", 8080, "10.0.0.7:8081", "", "", false},
    {"0.0.0.0", 8080, "evil.example:8080", "", "", false},
    {"::1", 8080, "[::1]:8080", "", "", true},
};

TEST(Guard, RefusesRequestsNotAddressedToItOrFromAnotherSite) {
    for (const GuardCase& c : kGuardCases) {
        Guard guard(c.address, c.port, {"10.0.0.7", "fe80::1"});
        std::string why = guard.check(c.host, c.origin, c.fetch_site);
        EXPECT_EQ(why.empty(), c.allowed) << c.address << ":" << c.port << " Host '" << c.host
                                          << "' Origin '" << c.origin << "': " << why;
    }
}

TEST(ParseListen, TakesAnAddressAndPortOrAPortAlone) {
    struct Case {
        const char* text;
        const char* address;  // nullptr: refused
        int port;
    } const cases[] = {
        {"8080", "127.0.0.1", 8080}, {"0", "127.0.0.1", 0}, {"0.0.0.0:80", "0.0.0.0", 80},
        {"[::1]:9000", "::1", 9000}, {"65536", nullptr, 0}, {"-1", nullptr, 0},
        {"http", nullptr, 0},        {":80", nullptr, 0},   {"[::1]9000", nullptr, 0},
        {"127.0.0.1:", nullptr, 0},
    };
    for (const Case& c : cases) {
        ServeOptions options;
        std::string error;
        bool ok = parse_listen(c.text, &options, &error);
        EXPECT_EQ(ok, c.address != nullptr) << c.text << ": " << error;
        if (ok && c.address != nullptr) {
            EXPECT_EQ(options.address, c.address) << c.text;
            EXPECT_EQ(options.port, c.port) << c.text;
        } else {
            EXPECT_FALSE(error.empty()) << c.text;
        }
    }
}

TEST(Recording, GathersRunsIntoOneLineAndPutsAnswersBeforeWhatAsked) {
    EXPECT_EQ(duration_text(3723004), "1h2m3s4ms");
    EXPECT_EQ(duration_text(60000), "1m");
    EXPECT_EQ(duration_text(1), "1ms");

    Recording r;
    r.begin();
    r.action("click main bmptext20");
    r.begin();
    r.ran(400);
    r.ran(600);
    r.answer("answer msgbox 6");  // a timer's question during the run
    r.ran(1000);
    r.begin();
    r.answer("answer input 2");
    r.action("click timeinput text2");
    r.ran(250);
    EXPECT_EQ(r.text({"expect tag dtmain.num 201"}, "click 12 text5"),
              "# The panel as driven from the browser (hmisim --serve). Replay: hmisim FILE\n"
              "click main bmptext20\n"
              "answer msgbox 6\n"
              "run 2s\n"
              "answer input 2\n"
              "click timeinput text2\n"
              "run 250ms\n"
              "# not included: click 12 text5 (it waits for a dialog's answer)\n"
              "expect tag dtmain.num 201\n");
    EXPECT_EQ(r.actions(), 2u);
}

TEST(Recording, SplitsRunsAReplayTakesAndSaysWhereItWasCut) {
    constexpr uint64_t kHour = 3600 * 1000;
    Recording r;
    r.begin();
    r.ran(1153 * kHour);  // as fast as it can, for a while
    r.begin();
    r.action("click main bmptext20");
    r.ran(2001 * kHour);
    EXPECT_EQ(r.text({}, ""),
              "# The panel as driven from the browser (hmisim --serve). Replay: hmisim FILE\n"
              "run 1000h\nrun 153h\nclick main bmptext20\nrun 1000h\nrun 1000h\nrun 1h\n");

    Recording full;
    const std::string line = "set dtmain.num 12345678";
    size_t fit = Recording::kMostBytes / (line.size() + 1);
    for (size_t i = 0; i < fit + 10; ++i) full.action(line);
    full.ran(5000);  // after the cut: not recorded either
    EXPECT_TRUE(full.cut());
    std::string text = full.text({"expect tag dtmain.num 1"}, "");
    EXPECT_LE(text.size(), Recording::kMostBytes + 400);
    EXPECT_NE(text.find("# cut here: a session keeps 1024 KiB of lines; 10 later action(s) are "
                        "not included\nexpect tag dtmain.num 1\n"),
              std::string::npos);
    EXPECT_EQ(text.find("run 5s"), std::string::npos);
}

}  // namespace
}  // namespace hmi::sim::serve
