// The server over raw HTTP on the loopback: who may send requests, what a request may
// be, and that pages which read slowly or not at all cost the simulator nothing.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

#include "sim/serve/server.hpp"
#include "tests/serve/support.hpp"

namespace hmi::sim::serve::test {
namespace {

using namespace std::chrono_literals;

// A connection to the server, reading with a deadline.
class Connection {
  public:
    explicit Connection(int port) {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<uint16_t>(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
            close(fd_);
            fd_ = -1;
        }
    }
    ~Connection() {
        if (fd_ >= 0) close(fd_);
    }
    bool ok() const { return fd_ >= 0; }
    void send(const std::string& text) {
        size_t sent = 0;
        while (sent < text.size()) {
            ssize_t n = ::send(fd_, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) return;  // the server may close early (a body too large)
            sent += static_cast<size_t>(n);
        }
    }
    // Reads until `until` appears, or the connection ends (or a minute passes: a guard
    // against a hang, not a measure).
    std::string read_until(const std::string& until) {
        auto deadline = std::chrono::steady_clock::now() + 60s;
        while (received_.find(until) == std::string::npos &&
               std::chrono::steady_clock::now() < deadline) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 100) <= 0) continue;
            char buffer[65536];
            ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
            if (n <= 0) break;
            received_.append(buffer, static_cast<size_t>(n));
        }
        return received_;
    }
    std::string read_all() { return read_until("\x01never"); }

  private:
    int fd_ = -1;
    std::string received_;
};

class Http : public ::testing::Test {
  protected:
    void SetUp() override {
        session.start({});
        ServeOptions options;
        options.port = 0;
        options.stream_limit = 20;
        server = std::make_unique<Server>(session, options);
        server->bind();
        server->start();
        host = "127.0.0.1:" + std::to_string(server->port());
    }
    void TearDown() override {
        server->stop();
        session.stop();
    }

    // One request on a connection of its own; the whole response.
    std::string request(const std::string& method, const std::string& path,
                        const std::string& body = "", const std::string& headers = "") {
        Connection c(server->port());
        EXPECT_TRUE(c.ok());
        std::string text = method + " " + path + " HTTP/1.1\r\n" + headers;
        if (headers.find("Host:") == std::string::npos) text += "Host: " + host + "\r\n";
        if (!body.empty()) text += "Content-Length: " + std::to_string(body.size()) + "\r\n";
        text += "Connection: close\r\n\r\n" + body;
        c.send(text);
        return c.read_all();
    }
    static int status(const std::string& response) {
        return response.size() > 12 ? std::stoi(response.substr(9, 3)) : 0;
    }
    bool shown(const std::string& window) {
        Reply r = session.state();
        for (const auto& w : r.body["windows"]) {
            if (w["name"] == window) return w["shown"] == true;
        }
        return false;
    }

    TraceText trace;
    Session session{real_panel(), real_library(), Options{}, trace.sink()};
    std::unique_ptr<Server> server;
    std::string host;
};

const std::string kJson = "Content-Type: application/json\r\n";
const std::string kClick = R"({"window":"main","widget":"bmptext20"})";

TEST_F(Http, ServesThePageAndTheStateToItsOwnAddress) {
    std::string page = request("GET", "/");
    EXPECT_EQ(status(page), 200) << page;
    EXPECT_NE(page.find("text/html"), std::string::npos);
    EXPECT_NE(page.find("data-clock"), std::string::npos);
    EXPECT_EQ(status(request("GET", "/app.js")), 200);
    std::string state = request("GET", "/api/state", "",
                                "Host: localhost:" + std::to_string(server->port()) + "\r\n");
    EXPECT_EQ(status(state), 200) << state;
    EXPECT_NE(state.find("\"windows\""), std::string::npos);
}

