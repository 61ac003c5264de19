// The relay protocol's exception type.
#pragma once
#include <stdexcept>
#include <string>

namespace tarkeep::net {

// Failure of the relay protocol layer; every text begins with "protocol: ".
class ProtocolError : public std::runtime_error {
public:
    explicit ProtocolError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace tarkeep::net
