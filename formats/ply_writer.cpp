#include <climits>

#include "formats/mesh_writer_support.h"
#include "formats/ply.h"

namespace solvane {

// ASCII PLY as written (the widely read subset):
//   ply / format ascii 1.0 / comment / element vertex N / property float x y z [nx ny nz] /
//   element face M / property list uchar|ushort int vertex_indices [property uchar red green blue] /
//   end_header, then one line per vertex and one per face.
// All sub-meshes go into the one vertex and face element; faces without corners are left out.
bool WritePlyFile(const Model& model, const std::string& path, SaveContext& ctx)
{
    const CombinedCounts counts = CountCombined(model);
    if (counts.vertices > INT32_MAX) return ExceedsFormatLimit(ctx, INT32_MAX, "vertices");
    if (counts.faces > INT32_MAX) return ExceedsFormatLimit(ctx, INT32_MAX, "faces");
    const bool normals = counts.allNormals;
    const bool colours = AnyFaceColour(model);
    ctx.total.store(TextBytesEstimate(counts.vertices * (normals ? 6 : 3),
                                      counts.faces * (colours ? 4 : 1) + counts.corners));
    WriterOutput out(ctx);
    if (!out.Open(path)) return false;

    out.Text("ply\nformat ascii 1.0\ncomment Solvane Viewer\nelement vertex ");
    out.Int(counts.vertices);
    out.Text("\nproperty float x\nproperty float y\nproperty float z\n");
    if (normals) out.Text("property float nx\nproperty float ny\nproperty float nz\n");
    out.Text("element face ");
    out.Int(counts.faces);
    // The list's count type must hold the largest corner count.
    out.Text(counts.maxCorners > 255 ? "\nproperty list ushort int vertex_indices\n"
                                     : "\nproperty list uchar int vertex_indices\n");
    if (colours) out.Text("property uchar red\nproperty uchar green\nproperty uchar blue\n");
    out.Text("end_header\n");

    for (const SubMesh& mesh : model.subMeshes) {
        for (size_t i = 0; i < mesh.vertices.size(); i += 3) {
            WriteTriple(out, &mesh.vertices[i]);
            if (normals) {
                out.Byte(' ');
                WriteTriple(out, &mesh.normals[i]);
            }
            out.Byte('\n');
        }
    }
    ForEachCombinedFace(model, [&](const SubMesh& mesh, int32_t f, int64_t base) {
        WriteCountedFace(out, mesh, f, base);
        if (colours) {
            // Faces without a coloured material are white, as the viewer draws them.
            std::array<float, 3> colour{1, 1, 1};
            FaceColour(model, mesh, f, colour);
            for (float channel : colour) {
                out.Byte(' ');
                out.Int(ColourByte(channel));
            }
        }
        out.Byte('\n');
    });
    return out.Finish();
}

}  // namespace solvane
