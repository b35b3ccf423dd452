#include "sim/serve/server.hpp"

#include <httplib.h>
#include <signal.h>

#include <charconv>
#include <cstdio>
#include <iostream>

#include "sim/serve/drawings.hpp"
#include "sim/serve/page_files.hpp"

namespace hmi::sim::serve {

using nlohmann::json;

namespace {
constexpr int kPoolThreads = 64;

void reply_json(httplib::Response& res, int status, const json& body) {
    res.status = status;
    res.set_content(body.dump(-1, ' ', false, json::error_handler_t::replace),
                    "application/json; charset=utf-8");
}

void refuse(httplib::Response& res, int status, const std::string& message) {
    reply_json(res, status, {{"error", message}});
}

// One SSE message a run of messages of one kind: events as an array, statuses singly.
std::string sse_text(const Feed::Batch& batch) {
    std::string out;
    if (batch.resync) out += "event: resync\ndata: {}\n\n";
    size_t i = 0;
    while (i < batch.messages.size()) {
        const Message& m = batch.messages[i];
        if (m.kind == Message::Kind::Status) {
            out += "event: status\nid: " + std::to_string(m.seq) + "\ndata: " + m.json + "\n\n";
            ++i;
            continue;
        }
        out += "event: events\ndata: [";
        uint64_t last = m.seq;
        bool first = true;
        for (; i < batch.messages.size() && batch.messages[i].kind == Message::Kind::Event; ++i) {
            out += (first ? "" : ",") + batch.messages[i].json;
            first = false;
            last = batch.messages[i].seq;
        }
        out += "]\nid: " + std::to_string(last) + "\n\n";
    }
    if (out.empty()) out = ": still here\n\n";
    return out;
}
}  // namespace

bool parse_listen(const std::string& text, ServeOptions* options, std::string* error) {
    std::string address = "127.0.0.1", port = text;
    if (!text.empty() && text.front() == '[') {
        size_t close = text.find("]:");
        if (close == std::string::npos) {
            *error = "'" + text + "' is not [ADDRESS]:PORT";
            return false;
        }
        address = text.substr(1, close - 1);
        port = text.substr(close + 2);
    } else if (size_t colon = text.rfind(':'); colon != std::string::npos) {
        address = text.substr(0, colon);
        port = text.substr(colon + 1);
    }
    int number = -1;
    auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), number);
    if (port.empty() || ec != std::errc() || end != port.data() + port.size() || number < 0 ||
        number > 65535) {
        *error = "'" + port + "' is not a port from 0 to 65535";
        return false;
    }
    if (address.empty()) {
        *error = "'" + text + "' names no address before the port";
        return false;
    }
    options->address = address;
    options->port = number;
    return true;
}

Server::Server(Session& session, ServeOptions options)
    : session_(session), options_(std::move(options)), http_(std::make_unique<httplib::Server>()) {
    http_->new_task_queue = [] { return new httplib::ThreadPool(kPoolThreads); };
    http_->set_payload_max_length(options_.body_limit);
    http_->set_keep_alive_max_count(1000);
    routes();
}

Server::~Server() {
    stop();
}

void Server::bind() {
    int port = options_.port;
    bool bound = port == 0 ? (port = http_->bind_to_any_port(options_.address)) > 0
                           : http_->bind_to_port(options_.address, port);
    if (!bound) {
        throw std::runtime_error("cannot listen on " + options_.address + " port " +
                                 std::to_string(options_.port));
    }
    port_ = port;
    guard_ = std::make_unique<Guard>(options_.address, port_);
}

