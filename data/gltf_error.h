#pragma once
#include <stdexcept>

namespace tarkeep::data {

// Failures of the glTF export and of the PNG codec; the message is complete.
struct GltfError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

}  // namespace tarkeep::data
