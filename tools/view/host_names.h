// The Host names the view answers: a page from another web site whose name
// was made to point at this machine (DNS rebinding) sends that name as Host,
// so the view serves only names that reach it without anyone's DNS.
#pragma once

#include <string>
#include <vector>

namespace vornmt::tools::view {

class HostNames {
public:
    // `bound` is the dotted IPv4 address the view listens on (0.0.0.0: all
    // of the machine's), `port` its port, `extra` the names given with
    // --allow-host (a name, or an address; no port).
    HostNames(std::string bound, int port, std::vector<std::string> extra);

    // `host` is the request's Host header, `local_address` the address the
    // request arrived at. A name with a port must name the view's port.
    // Accepted: the local address; a loopback name (localhost, [::1],
    // 127.x.x.x) when that address is a loopback one; an extra name.
    bool Accepts(const std::string& host, const std::string& local_address) const;

    // The accepted names for people, e.g. "127.0.0.1, localhost or [::1]".
    std::string Describe() const;

private:
    std::string bound_;
    int port_;
    std::vector<std::string> extra_;  // lower case
};

}  // namespace vornmt::tools::view
