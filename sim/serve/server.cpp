#include "sim/serve/server.hpp"

#include <signal.h>

#include <array>
#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <charconv>
#include <cstdio>
#include <future>
#include <iostream>
#include <list>
#include <optional>

#include "host/lines.hpp"
#include "sim/serve/drawings.hpp"
#include "sim/serve/page_files.hpp"

namespace hmi::sim::serve {

namespace net = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = net::ip::tcp;
using nlohmann::json;
using namespace std::chrono_literals;

namespace {
constexpr auto kWriteWithin = 5s;    // a reply, or a piece of an event stream, to be taken
constexpr auto kAnswerWithin = 60s;  // the simulator's reply to a request that does not wait
constexpr auto kLingerFor = 2s;      // reading what a refused client still sends, then closing
constexpr size_t kMostLingerBytes = 1u << 20;
constexpr unsigned kMostRequestsPerConnection = 1000;
constexpr auto kStreamPoll = 25ms;  // how often a stream looks for new events
constexpr auto kStreamQuiet = 15s;  // a stream with nothing to say says it is still there
constexpr size_t kStreamBatch = 1000;

struct Response {
    int status = 200;
    std::string type = "application/json; charset=utf-8";
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;
    bool close = false;  // the connection ends after it
};

Response json_reply(int status, const json& body) {
    Response r;
    r.status = status;
    r.body = body.dump(-1, ' ', false, json::error_handler_t::replace);
    return r;
}

Response refusal(int status, const std::string& message, bool close = false) {
    Response r = json_reply(status, {{"error", message}});
    r.close = close;
    return r;
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
    return out;
}

// The deepest nesting of arrays and objects in a JSON text (strings skipped).
int json_depth(const std::string& text) {
    int depth = 0, deepest = 0;
    bool in_string = false;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (in_string) {
            if (c == '\\') ++i;
            if (c == '"') in_string = false;
        } else if (c == '"') {
            in_string = true;
        } else if (c == '[' || c == '{') {
            deepest = std::max(deepest, ++depth);
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return deepest;
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The value of a query parameter, %-decoded ("" when absent).
std::string query_value(std::string_view query, std::string_view name) {
    while (!query.empty()) {
        size_t amp = query.find('&');
        std::string_view pair = query.substr(0, amp);
        query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
        size_t eq = pair.find('=');
        if (pair.substr(0, eq) != name) continue;
        std::string_view raw = eq == std::string_view::npos ? "" : pair.substr(eq + 1);
        std::string out;
        for (size_t i = 0; i < raw.size(); ++i) {
            if (raw[i] == '+') {
                out += ' ';
            } else if (raw[i] == '%' && i + 2 < raw.size() + 0 && hex_digit(raw[i + 1]) >= 0 &&
                       hex_digit(raw[i + 2]) >= 0) {
                out += static_cast<char>(hex_digit(raw[i + 1]) * 16 + hex_digit(raw[i + 2]));
                i += 2;
            } else {
                out += raw[i];
            }
        }
        return out;
    }
    return "";
}

std::vector<std::string> comma_list(const std::string& list) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start < list.size()) {
        size_t comma = list.find(',', start);
        if (comma == std::string::npos) comma = list.size();
        if (comma > start) out.push_back(list.substr(start, comma - start));
        start = comma + 1;
    }
    return out;
}

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}
}  // namespace

std::string parse_body(const std::string& text, json* out) {
    if (json_depth(text) > kMostDepth) {
        return "the body nests deeper than " + std::to_string(kMostDepth) + " levels";
    }
    std::string key;
    auto note_key = [&key](int, json::parse_event_t event, json& parsed) {
        if (event == json::parse_event_t::key) key = parsed.get<std::string>();
        return true;
    };
    try {
        *out = json::parse(text, note_key);
    } catch (const json::out_of_range&) {
        if (key.empty()) return "a number of the body is out of range";
        return "\"" + key.substr(0, 60) + "\" is a number out of range";
    } catch (const json::parse_error& e) {
        return "the body is not JSON (at byte " + std::to_string(e.byte) + ")";
    } catch (const json::exception&) {
        return "the body is not JSON";
    }
    return "";
}

