// Plain value types of NIF blocks. Their in-memory layout equals the file layout
// (little-endian, no padding), so runs of them are copied in one go.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

namespace tarkeep::data {

// Signed index into NifFile::blocks; -1 means none.
using NifRef = std::int32_t;
inline constexpr NifRef kNoRef = -1;

inline constexpr std::uint32_t kNifVersion10_1_0_0 = 0x0A010000;
inline constexpr std::uint32_t kNifVersion10_0_1_0 = 0x0A000100;

struct NifVec3 {
    float x = 0, y = 0, z = 0;
    bool operator==(const NifVec3&) const = default;
};

struct NifTexCoord {
    float u = 0, v = 0;
    bool operator==(const NifTexCoord&) const = default;
};

struct NifColor3 {
    float r = 0, g = 0, b = 0;
    bool operator==(const NifColor3&) const = default;
};

struct NifColor4 {
    float r = 0, g = 0, b = 0, a = 0;
    bool operator==(const NifColor4&) const = default;
};

// Stored w first, as in the file.
struct NifQuat {
    float w = 1, x = 0, y = 0, z = 0;
    bool operator==(const NifQuat&) const = default;
};

// Three rows of three, in file order.
struct NifMatrix33 {
    std::array<float, 9> m{1, 0, 0, 0, 1, 0, 0, 0, 1};
    bool operator==(const NifMatrix33&) const = default;
};

struct NifTransform {
    NifMatrix33 rotation;
    NifVec3 translation;
    float scale = 1;
    bool operator==(const NifTransform&) const = default;
};

struct NifTriangle {
    std::uint16_t a = 0, b = 0, c = 0;
    bool operator==(const NifTriangle&) const = default;
};

struct NifTbc {
    float tension = 0, bias = 0, continuity = 0;
    bool operator==(const NifTbc&) const = default;
};

// One key of a key group. forward/backward exist in the file only for quadratic
// groups and tbc only for TBC groups; elsewhere they stay zero.
template <class T>
struct NifKey {
    float time = 0;
    T value{};
    T forward{};
    T backward{};
    NifTbc tbc;
    bool operator==(const NifKey&) const = default;
};

inline constexpr std::uint32_t kInterpolationQuadratic = 2;
inline constexpr std::uint32_t kInterpolationTbc = 3;

template <class T>
struct NifKeyGroup {
    std::uint32_t interpolation = 0;  // absent from the file when there are no keys
    std::vector<NifKey<T>> keys;
    bool operator==(const NifKeyGroup&) const = default;
};

static_assert(sizeof(NifVec3) == 12 && sizeof(NifTexCoord) == 8 && sizeof(NifColor3) == 12);
static_assert(sizeof(NifColor4) == 16 && sizeof(NifQuat) == 16 && sizeof(NifMatrix33) == 36);
static_assert(sizeof(NifTransform) == 52 && sizeof(NifTriangle) == 6 && sizeof(NifTbc) == 12);
static_assert(std::is_trivially_copyable_v<NifTransform> && std::is_trivially_copyable_v<NifTriangle>);

}  // namespace tarkeep::data
