// The message of the TexError a call throws, for texture test expectations.
#pragma once
#include <string>

#include "data/texture/tex_error.h"

namespace tarkeep::test {

// The message of the TexError that `call` throws, or "no error".
template <typename Call>
std::string tex_error_of(Call call) {
    try {
        call();
    } catch (const data::TexError& e) {
        return e.what();
    }
    return "no error";
}

}  // namespace tarkeep::test
