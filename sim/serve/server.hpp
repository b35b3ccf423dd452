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
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "sim/serve/guard.hpp"
#include "sim/serve/session.hpp"

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace hmi::sim::serve {

struct ServeOptions {
    std::string address = "127.0.0.1";
    int port = 0;                   // 0: any free port
    size_t body_limit = 64 * 1024;  // bytes of a request's body (413 beyond)
    size_t stream_limit = 40;       // event streams at once (503 beyond)
    size_t backlog = 500;           // events a new stream starts with
};

// "[ADDR:]PORT", "[::1]:PORT". False with a message when it is none.
bool parse_listen(const std::string& text, ServeOptions* options, std::string* error);

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

  private:
    void routes();
    void refusal_routes();
    void page_routes();
    void reading_routes();
    void action_routes();
    void stream_events(const httplib::Request& req, httplib::Response& res);

    Session& session_;
    ServeOptions options_;
    std::unique_ptr<httplib::Server> http_;
    std::unique_ptr<Guard> guard_;
    int port_ = 0;
    std::atomic<size_t> streams_{0};
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

// hmisim --serve: binds, prints "serving URL" (then whatever `after_first_line` writes),
// runs the scenario files, serves until SIGINT or SIGTERM. Returns the exit status.
int serve_panel(const std::string& listen, const std::vector<std::string>& scenarios,
                const Panel& panel, std::shared_ptr<const Library> library, Options options,
                Sink output, const std::function<void()>& after_first_line = nullptr);

}  // namespace hmi::sim::serve
