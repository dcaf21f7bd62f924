// vec.h: the plain value types the scene works in.
//
// Every position, direction and texture-coordinate pair of the scene elements is
// a Vec4 (x, y, z, w, single precision); colours are Rgba with channels in 0..1.
#pragma once

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
