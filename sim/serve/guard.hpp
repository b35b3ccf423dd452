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
    // ::) to the addresses it listens on, `local` (this machine's, by default), to
    // loopback and to this machine's host name: an Origin of any other address is
    // another site, whatever its port.
    Guard(const std::string& address, int port);
    Guard(const std::string& address, int port, const std::vector<std::string>& local);

    // Empty when the request may go on, else why it is refused. Headers absent: "".
    std::string check(const std::string& host, const std::string& origin,
                      const std::string& fetch_site) const;
    bool host_allowed(const std::string& host) const;

  private:
    std::vector<std::string> hosts_;  // lower case, "name:port"
    int port_;
};

bool is_loopback(const std::string& address);
bool is_unspecified(const std::string& address);  // 0.0.0.0 or ::
// The addresses of this machine's interfaces that a socket bound to `address` (0.0.0.0:
// IPv4 ones; ::, all) listens on.
std::vector<std::string> interface_addresses(const std::string& address);

// "http://ADDR:PORT/" with IPv6 addresses in brackets.
std::string url_of(const std::string& address, int port);

}  // namespace hmi::sim::serve
