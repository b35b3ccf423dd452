// The server over raw HTTP on the loopback: who may send requests, what a request may
// be, and that pages which read slowly or not at all cost the simulator nothing.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

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
        options.request_within = 1000ms;
        options.most_per_client = 32;
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
    // Bytes as they stand, on a connection of its own; the whole response.
    std::string raw(const std::string& text) {
        Connection c(server->port());
        EXPECT_TRUE(c.ok());
        c.send(text);
        return c.read_all();
    }
    std::string head(const std::string& request_line, const std::string& headers = "") {
        return request_line + " HTTP/1.1\r\nHost: " + host + "\r\n" + headers;
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

// What a request may be: its framing, its size, its head, its type and its body. Each is
// refused with the status that says so, and the connection is answered, never dropped.
TEST_F(Http, RefusesRequestsBeyondWhatItReads) {
    auto chunk = [](size_t n) {
        std::string hex = "0123456789abcdef", size;
        for (size_t v = n; v != 0; v /= 16) size.insert(size.begin(), hex[v % 16]);
        return size + "\r\n" + std::string(n, ' ') + "\r\n";
    };
    std::string many_headers;
    for (int i = 0; i < 100; ++i) many_headers += "X-" + std::to_string(i) + ": 1\r\n";
    const std::string deep = "{\"ms\":" + std::string(3000, '[') + std::string(3000, ']') + "}";
    auto post = [&](const std::string& type, const std::string& body) {
        return head("POST /api/run", (type.empty() ? "" : "Content-Type: " + type + "\r\n") +
                                         "Content-Length: " + std::to_string(body.size()) +
                                         "\r\nConnection: close\r\n\r\n" + body);
    };
    struct Case {
        const char* what;
        std::string request;
        int status;
        const char* says;
    } const cases[] = {
        {"a body nested thousands deep", post("application/json", deep), 400, "deeper than 8"},
        {"a number past a double", post("application/json", R"({"ms":1e400})"), 400,
         R"(\"ms\" is a number out of range)"},
        {"a chunked body past the limit, never ended",
         head("POST /api/run", kJson + "Transfer-Encoding: chunked\r\n\r\n") + chunk(40000) +
             chunk(40000),
         413, "too large"},
        {"a length past the limit, the body never sent",
         head("POST /api/run", kJson + "Content-Length: 1000000000\r\n\r\n"), 413, "too large"},
        {"an encoded body",
         head("POST /api/run",
              kJson + "Content-Encoding: gzip\r\n" + "Content-Length: 2\r\n\r\n{}"),
         415, "Content-Encoding"},
        {"a hundred header lines", head("GET /api/state", many_headers + "\r\n"), 431,
         "more than 64 header lines"},
        {"a header line of 20 KB",
         head("GET /api/state", "X-A: " + std::string(20000, 'a') + "\r\n\r\n"), 431,
         "larger than 16 KiB"},
        {"Content-Length 1e20", head("POST /api/run", kJson + "Content-Length: 1e20\r\n\r\n{}"),
         400, "Content-Length"},
        {"Content-Length -1", head("POST /api/run", kJson + "Content-Length: -1\r\n\r\n{}"), 400,
         "Content-Length"},
        {"a form", post("multipart/form-data; boundary=x", "--x--\r\n"), 415, "application/json"},
        {"an empty text", post("text/plain", ""), 415, "application/json"},
        {"JSONP", post("application/jsonp", "{}"), 415, "application/json"},
        {"no type", post("", "{}"), 415, "application/json"},
        {"JSON with no body", post("application/json", ""), 400, "not JSON"},
        {"PUT on an action", head("PUT /api/run", "Content-Length: 0\r\n\r\n"), 405, "POST it"},
        {"DELETE on an action", head("DELETE /api/click", "\r\n"), 405, "POST it"},
        {"OPTIONS on an action", head("OPTIONS /api/pause", "\r\n"), 405, "POST it"},
        {"POST on the state", head("POST /api/state", kJson + "Content-Length: 2\r\n\r\n{}"), 405,
         "GET"},
    };
    for (const Case& c : cases) {
        std::string response = raw(c.request);
        EXPECT_EQ(status(response), c.status) << c.what << "\n" << response.substr(0, 300);
        EXPECT_NE(response.find(c.says), std::string::npos) << c.what << "\n" << response;
        EXPECT_EQ(response.find("EXCEPTION"), std::string::npos) << c.what;
        bool allow = response.find("Allow: ") != std::string::npos;
        EXPECT_EQ(allow, c.status == 405) << c.what;
    }
    EXPECT_TRUE(session.state().body["running"].is_null()) << "no refused request ran time";
    trace.take();
}

TEST_F(Http, PipelinedRequestsAreEachAnsweredAndCarriedOut) {
    const std::string show = R"({"window":"12"})";
    Connection c(server->port());
    c.send(head("POST /api/show",
                kJson + "Content-Length: " + std::to_string(show.size()) + "\r\n\r\n" + show) +
           head("POST /api/hide", kJson + "Content-Length: 15\r\n\r\n{\"window\":\"12\"}") +
           head("POST /api/show", kJson + "Content-Length: 15\r\n\r\n{\"window\":\"12\"}") +
           head("GET /api/state", "Connection: close\r\n\r\n"));
    std::string got = c.read_all();
    size_t answers = 0;
    for (size_t at = got.find("HTTP/1.1 200"); at != std::string::npos;
         at = got.find("HTTP/1.1 200", at + 1)) {
        ++answers;
    }
    EXPECT_EQ(answers, 4u) << got.substr(0, 500);
    EXPECT_TRUE(shown("12"));
    EXPECT_EQ(trace.take().find("hide 12") != std::string::npos, true);
}

// Slow clients: a request dripped header line by header line ends with its connection
// once its time is up, and clients that hold connections without sending a request give
// them up, oldest first, to one that does; meanwhile a normal client is answered.
TEST_F(Http, SlowClientsNeitherHoldConnectionsNorDeafenTheServer) {
    Connection drip(server->port());
    drip.send("GET /api/state HTTP/1.1\r\n");
    std::vector<std::unique_ptr<Connection>> silent;
    for (int i = 0; i < 40; ++i) {  // more than the 32 one client may hold
        silent.push_back(std::make_unique<Connection>(server->port()));
        silent.back()->send("GET / HTTP/1.1\r\nHost: " + host + "\r\n");
    }
    EXPECT_EQ(status(request("GET", "/api/state")), 200);
    for (int i = 0; i < 3; ++i) {
        drip.send("X-Slow: " + std::to_string(i) + "\r\n");
        std::this_thread::sleep_for(100ms);
    }
    // Ends before the dripping does: the connection is closed with nothing sent.
    EXPECT_EQ(drip.read_all(), "");
    EXPECT_EQ(status(request("GET", "/api/state")), 200);
}

TEST_F(Http, RequestsWaitingForARunLeaveThePauseThatEndsIt) {
    std::vector<std::unique_ptr<Connection>> waiting;
    const std::string wait = R"({"wait":true})";
    for (int i = 0; i < 24; ++i) {
        waiting.push_back(std::make_unique<Connection>(server->port()));
        waiting.back()->send(
            head("POST /api/run", kJson + "Content-Length: " + std::to_string(wait.size()) +
                                      "\r\nConnection: close\r\n\r\n" + wait));
    }
    EXPECT_EQ(status(request("POST", "/api/pause", "{}", kJson)), 200);
    for (auto& w : waiting) EXPECT_EQ(status(w->read_all()), 200);
    trace.take();
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