bool is_json_type(const std::string& content_type) {
    std::string type;
    for (char c : lower(content_type)) {
        if (c != ' ' && c != '\t') type += c;
    }
    return type == "application/json" || type == "application/json;charset=utf-8";
}

bool parse_listen(const std::string& text, ServeOptions* options, std::string* error) {
    std::string address = "127.0.0.1", port = text;
    if (!text.empty() && text.front() == '[') {
        size_t close = text.find("]:");
        if (close == std::string::npos) {
            *error = host::quoted_excerpt(text) + " is not [ADDRESS]:PORT";
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
        *error = host::quoted_excerpt(port) + " is not a port from 0 to 65535";
        return false;
    }
    if (address.empty()) {
        *error = host::quoted_excerpt(text) + " names no address before the port";
        return false;
    }
    options->address = address;
    options->port = number;
    return true;
}

class Connection;

// Where the simulator's thread hands its replies to the network's: closed at stop, so a
// reply that comes later goes nowhere.
struct Outlet {
    std::mutex mutex;
    bool open = true;
    net::io_context* io = nullptr;
};

struct Server::Net {
    Net(Session& s, const ServeOptions& o) : session(s), options(o) {}

    Session& session;
    const ServeOptions& options;
    std::unique_ptr<Guard> guard;
    std::atomic<size_t> streams{0};
    // The connections in the order they came; before the io_context, which destroys
    // the last of them.
    std::mutex mutex;
    std::list<std::weak_ptr<Connection>> connections;
    net::io_context io{1};
    tcp::acceptor acceptor{io};
    net::steady_timer accept_again{io};
    std::shared_ptr<Outlet> outlet = std::make_shared<Outlet>();
    std::thread thread;
    std::future<void> ended;
    bool stopped = false;

    void accept();
    void admit(tcp::socket socket);
    std::vector<std::shared_ptr<Connection>> live();
};

class Connection : public std::enable_shared_from_this<Connection> {
  public:
    Connection(Server::Net& net, tcp::socket socket, std::string client)
        : net_(net), stream_(std::move(socket)), timer_(net.io), client_(std::move(client)) {}
    ~Connection();
    void start(std::list<std::weak_ptr<Connection>>::iterator place);
    void close();
    const std::string& client() const { return client_; }
    // Waiting for (part of) a request: a client that holds a connection without sending
    // one gives its place first.
    bool idle() const { return idle_; }

  private:
    using Parser = http::request_parser<http::string_body>;
    void read_request();
    void on_header();
    void refuse_read(beast::error_code ec);
    void handle();
    void route(const std::string& path, const std::string& query);
    void act(const std::string& action);
    void await(std::shared_ptr<Session::Call> call, bool timed, bool exported);
    Session::Answer answer_here();
    void answered(Reply reply);
    void send(Response r);
    void linger();
    void drain();
    void stream_events();
    void stream_tick();
    void stream_write(std::string text);
    void watch_end();

    Server::Net& net_;
    beast::tcp_stream stream_;
    net::steady_timer timer_;
    std::string client_;
    std::list<std::weak_ptr<Connection>>::iterator place_;
    bool registered_ = false;
    beast::flat_buffer buffer_;
    std::optional<Parser> parser_;
    std::atomic<bool> idle_{true};
    bool keep_alive_ = false;
    unsigned served_ = 0;
    bool closed_ = false;
    // A request the simulator has still to answer; the connection holds itself meanwhile.
    std::shared_ptr<Session::Call> call_;
    bool exported_ = false;
    std::shared_ptr<Connection> holding_;
    std::array<char, 4096> scratch_;
    size_t drained_ = 0;
    // An event stream.
    bool streaming_ = false;
    bool writing_ = false;
    uint64_t cursor_ = 0;
    std::string out_;
    std::chrono::steady_clock::time_point last_write_;
};

Connection::~Connection() {
    if (streaming_) net_.streams.fetch_sub(1);
    if (registered_) {
        std::lock_guard<std::mutex> lock(net_.mutex);
        net_.connections.erase(place_);
    }
}

void Connection::start(std::list<std::weak_ptr<Connection>>::iterator place) {
    place_ = place;
    registered_ = true;
    beast::error_code ec;
    // Small replies go out at once, not after the client's acknowledgement.
    stream_.socket().set_option(tcp::no_delay(true), ec);
    read_request();
}

void Connection::close() {
    auto self = shared_from_this();
    if (closed_) return;
    closed_ = true;
    if (call_) call_->give_up();
    call_.reset();
    beast::error_code ec;
    stream_.socket().shutdown(tcp::socket::shutdown_both, ec);
    stream_.socket().close(ec);
    timer_.cancel();
    holding_.reset();
}

void Connection::read_request() {
    if (closed_) return;
    if (served_ >= kMostRequestsPerConnection) return linger();
    parser_.emplace();
    parser_->header_limit(static_cast<uint32_t>(net_.options.header_limit));
    parser_->body_limit(net_.options.body_limit);
    idle_ = true;
    // One deadline for the head and the body together: a request dripped a byte at a
    // time ends with its connection.
    stream_.expires_after(net_.options.request_within);
    http::async_read_header(stream_, buffer_, *parser_,
                            [self = shared_from_this()](beast::error_code ec, size_t) {
                                if (ec) return self->refuse_read(ec);
                                self->on_header();
                            });
}

void Connection::on_header() {
    const auto& req = parser_->get();
    if (static_cast<size_t>(std::distance(req.begin(), req.end())) > net_.options.most_headers) {
        return send(refusal(431,
                            "the request has more than " +
                                std::to_string(net_.options.most_headers) + " header lines",
                            true));
    }
    if (req.count(http::field::content_encoding) != 0) {
        return send(refusal(415, "a request's body is sent as it is (no Content-Encoding)", true));
    }
    if (parser_->is_done()) return handle();
    http::async_read(stream_, buffer_, *parser_,
                     [self = shared_from_this()](beast::error_code ec, size_t) {
                         if (ec) return self->refuse_read(ec);
                         self->handle();
                     });
}

void Connection::refuse_read(beast::error_code ec) {
    if (ec == http::error::header_limit) {
        return send(refusal(431,
                            "the request's head is larger than " +
                                std::to_string(net_.options.header_limit >> 10) + " KiB",
                            true));
    }
    if (ec == http::error::body_limit) {
        return send(refusal(413,
                            "the request's body is too large (at most " +
                                std::to_string(net_.options.body_limit >> 10) + " KiB)",
                            true));
    }
    if (ec == http::error::end_of_stream ||
        ec.category() != http::make_error_code(http::error::end_of_stream).category()) {
        return close();  // gone, timed out, or closed by the server
    }
    if (ec == http::error::partial_message) return close();
    if (ec == http::error::bad_content_length) {
        return send(refusal(400, "the request's Content-Length is not a length", true));
    }
    if (ec == http::error::bad_transfer_encoding) {
        return send(refusal(400, "the request's Transfer-Encoding is not chunked", true));
    }
    send(refusal(400, "the request is not HTTP/1.1 as this server reads it", true));
}

void Connection::handle() {
    idle_ = false;
    ++served_;
    const auto& req = parser_->get();
    keep_alive_ = req.keep_alive();
    if (req.count(http::field::host) > 1) return send(refusal(400, "the request has two Hosts"));
    std::string why = net_.guard->check(std::string(req[http::field::host]),
                                        std::string(req[http::field::origin]),
                                        std::string(req["Sec-Fetch-Site"]));
    if (!why.empty()) return send(refusal(403, why));
    std::string target(req.target());
    size_t question = target.find('?');
    std::string query = question == std::string::npos ? "" : target.substr(question + 1);
    try {
        route(target.substr(0, question), query);
    } catch (const std::exception&) {
        send(refusal(500, "the request could not be carried out", true));
    }
}

// Which methods a path takes: the page's files and what the page reads by GET, the
// actions by POST.
void Connection::route(const std::string& path, const std::string& query) {
    const auto& req = parser_->get();
    bool get = req.method() == http::verb::get, post = req.method() == http::verb::post;
    auto wrong_method = [&](const char* allow, const std::string& message) {
        Response r = refusal(405, message);
        r.headers.emplace_back("Allow", allow);
        send(std::move(r));
    };
    for (const PageFile& file : page_files()) {
        if (path != file.path) continue;
        if (!get) return wrong_method("GET", path + " is read with GET");
        Response r;
        r.type = std::string(file.type);
        r.body = std::string(file.body);
        r.headers = {{"Cache-Control", "no-store"},
                     {"X-Content-Type-Options", "nosniff"},
                     {"Content-Security-Policy",
                      // Drawings carry their own <style> and style="": styles, never scripts.
                      "default-src 'self'; style-src 'self' 'unsafe-inline'; "
                      "img-src 'self' data:; frame-ancestors 'none'"}};
        return send(std::move(r));
    }
    // The drawn windows' pictures, checked at start.
    const std::string drawings = "/drawings/";
    if (path.rfind(drawings, 0) == 0 && path.size() > drawings.size() + 4 &&
        path.compare(path.size() - 4, 4, ".svg") == 0) {
        const auto& all = net_.session.panel().drawings;
        auto found = all.find(path.substr(drawings.size(), path.size() - drawings.size() - 4));
        if (found != all.end()) {
            if (!get) return wrong_method("GET", path + " is read with GET");
            Response r;
            r.type = "image/svg+xml";
            r.body = found->second;
            r.headers = {{"Cache-Control", "no-store"}, {"X-Content-Type-Options", "nosniff"}};
            return send(std::move(r));
        }
    }
    if (path == "/favicon.ico") {
        Response r;
        r.status = 204;
        r.type.clear();
        return send(std::move(r));
    }
    if (path == "/api/state" || path == "/api/export" || path == "/api/events") {
        if (!get) return wrong_method("GET", path + " is read with GET");
        if (path == "/api/events") return stream_events();
        if (path == "/api/state") return await(net_.session.state(answer_here()), true, false);
        auto tags = comma_list(query_value(query, "expect"));
        return await(net_.session.scenario_text(tags, answer_here()), true, true);
    }
    const std::string prefix = "/api/";
    if (path.rfind(prefix, 0) == 0 && Session::is_action(path.substr(prefix.size()))) {
        if (!post) return wrong_method("POST", path + " is an action: POST it");
        return act(path.substr(prefix.size()));
    }
    if (path.rfind(prefix, 0) == 0 && post) {
        return send(refusal(404, "no action " + host::quoted_excerpt(path.substr(prefix.size()))));
    }
    send(refusal(404, "nothing at " + host::quoted_excerpt(path)));
}

// An action from a page: a JSON object, said to be JSON. A plain form of any web site
// can send neither.
void Connection::act(const std::string& action) {
    const auto& req = parser_->get();
    if (!is_json_type(std::string(req[http::field::content_type]))) {
        return send(refusal(415, "the body of an action is JSON (Content-Type: application/json)"));
    }
    json body;
    std::string bad = parse_body(req.body(), &body);
    if (!bad.empty()) return send(refusal(400, bad));
    if (!body.is_object()) return send(refusal(400, "the request's body is not a JSON object"));
    bool waits = Session::waits(action, body);
    await(net_.session.act(action, body, answer_here()), !waits, false);
}

Session::Answer Connection::answer_here() {
    return [outlet = net_.outlet, weak = weak_from_this()](Reply reply) {
        std::lock_guard<std::mutex> lock(outlet->mutex);
        if (!outlet->open) return;
        net::post(*outlet->io, [weak, reply = std::move(reply)]() mutable {
            if (auto self = weak.lock()) self->answered(std::move(reply));
        });
    };
}

// Until the simulator answers: a request that does not wait for a run gives up after
// kAnswerWithin, and its task, not yet begun, is dropped.
void Connection::await(std::shared_ptr<Session::Call> call, bool timed, bool exported) {
    if (closed_) return call->give_up();
    call_ = std::move(call);
    exported_ = exported;
    holding_ = shared_from_this();
    stream_.expires_never();
    if (!timed) return;
    timer_.expires_after(kAnswerWithin);
    timer_.async_wait([self = shared_from_this()](beast::error_code ec) {
        if (ec || !self->call_) return;
        self->call_->give_up();
        self->call_.reset();
        self->holding_.reset();
        self->send(refusal(503, "the simulator did not answer within 60 s"));
    });
}

void Connection::answered(Reply reply) {
    if (!call_) return;  // given up, or closed
    call_.reset();
    timer_.cancel();
    auto self = shared_from_this();
    holding_.reset();
    if (!exported_ || reply.status != 200) return send(json_reply(reply.status, reply.body));
    Response r;
    r.type = "text/plain; charset=utf-8";
    r.body = reply.body["scenario"].get<std::string>();
    r.headers.emplace_back("Content-Disposition", "inline; filename=\"panel.sim\"");
    send(std::move(r));
}

void Connection::send(Response r) {
    if (closed_) return;
    idle_ = false;
    auto res = std::make_shared<http::response<http::string_body>>(
        static_cast<http::status>(r.status), 11);
    res->set(http::field::server, "hmisim");
    if (!r.type.empty()) res->set(http::field::content_type, r.type);
    for (const auto& [name, value] : r.headers) res->set(name, value);
    res->body() = std::move(r.body);
    bool keep = !r.close && keep_alive_ && served_ < kMostRequestsPerConnection;
    res->keep_alive(keep);
    res->prepare_payload();
    stream_.expires_after(kWriteWithin);
    http::async_write(stream_, *res,
                      [self = shared_from_this(), res, keep](beast::error_code ec, size_t) {
                          if (ec) return self->close();
                          if (!keep) return self->linger();
                          self->read_request();  // pipelined requests are in buffer_ already
                      });
}

// A connection that ends after its reply: what the client still sends is read and
// dropped for a moment, so that the reply is not lost to a reset.
void Connection::linger() {
    beast::error_code ec;
    stream_.socket().shutdown(tcp::socket::shutdown_send, ec);
    stream_.expires_after(kLingerFor);
    drain();
}

void Connection::drain() {
    stream_.async_read_some(net::buffer(scratch_),
                            [self = shared_from_this()](beast::error_code ec, size_t n) {
                                self->drained_ += n;
                                if (ec || self->drained_ > kMostLingerBytes) return self->close();
                                self->drain();
                            });
}

// ---- an event stream: polled from the feed, written when the client takes it ----

void Connection::stream_events() {
    if (net_.streams.fetch_add(1) >= net_.options.stream_limit) {
        net_.streams.fetch_sub(1);
        return send(refusal(503, "too many event streams are open"));
    }
    streaming_ = true;
    Feed& feed = net_.session.feed();
    uint64_t last = feed.last();
    cursor_ = last > net_.options.backlog ? last - net_.options.backlog : 0;
    std::string resume(parser_->get()["Last-Event-ID"]);
    if (!resume.empty()) {
        uint64_t id = 0;
        auto [end, ec] = std::from_chars(resume.data(), resume.data() + resume.size(), id);
        if (ec == std::errc() && end == resume.data() + resume.size() && id <= last) cursor_ = id;
    }
    stream_.expires_never();
    watch_end();
    stream_write(
        "HTTP/1.1 200 OK\r\nServer: hmisim\r\nContent-Type: text/event-stream\r\n"
        "Cache-Control: no-store\r\nConnection: close\r\n\r\n");
    stream_tick();
}

// The client sends nothing more; reading tells when it has gone.
void Connection::watch_end() {
    stream_.async_read_some(net::buffer(scratch_),
                            [self = shared_from_this()](beast::error_code ec, size_t) {
                                if (ec) return self->close();
                                self->watch_end();
                            });
}

void Connection::stream_tick() {
    if (closed_) return;
    if (!writing_) {
        Feed::Batch batch = net_.session.feed().read(cursor_, kStreamBatch, 0ms);
        if (batch.closed) return close();
        if (!batch.messages.empty()) cursor_ = batch.messages.back().seq;
        std::string text = sse_text(batch);
        if (text.empty() && std::chrono::steady_clock::now() - last_write_ >= kStreamQuiet) {
            text = ": still here\n\n";
        }
        if (!text.empty()) stream_write(std::move(text));
    }
    timer_.expires_after(kStreamPoll);
    timer_.async_wait([self = shared_from_this()](beast::error_code ec) {
        if (!ec) self->stream_tick();
    });
}

void Connection::stream_write(std::string text) {
    out_ = std::move(text);
    writing_ = true;
    last_write_ = std::chrono::steady_clock::now();
    // A page that takes nothing for kWriteWithin is dropped; the simulator never waits.
    stream_.expires_after(kWriteWithin);
    net::async_write(stream_, net::buffer(out_),
                     [self = shared_from_this()](beast::error_code ec, size_t) {
                         self->writing_ = false;
                         if (ec) self->close();
                     });
}

// ---- accepting ----

std::vector<std::shared_ptr<Connection>> Server::Net::live() {
    std::vector<std::shared_ptr<Connection>> out;
    std::lock_guard<std::mutex> lock(mutex);
    for (auto& weak : connections) {
        if (auto c = weak.lock()) out.push_back(std::move(c));
    }
    return out;
}

void Server::Net::accept() {
    acceptor.async_accept([this](beast::error_code ec, tcp::socket socket) {
        if (ec == net::error::operation_aborted || !acceptor.is_open()) return;
        if (ec) {
            // Out of descriptors, say: try again shortly rather than spin.
            accept_again.expires_after(50ms);
            accept_again.async_wait([this](beast::error_code e) {
                if (!e) accept();
            });
            return;
        }
        admit(std::move(socket));
        accept();
    });
}

// At a bound, the oldest connection that has not sent a whole request (of this client,
// or of any at the bound in all) is closed for the newcomer; when none is, the newcomer
// is.
void Server::Net::admit(tcp::socket socket) {
    beast::error_code ec;
    auto remote = socket.remote_endpoint(ec);
    if (ec) return;
    std::string client = remote.address().to_string();
    std::vector<std::shared_ptr<Connection>> all = live();
    size_t mine = 0;
    for (const auto& c : all) mine += c->client() == client;
    bool per_client = mine >= options.most_per_client;
    if (per_client || all.size() >= options.most_connections) {
        std::shared_ptr<Connection> oldest;
        for (const auto& c : all) {
            if (c->idle() && (!per_client || c->client() == client)) {
                oldest = c;
                break;
            }
        }
        if (!oldest) return;  // the socket closes as it goes
        oldest->close();
    }
    all.clear();
    auto c = std::make_shared<Connection>(*this, std::move(socket), client);
    std::list<std::weak_ptr<Connection>>::iterator place;
    {
        std::lock_guard<std::mutex> lock(mutex);
        place = connections.insert(connections.end(), c);
    }
    c->start(place);
}

// ---- the server ----

Server::Server(Session& session, ServeOptions options)
    : session_(session), options_(std::move(options)) {
    net_ = std::make_unique<Net>(session_, options_);
    net_->outlet->io = &net_->io;
}

Server::~Server() {
    stop();
}

void Server::bind() {
    beast::error_code ec;
    std::string address = options_.address == "localhost" ? "127.0.0.1" : options_.address;
    auto ip = net::ip::make_address(address, ec);
    tcp::endpoint endpoint(ip, static_cast<uint16_t>(options_.port));
    tcp::acceptor& acceptor = net_->acceptor;
    if (!ec) acceptor.open(endpoint.protocol(), ec);
    if (!ec) acceptor.set_option(net::socket_base::reuse_address(true), ec);
    if (!ec) acceptor.bind(endpoint, ec);
    if (!ec) acceptor.listen(net::socket_base::max_listen_connections, ec);
    if (ec) {
        throw std::runtime_error("cannot listen on " + options_.address + " port " +
                                 std::to_string(options_.port) + ": " + ec.message());
    }
    port_ = acceptor.local_endpoint().port();
    net_->guard = std::make_unique<Guard>(options_.address, port_);
}

void Server::start() {
    Net& n = *net_;
    n.accept();
    auto ended = std::make_shared<std::promise<void>>();
    n.ended = ended->get_future();
    n.thread = std::thread([&n, ended] {
        n.io.run();
        ended->set_value();
    });
}

void Server::stop() {
    Net& n = *net_;
    if (n.stopped) return;
    n.stopped = true;
    session_.feed().close();  // the event streams end
    {
        std::lock_guard<std::mutex> lock(n.outlet->mutex);
        n.outlet->open = false;
    }
    if (!n.thread.joinable()) return;
    // Every connection ends; the network's thread then runs out of work.
    net::post(n.io, [&n] {
        beast::error_code ec;
        n.acceptor.close(ec);
        n.accept_again.cancel();
        for (auto& c : n.live()) c->close();
    });
    if (n.ended.wait_for(3s) != std::future_status::ready) n.io.stop();
    n.thread.join();
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
    if (!is_loopback(serve.address)) {
        std::cerr << "hmisim: warning: listening on " << serve.address
                  << ": anyone who can reach it on that network can drive the panel\n";
    }
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
