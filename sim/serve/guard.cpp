#include "sim/serve/guard.hpp"

#include <arpa/inet.h>
#include <ifaddrs.h>
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

bool is_ipv6(const std::string& s) {
    in6_addr a{};
    return inet_pton(AF_INET6, s.c_str(), &a) == 1;
}

// "name:port" as a Host header writes it.
std::string host_port(const std::string& address, int port) {
    std::string name = is_ipv6(address) ? "[" + address + "]" : address;
    return lower(name) + ":" + std::to_string(port);
}

}  // namespace

bool is_loopback(const std::string& address) {
    return address == "localhost" || address == "::1" || address.rfind("127.", 0) == 0;
}

bool is_unspecified(const std::string& address) {
    return address == "0.0.0.0" || address == "::";
}

std::vector<std::string> interface_addresses(const std::string& address) {
    std::vector<std::string> out;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return out;
    for (ifaddrs* i = list; i != nullptr; i = i->ifa_next) {
        if (i->ifa_addr == nullptr) continue;
        char text[INET6_ADDRSTRLEN] = {};
        int family = i->ifa_addr->sa_family;
        if (family == AF_INET) {
            inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(i->ifa_addr)->sin_addr, text,
                      sizeof text);
        } else if (family == AF_INET6 && address == "::") {
            inet_ntop(AF_INET6, &reinterpret_cast<sockaddr_in6*>(i->ifa_addr)->sin6_addr, text,
                      sizeof text);
        }
        if (text[0] != '\0') out.emplace_back(text);
    }
    freeifaddrs(list);
    return out;
}

std::string url_of(const std::string& address, int port) {
    return "http://" + host_port(address, port) + "/";
}

Guard::Guard(const std::string& address, int port)
    : Guard(address, port,
            is_unspecified(address) ? interface_addresses(address) : std::vector<std::string>()) {}

Guard::Guard(const std::string& address, int port, const std::vector<std::string>& local)
    : port_(port) {
    hosts_.push_back(host_port(address, port));
    if (is_loopback(address) || is_unspecified(address)) {
        for (const char* name : {"localhost", "127.0.0.1", "::1"}) {
            hosts_.push_back(host_port(name, port));
        }
    }
    if (is_unspecified(address)) {
        for (const std::string& a : local) hosts_.push_back(host_port(a, port));
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
    return std::find(hosts_.begin(), hosts_.end(), host) != hosts_.end();
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
