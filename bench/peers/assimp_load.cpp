// Benchmark peer: loads a model with assimp (no post-processing) and prints its counts. Built only
// inside bench/ when the library is installed; never part of the product.
#include <assimp/Importer.hpp>
#include <assimp/scene.h>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc < 2) return 2;
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(argv[1], 0);
    if (!scene) return 1;
    size_t vertices = 0, faces = 0;
    for (unsigned i = 0; i < scene->mNumMeshes; ++i) {
        vertices += scene->mMeshes[i]->mNumVertices;
        faces += scene->mMeshes[i]->mNumFaces;
    }
    std::printf("%zu vertices, %zu faces\n", vertices, faces);
    return 0;
}
