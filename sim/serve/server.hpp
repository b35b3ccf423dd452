// The HTTP side of the served panel: the page, the JSON API under /api/ and the event
// stream, in front of a Session.
//
//   GET  /                  the page (compiled into the program)
//   GET  /api/state         the whole state: time, dialog, windows with widgets, tags
//   POST /api/click         {"window":"12","widget":"text2"}
//   POST /api/set           {"tag":"dtmain.num","value":"5"}
//   POST /api/show, /hide   {"window":"12"}
//   POST /api/run           {"ms":1000} {"speed":1|10|100|"max"} {"wait":true}
//   POST /api/pause, /step  {}
//   POST /api/answer        {"answer":6} | {"value":5} | {"answer":"cancel"}
//   POST /api/clock         {"clock":"2025-01-01 08:00:00"}
//   GET  /api/export        the scenario so far (text); ?expect=TAG,TAG adds expectations
//   GET  /api/events        Server-Sent Events: "events" (arrays of trace events),
//                           "status" (time, run, dialog) and "resync"
//
// What a request may be, and what a client may hold: every connection is served by one
// thread that never waits (reads and writes are asynchronous, and the simulator answers
// each request when it comes to it), so a slow or silent client costs a socket and a few
// kilobytes, never a thread. A request's head and body must arrive whole within
// kRequestWithin; its header lines and its body are bounded as they are read, whatever
// the transfer form; an encoded body is refused unread. Connections are bounded per
// client and in all; at the bound, the oldest that has not sent a whole request gives
// its place to the newcomer.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "sim/serve/guard.hpp"
#include "sim/serve/session.hpp"

namespace hmi::sim::serve {

struct ServeOptions {
    std::string address = "127.0.0.1";
    int port = 0;                     // 0: any free port
    size_t body_limit = 64 * 1024;    // bytes of a request's body, decoded (413 beyond)
    size_t header_limit = 16 * 1024;  // bytes of the request line and header lines (431)
    size_t most_headers = 64;         // header lines (431 beyond)
    size_t stream_limit = 40;         // event streams at once (503 beyond)
    size_t backlog = 500;             // events a new stream starts with
    size_t most_connections = 1024;   // in all
    size_t most_per_client = 320;     // from one address
    std::chrono::milliseconds request_within{5000};  // a request's head and body
};

// "[ADDR:]PORT", "[::1]:PORT". False with a message when it is none.
bool parse_listen(const std::string& text, ServeOptions* options, std::string* error);

// A JSON body as the actions take it: at most kMostDepth levels of arrays and objects,
// numbers a double holds. Empty when it parses, else why not (naming the field of a
// number out of range).
constexpr int kMostDepth = 8;
std::string parse_body(const std::string& text, nlohmann::json* out);

// Whether a Content-Type header says JSON: application/json, with no parameter but a
// charset of utf-8.
bool is_json_type(const std::string& content_type);

class Server {
  public:
    Server(Session& session, ServeOptions options);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Binds the port; throws std::runtime_error naming the address when it cannot.
    void bind();
    int port() const { return port_; }
    std::string url() const { return url_of(options_.address, port_); }
    void start();  // serves on a thread of its own
    void stop();

    struct Net;  // the sockets, their thread and what the connections share

  private:
    Session& session_;
    ServeOptions options_;
    std::unique_ptr<Net> net_;
    int port_ = 0;
};

// hmisim --serve: binds, prints "serving URL" (then whatever `after_first_line` writes),
// runs the scenario files, serves until SIGINT or SIGTERM. Returns the exit status.
int serve_panel(const std::string& listen, const std::vector<std::string>& scenarios,
                const Panel& panel, std::shared_ptr<const Library> library, Options options,
                Sink output, const std::function<void()>& after_first_line = nullptr);

}  // namespace hmi::sim::serve
