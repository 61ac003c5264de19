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
        {{{-1, 0, 0, 0, 1, 0, 0, 0, -1}}, {0, 1, 0, 0}}, {{{-1, 0, 0, 0, -1, 0, 0, 0, 1}}, {0, 0, 1, 0}},
        {{{1, 0, 0, 0, 0, -1, 0, 1, 0}}, {h, 0, 0, h}},  // a quarter turn about x
        {{{0, 0, 1, 0, 1, 0, -1, 0, 0}}, {0, h, 0, h}},  // about y
    };
    for (const auto& c : cases) {
        const data::Quatd q = data::matrix_to_quat(c.rotation);
        EXPECT_NEAR(q.x, c.expected.x, 1e-9);
        EXPECT_NEAR(q.y, c.expected.y, 1e-9);
        EXPECT_NEAR(q.z, c.expected.z, 1e-9);
        EXPECT_NEAR(q.w, c.expected.w, 1e-9);
        const data::Mat4 m = data::compose({1, -2, 3}, c.rotation, 2.5);
        const data::Mat4 product = data::inverse_affine(m) * m;
        for (std::size_t i = 0; i < 16; ++i) EXPECT_NEAR(product.m[i], i % 5 == 0 ? 1 : 0, 1e-12) << i;
    }
    data::NifMatrix33 skew;  // no two rows alike, so that every cofactor counts
    skew.m = {0.36f, 0.48f, -0.8f, -0.8f, 0.6f, 0, 0.48f, 0.64f, 0.6f};
    const data::Mat4 m = data::compose({4, 5, 6}, skew, 0.5), product = m * data::inverse_affine(m);
    for (std::size_t i = 0; i < 16; ++i) EXPECT_NEAR(product.m[i], i % 5 == 0 ? 1 : 0, 1e-6) << i;
}

}  // namespace
}  // namespace tarkeep::test
