// The failure type of the zip reader and of inflate.
#pragma once
#include <stdexcept>

namespace tarkeep::io {

// Every failure of the archive reader and of inflate; the message is complete.
struct ZipError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

}  // namespace tarkeep::io
