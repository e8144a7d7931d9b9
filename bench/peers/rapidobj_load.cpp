// Benchmark peer: loads an OBJ file with rapidobj (which parses on every core) and prints its
// counts. Built only inside bench/ from ../shared/bench-peers; never part of the product.
#include <rapidobj.hpp>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc < 2) return 2;
    const rapidobj::Result result = rapidobj::ParseFile(argv[1]);
    if (result.error) return 1;
    size_t faces = 0;
    for (const auto& shape : result.shapes) faces += shape.mesh.num_face_vertices.size();
    std::printf("%zu vertices, %zu faces\n", result.attributes.positions.size() / 3, faces);
    return 0;
}
