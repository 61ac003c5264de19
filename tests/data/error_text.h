// The message of the exception a call throws, for expectations on exact error texts.
#pragma once
#include <exception>
#include <string>

namespace tarkeep::test {

// The message of the `Error` that `action` throws, or "no error"; other exceptions pass.
template <class Error = std::exception, class Action>
std::string error_text(Action&& action) {
    try {
        action();
    } catch (const Error& error) {
        return error.what();
    }
    return "no error";
}

}  // namespace tarkeep::test
