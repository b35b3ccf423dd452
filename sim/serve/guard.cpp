#include "sim/serve/guard.hpp"

#include <arpa/inet.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>

namespace hmi::sim::serve {

namespace {
std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

bool is_ipv4(const std::string& s) {
    in_addr a{};
    return inet_pton(AF_INET, s.c_str(), &a) == 1;
}
bool is_ipv6(const std::string& s) {
    in6_addr a{};
    return inet_pton(AF_INET6, s.c_str(), &a) == 1;
}

// "name:port" as a Host header writes it.
std::string host_port(const std::string& address, int port) {
    std::string name = is_ipv6(address) ? "[" + address + "]" : address;
    return lower(name) + ":" + std::to_string(port);
}

bool is_loopback(const std::string& address) {
    return address == "localhost" || address == "::1" || address.rfind("127.", 0) == 0;
}
}  // namespace

std::string url_of(const std::string& address, int port) {
    return "http://" + host_port(address, port) + "/";
}

Guard::Guard(const std::string& address, int port) : port_(port) {
    hosts_.push_back(host_port(address, port));
    if (is_loopback(address)) {
        for (const char* name : {"localhost", "127.0.0.1", "::1"}) {
            hosts_.push_back(host_port(name, port));
        }
    }
    if (address == "0.0.0.0" || address == "::") {
        any_literal_ = true;
        hosts_.push_back(host_port("localhost", port));
        char name[256] = {};
        if (gethostname(name, sizeof name - 1) == 0 && name[0] != '\0') {
            hosts_.push_back(host_port(name, port));
        }
    }
}

bool Guard::host_allowed(const std::string& raw) const {
    std::string host = lower(raw);
    // Port 80 may be left out of the Host header.
    if (port_ == 80 && host.find(':') == std::string::npos) host += ":80";
    if (port_ == 80 && host.size() > 1 && host.front() == '[' && host.back() == ']') host += ":80";
    if (std::find(hosts_.begin(), hosts_.end(), host) != hosts_.end()) return true;
    if (!any_literal_) return false;
    size_t colon = host.rfind(':');
    if (colon == std::string::npos || host.substr(colon + 1) != std::to_string(port_)) return false;
    std::string name = host.substr(0, colon);
    if (name.size() > 2 && name.front() == '[' && name.back() == ']') {
        return is_ipv6(name.substr(1, name.size() - 2));
    }
    return is_ipv4(name);
}

std::string Guard::check(const std::string& host, const std::string& origin,
                         const std::string& fetch_site) const {
    if (host.empty()) return "the request has no Host header";
    if (!host_allowed(host)) {
        return "the request is addressed to '" + host + "', not to this server";
    }
    if (!origin.empty()) {
        const std::string scheme = "http://";
        if (lower(origin).rfind(scheme, 0) != 0 || !host_allowed(origin.substr(scheme.size()))) {
            return "the request comes from another site (" + origin + ")";
        }
    }
    if (fetch_site == "cross-site" || fetch_site == "same-site") {
        return "the request comes from another site (Sec-Fetch-Site: " + fetch_site + ")";
    }
    return "";
}

}  // namespace hmi::sim::serve
