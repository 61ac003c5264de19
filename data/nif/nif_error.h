// The failure type of NIF reading.
#pragma once
#include <stdexcept>

namespace tarkeep::data {

// Every failure of NIF reading; the message is complete.
struct NifError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

}  // namespace tarkeep::data
