#include <cstdio>
#include <cstdlib>
#include <string>

#include "load/dispatch.h"
#include "core/mesh_ops.h"
#include "core/validate.h"
#include "fuzz/support.h"

// The mesh operations on whatever the OBJ reader makes of the input: the first byte picks the
// operations and the weld tolerance, the rest is the model file. Every operation must leave a model
// that holds the invariants.
namespace {

void Check(const solvane::Model& model, const char* operation)
{
    const std::string problem = solvane::ValidateModel(model);
    if (!problem.empty()) {
        std::fprintf(stderr, "after %s: %s\n", operation, problem.c_str());
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1) return 0;
    const uint8_t ops = data[0];
    const std::string path = solvane::FuzzScratchPath("model.obj");
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return 0;
    std::fwrite(data + 1, 1, size - 1, file);
    std::fclose(file);
    solvane::LoadContext ctx;
    std::unique_ptr<solvane::Model> model = solvane::LoadModelFile(path, ctx);
    if (!model) return 0;
    using namespace solvane;
    if (ops & 1) {
        model->formatId = (ops & 0x80) ? Format::Ply : Format::Obj;
        GenerateNormalsForFormat(*model);
        Check(*model, "normals");
    }
    if (ops & 2) {
        TriangulateModel(*model);
        Check(*model, "triangulate");
    }
    if (ops & 4) {
        // Every face followed by a hole, to drive the tessellator's polygon path.
        for (SubMesh& mesh : model->subMeshes) {
            mesh.faceContours.assign(static_cast<size_t>(mesh.FaceCount()), kContourOutline);
            for (size_t f = 1; f < mesh.faceContours.size(); f += 2) mesh.faceContours[f] = kContourHole;
        }
        std::vector<std::string> errors;
        TessellateModel(*model, &errors);
        Check(*model, "tessellate");
    }
    if (ops & 8) {
        const double tolerances[] = {0.0, 1e-6, 0.01, 0.5, 2.0, 1e30, 1e-300, -1.0};
        WeldVertices(model->subMeshes[0], tolerances[(ops >> 4) & 7]);
        Check(*model, "weld");
    }
    if (ops & 0x40) {
        ScaleModel(*model, 0.001f);
        ApplyColor(*model, {0.5f, 0.5f, 0.5f});
        FinishApplyColor(*model);
        Check(*model, "scale and colour");
    }
    return 0;
}