void Server::start() {
    thread_ = std::thread([this] { http_->listen_after_bind(); });
    // A stop before the server runs would be lost and leave it listening for ever.
    for (int i = 0; i < 5000 && !http_->is_running(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void Server::stop() {
    if (stopping_.exchange(true)) return;
    session_.feed().close();  // the event streams end
    http_->stop();
    if (thread_.joinable()) thread_.join();
}

void Server::routes() {
    refusal_routes();
    page_routes();
    reading_routes();
    action_routes();
}

// Requests from another site or for another host are refused before any route sees them.
void Server::refusal_routes() {
    http_->set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
        std::string why =
            guard_ ? guard_->check(req.get_header_value("Host"), req.get_header_value("Origin"),
                                   req.get_header_value("Sec-Fetch-Site"))
                   : "not listening";
        if (why.empty()) return httplib::Server::HandlerResponse::Unhandled;
        refuse(res, 403, why);
        return httplib::Server::HandlerResponse::Handled;
    });
    http_->set_error_handler([](const httplib::Request&, httplib::Response& res) {
        if (!res.body.empty()) return;
        switch (res.status) {
            case 413:
                refuse(res, 413, "the request's body is too large");
                break;
            case 404:
                refuse(res, 404, "nothing here");
                break;
            default:
                refuse(res, res.status, "the request was refused");
                break;
        }
    });
}

// The page's files, compiled into the program.
void Server::page_routes() {
    for (const PageFile& file : page_files()) {
        http_->Get(std::string(file.path),
                   [&file](const httplib::Request&, httplib::Response& res) {
                       res.set_header("Cache-Control", "no-store");
                       res.set_header("X-Content-Type-Options", "nosniff");
                       // Drawings carry their own <style> and style="": styles, never scripts.
                       res.set_header("Content-Security-Policy",
                                      "default-src 'self'; style-src 'self' 'unsafe-inline'; "
                                      "img-src 'self' data:; frame-ancestors 'none'");
                       res.set_content(std::string(file.body), std::string(file.type));
                   });
    }

    // The drawn windows' pictures, checked at start.
    for (const auto& [window, svg] : session_.panel().drawings) {
        http_->Get("/drawings/" + window + ".svg",
                   [&svg](const httplib::Request&, httplib::Response& res) {
                       res.set_header("Cache-Control", "no-store");
                       res.set_header("X-Content-Type-Options", "nosniff");
                       res.set_content(svg, "image/svg+xml");
                   });
    }

    http_->Get("/favicon.ico",
               [](const httplib::Request&, httplib::Response& res) { res.status = 204; });
}

// What the page reads: the whole state, the export, the stream of events.
void Server::reading_routes() {
    http_->Get("/api/state", [this](const httplib::Request&, httplib::Response& res) {
        Reply r = session_.state();
        reply_json(res, r.status, r.body);
    });
    http_->Get("/api/export", [this](const httplib::Request& req, httplib::Response& res) {
        std::vector<std::string> tags;
        std::string list = req.get_param_value("expect");
        size_t start = 0;
        while (start < list.size()) {
            size_t comma = list.find(',', start);
            if (comma == std::string::npos) comma = list.size();
            if (comma > start) tags.push_back(list.substr(start, comma - start));
            start = comma + 1;
        }
        Reply r = session_.scenario_text(tags);
        if (r.status != 200) return reply_json(res, r.status, r.body);
        res.set_header("Content-Disposition", "inline; filename=\"panel.sim\"");
        res.set_content(r.body["scenario"].get<std::string>(), "text/plain; charset=utf-8");
    });
    http_->Get("/api/events", [this](const httplib::Request& req, httplib::Response& res) {
        stream_events(req, res);
    });
}

void Server::stream_events(const httplib::Request& req, httplib::Response& res) {
    if (streams_.fetch_add(1) >= options_.stream_limit) {
        streams_.fetch_sub(1);
        return refuse(res, 503, "too many event streams are open");
    }
    uint64_t last = session_.feed().last();
    uint64_t cursor = last > options_.backlog ? last - options_.backlog : 0;
    std::string resume = req.get_header_value("Last-Event-ID");
    if (!resume.empty()) {
        uint64_t id = 0;
        auto [end, ec] = std::from_chars(resume.data(), resume.data() + resume.size(), id);
        if (ec == std::errc() && end == resume.data() + resume.size() && id <= last) cursor = id;
    }
    res.set_header("Cache-Control", "no-store");
    res.set_chunked_content_provider(
        "text/event-stream",
        [this, cursor](size_t, httplib::DataSink& sink) mutable {
            constexpr size_t kMost = 1000;
            Feed::Batch batch =
                session_.feed().read(cursor, kMost, std::chrono::milliseconds(15000));
            if (batch.closed || stopping_) return false;
            if (!batch.messages.empty()) cursor = batch.messages.back().seq;
            std::string text = sse_text(batch);
            if (!sink.write(text.data(), text.size())) return false;
            // Gathers what comes next into one message, unless far behind.
            if (batch.messages.size() < kMost) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            return true;
        },
        [this](bool) { streams_.fetch_sub(1); });
}

// The actions, POST only, with a JSON body.
void Server::action_routes() {
    http_->Post("/api/([a-z]+)", [this](const httplib::Request& req, httplib::Response& res) {
        std::string action = req.matches[1];
        if (!Session::is_action(action)) return refuse(res, 404, "no action '" + action + "'");
        json body = json::object();
        if (!req.body.empty()) {
            std::string type = req.get_header_value("Content-Type");
            if (type.rfind("application/json", 0) != 0) {
                return refuse(res, 415,
                              "the body of an action is JSON (Content-Type: application/json)");
            }
            try {
                body = json::parse(req.body);
            } catch (const json::parse_error& e) {
                return refuse(res, 400, std::string("the body is not JSON: ") + e.what());
            }
        }
        Reply r = session_.act(action, body);
        reply_json(res, r.status, r.body);
    });
    http_->Get("/api/([a-z]+)", [](const httplib::Request& req, httplib::Response& res) {
        std::string action = req.matches[1];
        if (!Session::is_action(action)) return refuse(res, 404, "nothing at " + req.path);
        res.set_header("Allow", "POST");
        refuse(res, 405, "/api/" + action + " is an action: POST it");
    });
}

int serve_panel(const std::string& listen, const std::vector<std::string>& scenarios,
                const Panel& panel, std::shared_ptr<const Library> library, Options options,
                Sink output, const std::function<void()>& after_first_line) {
    ServeOptions serve;
    std::string error;
    if (!parse_listen(listen, &serve, &error)) {
        std::cerr << "hmisim: --serve " << error << "\n";
        return 2;
    }
    // SIGINT and SIGTERM are taken by this thread alone, for an orderly end.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    // The drawn windows, checked against the panel and the library before anything runs.
    Panel served = panel;
    try {
        served.drawings = load_drawings(panel.directory, panel, *library);
    } catch (const std::exception& e) {
        std::cerr << "hmisim: " << e.what() << "\n";
        return 2;
    }
    Session session(served, std::move(library), std::move(options), std::move(output));
    Server server(session, serve);
    try {
        server.bind();
    } catch (const std::exception& e) {
        std::cerr << "hmisim: " << e.what() << "\n";
        return 2;
    }
    std::printf("serving %s\n", server.url().c_str());
    std::fflush(stdout);
    if (after_first_line) after_first_line();
    session.start(scenarios);
    server.start();
    int signal = 0;
    sigwait(&signals, &signal);
    session.stop();  // requests still waiting for the simulator are answered 503
    server.stop();
    return 0;
}

}  // namespace hmi::sim::serve
