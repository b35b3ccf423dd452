// Who may drive the served panel: requests addressed to the server by its own address
// and port, from its own pages. A page of another site in the same browser (a
// cross-site request, or a name of its own resolved to this address) is refused.
#pragma once

#include <string>
#include <vector>

namespace hmi::sim::serve {

class Guard {
  public:
    // The address the server listens on (an IPv4 or IPv6 literal, or "localhost") and
    // its port. Loopback also answers to "localhost"; an unspecified address (0.0.0.0,
    // ::) to any address literal and to this machine's host name.
    Guard(const std::string& address, int port);

    // Empty when the request may go on, else why it is refused. Headers absent: "".
    std::string check(const std::string& host, const std::string& origin,
                      const std::string& fetch_site) const;
    bool host_allowed(const std::string& host) const;

  private:
    std::vector<std::string> hosts_;  // lower case, "name:port"
    bool any_literal_ = false;
    int port_;
};

// "http://ADDR:PORT/" with IPv6 addresses in brackets.
std::string url_of(const std::string& address, int port);

}  // namespace hmi::sim::serve
