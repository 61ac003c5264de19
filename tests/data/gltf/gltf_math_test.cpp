// Rotations and inverse transforms, on matrices that take every branch.
#include "data/gltf/gltf_math.h"
#include "tests/data/gltf/gltf_test_util.h"

namespace tarkeep::test {
namespace {

TEST(GltfMath, MatrixQuaternionsAndInversesOfRotations) {
    const double h = std::sqrt(0.5);
    const struct {
        data::NifMatrix33 rotation;
        data::Quatd expected;  // (x, y, z, w)
    } cases[] = {
        {{{1, 0, 0, 0, -1, 0, 0, 0, -1}}, {1, 0, 0, 0}},  // half turns: the three branches without w
        {{{-1, 0, 0, 0, 1, 0, 0, 0, -1}}, {0, 1, 0, 0}},
        {{{-1, 0, 0, 0, -1, 0, 0, 0, 1}}, {0, 0, 1, 0}},
        {{{1, 0, 0, 0, 0, -1, 0, 1, 0}}, {h, 0, 0, h}},  // a quarter turn about x
        {{{0, 0, 1, 0, 1, 0, -1, 0, 0}}, {0, h, 0, h}},  // about y
        {{{-0.8f, -0.6f, 0, 0.6f, -0.8f, 0, 0, 0, 1}}, {0, 0, std::sqrt(0.9), std::sqrt(0.1)}},  // most of a half turn
    };
    for (const auto& c : cases) {
        const data::Quatd q = data::matrix_to_quat(c.rotation);
        EXPECT_NEAR(q.x, c.expected.x, 1e-7);
        EXPECT_NEAR(q.y, c.expected.y, 1e-7);
        EXPECT_NEAR(q.z, c.expected.z, 1e-7);
        EXPECT_NEAR(q.w, c.expected.w, 1e-7);
        const data::Mat4 m = data::compose({1, -2, 3}, c.rotation, 2.5);
        const data::Mat4 product = data::inverse_affine(m) * m;
        for (std::size_t i = 0; i < 16; ++i) EXPECT_NEAR(product.m[i], i % 5 == 0 ? 1 : 0, 1e-12) << i;
    }
    data::NifMatrix33 skew;  // no two rows alike, so that every cofactor counts
    skew.m = {0.36f, 0.48f, -0.8f, -0.8f, 0.6f, 0, 0.48f, 0.64f, 0.6f};
    const data::Mat4 m = data::compose({4, 5, 6}, skew, 0.5), product = m * data::inverse_affine(m);
    for (std::size_t i = 0; i < 16; ++i) EXPECT_NEAR(product.m[i], i % 5 == 0 ? 1 : 0, 1e-6) << i;
    // A product applies its right factor first.
    const data::Mat4 turn = data::compose({}, data::NifMatrix33{{0, -1, 0, 1, 0, 0, 0, 0, 1}}, 1);
    const data::Vec3d p = data::transform_point(turn * m, {1, 2, 3});
    const data::Vec3d q = data::transform_point(turn, data::transform_point(m, {1, 2, 3}));
    EXPECT_NEAR(std::fabs(p.x - q.x) + std::fabs(p.y - q.y) + std::fabs(p.z - q.z), 0, 1e-9);
    // Rz * Ry * Rx as a matrix turns the same way as the quaternion of the three angles.
    const double ax = 0.3, ay = -1.1, az = 2.0;
    const auto rotation = [](int axis, double a) {
        data::NifMatrix33 r;
        const int i = (axis + 1) % 3, j = (axis + 2) % 3;
        r.m[std::size_t(i * 4)] = r.m[std::size_t(j * 4)] = float(std::cos(a));
        r.m[std::size_t(i * 3 + j)] = float(-std::sin(a));
        r.m[std::size_t(j * 3 + i)] = float(std::sin(a));
        return data::compose({}, r, 1);
    };
    const data::Mat4 all = rotation(2, az) * rotation(1, ay) * rotation(0, ax);
    data::NifMatrix33 combined;
    for (std::size_t i = 0; i < 9; ++i) combined.m[i] = float(all.at(int(i / 3), int(i % 3)));
    const data::Quatd a = data::matrix_to_quat(combined), b = data::xyz_to_quat(ax, ay, az);
    EXPECT_NEAR(std::fabs(a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w), 1, 1e-6);  // the same rotation
}

}  // namespace
}  // namespace tarkeep::test