TEST_F(Http, RefusesWhatIsNotAnActionOfItsOwnPages) {
    struct Case {
        const char* what;
        std::string method, path, body, headers;
        int status;
        const char* says;
    } const cases[] = {
        {"a foreign Host (a name rebound to the loopback)", "GET", "/api/state", "",
         "Host: evil.example:" + std::to_string(server->port()) + "\r\n", 403,
         "not to this server"},
        {"another port in Host", "GET", "/", "", "Host: 127.0.0.1:1\r\n", 403,
         "not to this server"},
        {"no Host at all", "GET", "/api/state", "", "Host: \r\n", 403, "no Host"},
        {"an action from another site", "POST", "/api/click", kClick,
         kJson + "Origin: http://evil.example\r\n", 403, "another site"},
        {"an action from a sandboxed page", "POST", "/api/click", kClick,
         kJson + "Origin: null\r\n", 403, "another site"},
        {"a cross-site fetch", "POST", "/api/click", kClick,
         kJson + "Sec-Fetch-Site: cross-site\r\n", 403, "another site"},
        {"an action by GET", "GET", "/api/click?window=main&widget=bmptext20", "", "", 405,
         "POST it"},
        {"a body too large", "POST", "/api/set", std::string(200 * 1024, ' '), kJson, 413,
         "too large"},
        {"malformed JSON", "POST", "/api/click", "{\"window\": \"main\",", kJson, 400, "not JSON"},
        {"JSON that is not an object", "POST", "/api/click", "[1,2]", kJson, 400,
         "not a JSON object"},
        {"a form post", "POST", "/api/click", "window=main&widget=bmptext20",
         "Content-Type: text/plain\r\n", 415, "application/json"},
        {"no such action", "POST", "/api/launch", "{}", kJson, 404, "no action"},
    };
    for (const Case& c : cases) {
        std::string response = request(c.method, c.path, c.body, c.headers);
        EXPECT_EQ(status(response), c.status) << c.what << "\n" << response.substr(0, 300);
        EXPECT_NE(response.find(c.says), std::string::npos) << c.what << "\n" << response;
    }
    EXPECT_FALSE(shown("12")) << "no refused request clicked anything";
    EXPECT_NE(request("GET", "/api/click").find("Allow: POST"), std::string::npos);

    std::string done =
        request("POST", "/api/click", kClick,
                kJson + "Origin: http://" + host + "\r\nSec-Fetch-Site: same-origin\r\n");
    EXPECT_EQ(status(done), 200) << done;
    EXPECT_TRUE(shown("12"));
}

TEST_F(Http, APageThatReadsNothingNeverHoldsThePanelBack) {
    Connection stalled(server->port());
    stalled.send("GET /api/events HTTP/1.1\r\nHost: " + host + "\r\n\r\n");
    // Window 18 writes and redraws on every 200 ms tick: an hour of it is far more than
    // the socket buffers hold.
    ASSERT_EQ(session.act("show", {{"window", "18"}}).status, 200);
    Reply run = session.act("run", {{"ms", 3600000}, {"speed", "max"}, {"wait", true}});
    ASSERT_EQ(run.status, 200) << run.body.dump();
    EXPECT_EQ(run.body["state"]["time_ms"], 3600000);
    std::string state = request("GET", "/api/state");
    EXPECT_EQ(status(state), 200);
    trace.take();
}

TEST_F(Http, TwentyPagesFollowTheEventsAtOnceAndOneMoreIsTurnedAway) {
    std::vector<std::unique_ptr<Connection>> pages;
    for (int i = 0; i < 20; ++i) {
        pages.push_back(std::make_unique<Connection>(server->port()));
        pages.back()->send("GET /api/events HTTP/1.1\r\nHost: " + host + "\r\n\r\n");
        EXPECT_NE(pages.back()->read_until("event: ").find("text/event-stream"), std::string::npos);
    }
    std::string refused = request("GET", "/api/events");
    EXPECT_EQ(status(refused), 503) << refused;
    EXPECT_NE(refused.find("too many event streams"), std::string::npos);

    ASSERT_EQ(session.act("click", {{"window", "main"}, {"widget", "bmptext20"}}).status, 200);
    for (auto& page : pages) {
        EXPECT_NE(page->read_until("open 12").find("\"trace\":\"open 12\""), std::string::npos);
    }
    trace.take();
}

TEST_F(Http, AStreamResumesAfterTheLastEventItHad) {
    ASSERT_EQ(session.act("step", nlohmann::json::object()).status, 200);
    uint64_t last = session.feed().last();
    ASSERT_EQ(session.act("click", {{"window", "main"}, {"widget", "bmptext20"}}).status, 200);
    Connection page(server->port());
    page.send("GET /api/events HTTP/1.1\r\nHost: " + host +
              "\r\nLast-Event-ID: " + std::to_string(last) + "\r\n\r\n");
    std::string got = page.read_until("open 12");
    EXPECT_NE(got.find("click main bmptext20"), std::string::npos);
    EXPECT_EQ(got.find("timer main timer1"), std::string::npos) << "what it had is not sent again";
    trace.take();
}

}  // namespace
}  // namespace hmi::sim::serve::test
