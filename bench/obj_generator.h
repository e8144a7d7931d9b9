// Generators of large OBJ files for the benchmarks: a torus of 2 * rings * sides triangles with
// positions, texture coordinates and normals, written as "f a/a/a b/b/b c/c/c".
#pragma once

#include <cmath>
#include <cstdio>
#include <string>

namespace solvane::bench {

enum class ObjVariant { Triangles, Quads, Materials20 };

// Writes the torus; returns the number of faces written.
inline long WriteTorusObj(const std::string& path, int rings, int sides, ObjVariant variant)
{
    FILE* out = std::fopen(path.c_str(), "w");
    if (!out) return -1;
    if (variant == ObjVariant::Materials20) {
        std::string library = path.substr(0, path.size() - 4) + ".mtl";
        if (FILE* mtl = std::fopen(library.c_str(), "w")) {
            for (int m = 0; m < 20; ++m) {
                std::fprintf(mtl, "newmtl m%d\nKa 0.1 0.1 0.1\nKd %.3f 0.5 0.5\nKs 1 1 1\n\n", m, m / 20.0);
            }
            std::fclose(mtl);
        }
        std::fprintf(out, "mtllib torus.mtl\n");
    }
    const double pi = 3.14159265358979323846;
    const double major = 1.0, minor = 0.35;
    for (int r = 0; r < rings; ++r) {
        const double u = 2 * pi * r / rings;
        for (int s = 0; s < sides; ++s) {
            const double v = 2 * pi * s / sides;
            const double cx = std::cos(u), sx = std::sin(u), cv = std::cos(v), sv = std::sin(v);
            std::fprintf(out, "v %.6f %.6f %.6f\n", (major + minor * cv) * cx, (major + minor * cv) * sx, minor * sv);
            std::fprintf(out, "vt %.6f %.6f\n", static_cast<double>(r) / rings, static_cast<double>(s) / sides);
            std::fprintf(out, "vn %.6f %.6f %.6f\n", cv * cx, cv * sx, sv);
        }
    }
    long faces = 0;
    for (int r = 0; r < rings; ++r) {
        if (variant == ObjVariant::Materials20 && r % (rings / 20 > 0 ? rings / 20 : 1) == 0) {
            std::fprintf(out, "usemtl m%d\n", (r / (rings / 20 > 0 ? rings / 20 : 1)) % 20);
        }
        for (int s = 0; s < sides; ++s) {
            const int a = r * sides + s + 1;
            const int b = ((r + 1) % rings) * sides + s + 1;
            const int c = ((r + 1) % rings) * sides + (s + 1) % sides + 1;
            const int d = r * sides + (s + 1) % sides + 1;
            if (variant == ObjVariant::Quads) {
                std::fprintf(out, "f %d/%d/%d %d/%d/%d %d/%d/%d %d/%d/%d\n", a, a, a, b, b, b, c, c, c, d, d, d);
                ++faces;
            } else {
                std::fprintf(out, "f %d/%d/%d %d/%d/%d %d/%d/%d\n", a, a, a, b, b, b, c, c, c);
                std::fprintf(out, "f %d/%d/%d %d/%d/%d %d/%d/%d\n", a, a, a, c, c, c, d, d, d);
                faces += 2;
            }
        }
    }
    std::fclose(out);
    return faces;
}

}  // namespace solvane::bench
