#include <climits>

#include "formats/mesh_writer_support.h"
#include "formats/off.h"

namespace solvane {

// OFF as written: the keyword, "vertices faces 0", one vertex per line, then one face per line as
// its corner count and 0-based indices, followed by the face's colour (r g b from 0 to 1) when it
// has a coloured material. All sub-meshes go into the one mesh the format holds; faces without
// corners are left out.
bool WriteOffFile(const Model& model, const std::string& path, SaveContext& ctx)
{
    const CombinedCounts counts = CountCombined(model);
    if (counts.vertices > INT32_MAX) return ExceedsFormatLimit(ctx, INT32_MAX, "vertices");
    if (counts.faces > INT32_MAX) return ExceedsFormatLimit(ctx, INT32_MAX, "faces");
    const bool colours = AnyFaceColour(model);
    ctx.total.store(TextBytesEstimate(counts.vertices * 3 + (colours ? counts.faces * 3 : 0),
                                      counts.faces + counts.corners));
    WriterOutput out(ctx);
    if (!out.Open(path)) return false;

    out.Text("OFF\n");
    out.Int(counts.vertices);
    out.Text(" ");
    out.Int(counts.faces);
    out.Text(" 0\n");
    for (const SubMesh& mesh : model.subMeshes) {
        for (size_t i = 0; i < mesh.vertices.size(); i += 3) {
            WriteTriple(out, &mesh.vertices[i]);
            out.Byte('\n');
        }
    }
    ForEachCombinedFace(model, [&](const SubMesh& mesh, int32_t f, int64_t base) {
        WriteCountedFace(out, mesh, f, base);
        std::array<float, 3> colour;
        if (colours && FaceColour(model, mesh, f, colour)) {
            out.Byte(' ');
            WriteTriple(out, colour.data());
        }
        out.Byte('\n');
    });
    return out.Finish();
}

}  // namespace solvane
