// vec.h: the plain value types the scene and the show work in.
//
// Every position, direction and texture-coordinate pair of the scene elements is
// a Vec4 (x, y, z, w, single precision); colours are Rgba with channels in 0..1;
// matrices are Matrix4, column-major as GL stores them.
#pragma once

#include <array>

struct Vec4 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    float w = 0.0f;
};

struct Rgba {
    float r = 0.0f;
    float g = 0.0f;
    float b = 0.0f;
    float a = 0.0f;
};

using Matrix4 = std::array<float, 16>;

constexpr Matrix4 kIdentityMatrix = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

// a x b for column-major matrices: element (c, r) = sum_k a(k, r) * b(c, k).
Matrix4 multiplyMatrices(const Matrix4& a, const Matrix4& b);
