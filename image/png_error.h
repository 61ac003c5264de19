// The failure type of the PNG codec. PNG shares its error type with the glTF export, whose
// files embed PNG images; PngError is the name that reads right at PNG call sites.
#pragma once
#include <stdexcept>

namespace tarkeep::data {

// Failures of the glTF export and of the PNG codec; the message is complete.
struct GltfError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

}  // namespace tarkeep::data

namespace tarkeep::image {
using PngError = data::GltfError;
}  // namespace tarkeep::image
