#include "view/host_names.h"

#include <cctype>

namespace vornmt::tools::view {
namespace {

std::string LowerCase(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Splits "name", "name:port", "[v6]" or "[v6]:port"; false when what
// follows the name is not ":digits".
bool SplitHost(const std::string& host, std::string* name, std::string* port) {
    std::size_t end = host.front() == '[' ? host.find(']') : host.find(':');
    if (end == std::string::npos) {
        if (host.front() == '[') return false;
        end = host.size();
    } else if (host.front() == '[') {
        ++end;
    }
    *name = LowerCase(host.substr(0, end));
    if (end == host.size()) return true;
    if (host[end] != ':' || end + 1 == host.size()) return false;
    *port = host.substr(end + 1);
    return port->find_first_not_of("0123456789") == std::string::npos && port->size() <= 5;
}

// A dotted IPv4 address in 127.0.0.0/8.
bool IsLoopbackAddress(const std::string& address) {
    // Digits and dots only, so that "127.example.com" is not taken for one.
    return address.rfind("127.", 0) == 0 && address.find_first_not_of("0123456789.") == std::string::npos;
}

}  // namespace

HostNames::HostNames(std::string bound, int port, std::vector<std::string> extra)
    : bound_(std::move(bound)), port_(port) {
    for (std::string& name : extra) extra_.push_back(LowerCase(std::move(name)));
}

bool HostNames::Accepts(const std::string& host, const std::string& local_address) const {
    std::string name;
    std::string port;
    if (host.empty() || !SplitHost(host, &name, &port)) return false;
    if (!port.empty() && std::stoi(port) != port_) return false;
    if (name == local_address) return true;
    if (IsLoopbackAddress(local_address) && (name == "localhost" || name == "[::1]" || IsLoopbackAddress(name))) {
        return true;
    }
    for (const std::string& extra : extra_) {
        if (name == extra) return true;
    }
    return false;
}

std::string HostNames::Describe() const {
    std::string text;
    if (bound_ == "0.0.0.0") {
        text = "any address of this machine a request arrives at (localhost and [::1] through 127.0.0.1)";
    } else if (IsLoopbackAddress(bound_)) {
        text = bound_ + ", localhost or [::1]";
    } else {
        text = bound_;
    }
    for (const std::string& extra : extra_) text += ", " + extra;
    return text;
}

}  // namespace vornmt::tools::view
