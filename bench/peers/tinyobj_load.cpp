// Benchmark peer: loads an OBJ file with tinyobjloader and prints its counts. Built only inside
// bench/ when the library is installed; never part of the product.
#include <tiny_obj_loader.h>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc < 2) return 2;
    tinyobj::ObjReader reader;
    tinyobj::ObjReaderConfig config;
    config.triangulate = false;
    if (!reader.ParseFromFile(argv[1], config)) return 1;
    size_t faces = 0;
    for (const auto& shape : reader.GetShapes()) faces += shape.mesh.num_face_vertices.size();
    std::printf("%zu vertices, %zu faces\n", reader.GetAttrib().vertices.size() / 3, faces);
    return 0;
}
