// Transforms and rotations of the glTF export, in 64-bit floats.
#pragma once
#include <array>

#include "data/nif/nif_types.h"

namespace tarkeep::data {

struct Vec3d {
    double x = 0, y = 0, z = 0;
};

// (x, y, z, w), glTF order.
struct Quatd {
    double x = 0, y = 0, z = 0, w = 1;
};

// Row-major 4 x 4 affine matrix acting on column vectors.
struct Mat4 {
    std::array<double, 16> m{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    double at(int row, int col) const { return m[row * 4 + col]; }
    double& at(int row, int col) { return m[row * 4 + col]; }
};

Mat4 operator*(const Mat4& a, const Mat4& b);
Vec3d transform_point(const Mat4& a, const Vec3d& p);
Vec3d transform_direction(const Mat4& a, const Vec3d& d);
// Inverse of an affine matrix; a singular one gives the identity.
Mat4 inverse_affine(const Mat4& a);
// translation * rotation * uniform scale.
Mat4 compose(const NifVec3& translation, const NifMatrix33& rotation, double scale);

// The rotation of a NIF matrix (rows in file order) as a unit quaternion.
Quatd matrix_to_quat(const NifMatrix33& rotation);

// The rotations about x, y and z (radians) combined as identity * Rz * Ry * Rx.
Quatd xyz_to_quat(double ax, double ay, double az);

// The largest difference of two matrices' elements, relative to their magnitude.
bool nearly_equal(const Mat4& a, const Mat4& b, double tolerance);

}  // namespace tarkeep::data
