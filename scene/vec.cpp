// vec.cpp: the matrix product, summed in single precision in a fixed order.
#include "scene/vec.h"

Matrix4 multiplyMatrices(const Matrix4& a, const Matrix4& b)
{
    Matrix4 out {};
    for (int c = 0; c < 4; ++c) {
        for (int r = 0; r < 4; ++r) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k)
                sum += a[k * 4 + r] * b[c * 4 + k];
            out[c * 4 + r] = sum;
        }
    }
    return out;
}
