// Temporary folders for tests, removed with their contents when the test ends.
#pragma once
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <system_error>

namespace tarkeep::test {

// A fresh, empty folder under the system's temporary folder, removed with everything in
// it when the object goes away.
class TempDir {
public:
    TempDir() {
        static std::atomic<std::uint32_t> counter{0};
        std::random_device random;
        const auto base = std::filesystem::temp_directory_path();
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::string name =
                "tarkeep-test-" + std::to_string(random()) + "-" + std::to_string(counter.fetch_add(1));
            auto candidate = base / name;
            if (std::filesystem::create_directory(candidate)) {
                path_ = std::move(candidate);
                return;
            }
        }
        throw std::runtime_error("cannot create a temporary folder in " + base.string());
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::filesystem::path& child) const { return path_ / child; }

private:
    std::filesystem::path path_;
};

}  // namespace tarkeep::test
