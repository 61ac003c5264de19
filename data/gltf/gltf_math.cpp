// Affine 4 x 4 matrices, their inverses, and rotations as quaternions.
#include "data/gltf/gltf_math.h"

#include <algorithm>
#include <cmath>

namespace tarkeep::data {
namespace {

Quatd multiply(const Quatd& a, const Quatd& b) {
    return {a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y, a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
            a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w, a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z};
}

}  // namespace

Mat4 operator*(const Mat4& a, const Mat4& b) {
    Mat4 out;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            double sum = 0;
            for (int k = 0; k < 4; ++k) sum += a.at(r, k) * b.at(k, c);
            out.at(r, c) = sum;
        }
    }
    return out;
}

Vec3d transform_point(const Mat4& a, const Vec3d& p) {
    const Vec3d d = transform_direction(a, p);
    return {d.x + a.at(0, 3), d.y + a.at(1, 3), d.z + a.at(2, 3)};
}

Vec3d transform_direction(const Mat4& a, const Vec3d& d) {
    return {a.at(0, 0) * d.x + a.at(0, 1) * d.y + a.at(0, 2) * d.z,
            a.at(1, 0) * d.x + a.at(1, 1) * d.y + a.at(1, 2) * d.z,
            a.at(2, 0) * d.x + a.at(2, 1) * d.y + a.at(2, 2) * d.z};
}

Mat4 inverse_affine(const Mat4& a) {
    // Inverse of the 3 x 3 part by cofactors, then the translation.
    const double c00 = a.at(1, 1) * a.at(2, 2) - a.at(1, 2) * a.at(2, 1);
    const double c01 = a.at(1, 2) * a.at(2, 0) - a.at(1, 0) * a.at(2, 2);
    const double c02 = a.at(1, 0) * a.at(2, 1) - a.at(1, 1) * a.at(2, 0);
    const double det = a.at(0, 0) * c00 + a.at(0, 1) * c01 + a.at(0, 2) * c02;
    if (!(std::fabs(det) > 1e-300)) return Mat4{};
    Mat4 out;
    out.at(0, 0) = c00 / det;
    out.at(0, 1) = (a.at(0, 2) * a.at(2, 1) - a.at(0, 1) * a.at(2, 2)) / det;
    out.at(0, 2) = (a.at(0, 1) * a.at(1, 2) - a.at(0, 2) * a.at(1, 1)) / det;
    out.at(1, 0) = c01 / det;
    out.at(1, 1) = (a.at(0, 0) * a.at(2, 2) - a.at(0, 2) * a.at(2, 0)) / det;
    out.at(1, 2) = (a.at(0, 2) * a.at(1, 0) - a.at(0, 0) * a.at(1, 2)) / det;
    out.at(2, 0) = c02 / det;
    out.at(2, 1) = (a.at(0, 1) * a.at(2, 0) - a.at(0, 0) * a.at(2, 1)) / det;
    out.at(2, 2) = (a.at(0, 0) * a.at(1, 1) - a.at(0, 1) * a.at(1, 0)) / det;
    const Vec3d t = transform_direction(out, {a.at(0, 3), a.at(1, 3), a.at(2, 3)});
    out.at(0, 3) = -t.x;
    out.at(1, 3) = -t.y;
    out.at(2, 3) = -t.z;
    return out;
}

Mat4 compose(const NifVec3& translation, const NifMatrix33& rotation, double scale) {
    Mat4 out;
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) out.at(r, c) = rotation.m[r * 3 + c] * scale;
    }
    out.at(0, 3) = translation.x;
    out.at(1, 3) = translation.y;
    out.at(2, 3) = translation.z;
    return out;
}

Quatd matrix_to_quat(const NifMatrix33& rotation) {
    const auto m = [&](int r, int c) { return static_cast<double>(rotation.m[r * 3 + c]); };
    const double t = m(0, 0) + m(1, 1) + m(2, 2);
    Quatd q;
    if (t > 0) {
        const double s = 2 * std::sqrt(t + 1);
        q = {(m(2, 1) - m(1, 2)) / s, (m(0, 2) - m(2, 0)) / s, (m(1, 0) - m(0, 1)) / s, s / 4};
    } else if (m(0, 0) > m(1, 1) && m(0, 0) > m(2, 2)) {
        const double s = 2 * std::sqrt(1 + m(0, 0) - m(1, 1) - m(2, 2));
        q = {s / 4, (m(0, 1) + m(1, 0)) / s, (m(0, 2) + m(2, 0)) / s, (m(2, 1) - m(1, 2)) / s};
    } else if (m(1, 1) > m(2, 2)) {
        const double s = 2 * std::sqrt(1 + m(1, 1) - m(0, 0) - m(2, 2));
        q = {(m(0, 1) + m(1, 0)) / s, s / 4, (m(1, 2) + m(2, 1)) / s, (m(0, 2) - m(2, 0)) / s};
    } else {
        const double s = 2 * std::sqrt(1 + m(2, 2) - m(0, 0) - m(1, 1));
        q = {(m(0, 2) + m(2, 0)) / s, (m(1, 2) + m(2, 1)) / s, s / 4, (m(1, 0) - m(0, 1)) / s};
    }
    const double length = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
    return {q.x / length, q.y / length, q.z / length, q.w / length};
}

Quatd xyz_to_quat(double ax, double ay, double az) {
    Quatd q;
    q = multiply(q, {0, 0, std::sin(az / 2), std::cos(az / 2)});
    q = multiply(q, {0, std::sin(ay / 2), 0, std::cos(ay / 2)});
    q = multiply(q, {std::sin(ax / 2), 0, 0, std::cos(ax / 2)});
    return q;
}

bool nearly_equal(const Mat4& a, const Mat4& b, double tolerance) {
    for (std::size_t i = 0; i < 16; ++i) {
        const double scale = std::max({1.0, std::fabs(a.m[i]), std::fabs(b.m[i])});
        if (!(std::fabs(a.m[i] - b.m[i]) <= tolerance * scale)) return false;
    }
    return true;
}

}  // namespace tarkeep::data
