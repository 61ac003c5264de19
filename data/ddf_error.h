// The failure type of the definition-file tokenizer and parser.
#pragma once
#include <stdexcept>

namespace tarkeep::data {

// A definition file that cannot be parsed; the message starts with the file's path.
struct DdfError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

}  // namespace tarkeep::data
