// Error texts on Windows: FormatMessageW in UTF-8, which the C runtime's strerror-based
// texts lack for Winsock codes and many others.
#include "platform/errors.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace tarkeep::platform {
namespace {

class NativeCategory final : public std::error_category {
public:
    const char* name() const noexcept override { return "system"; }
    std::string message(int code) const override {
        std::string text = system_message(code);
        return text.empty() ? "error " + std::to_string(code) : text;
    }
    std::error_condition default_error_condition(int code) const noexcept override {
        return std::system_category().default_error_condition(code);
    }
};

}  // namespace

std::string system_message(int code) {
    wchar_t* buffer = nullptr;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    if (length == 0 || buffer == nullptr) return {};
    std::wstring wide(buffer, length);
    LocalFree(buffer);
    while (!wide.empty() &&
           (wide.back() == L'\r' || wide.back() == L'\n' || wide.back() == L' ' || wide.back() == L'.'))
        wide.pop_back();
    if (wide.empty()) return {};
    const int bytes =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), bytes, nullptr, nullptr);
    return text;
}

const std::error_category& native_category() {
    static const NativeCategory category;
    return category;
}

}  // namespace tarkeep::platform
