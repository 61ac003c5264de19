// The failure type of texture files, DXT decoding and player-colour patches.
#pragma once
#include <stdexcept>

namespace tarkeep::data {

// Failures of texture files, DXT decoding and player-colour patches; the message is complete.
struct TexError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

}  // namespace tarkeep::data
