#include <climits>

#include "formats/mesh_writer_support.h"
#include "formats/vtk.h"

namespace solvane {
namespace {

void WriteTripleLine(WriterOutput& out, const float* values)
{
    WriteTriple(out, values);
    out.Byte('\n');
}

}  // namespace

// Legacy VTK as written (file format version 3.0):
//   # vtk DataFile Version 3.0 / title / ASCII / DATASET POLYDATA
//   POINTS n float                  one point per line
//   POLYGONS m size                 size = m + the corners of all polygons
//   POINT_DATA n / NORMALS normals float          when every sub-mesh has normals
//   CELL_DATA m / COLOR_SCALARS colour 3          when materials carry colours (0..1 per channel)
// All sub-meshes go into the one dataset; faces without corners are left out.
bool WriteVtkFile(const Model& model, const std::string& path, SaveContext& ctx)
{
    const CombinedCounts counts = CountCombined(model);
    // The legacy readers hold counts and the polygon list's size in 32-bit integers.
    if (counts.vertices > INT32_MAX) return ExceedsFormatLimit(ctx, INT32_MAX, "points");
    if (counts.faces + counts.corners > INT32_MAX) return ExceedsFormatLimit(ctx, INT32_MAX, "polygon list entries");
    const bool normals = counts.allNormals;
    const bool colours = AnyFaceColour(model);
    ctx.total.store(TextBytesEstimate(counts.vertices * (normals ? 6 : 3) + (colours ? counts.faces * 3 : 0),
                                      counts.faces + counts.corners));
    WriterOutput out(ctx);
    if (!out.Open(path)) return false;

    out.Text("# vtk DataFile Version 3.0\nSolvane Viewer model\nASCII\nDATASET POLYDATA\nPOINTS ");
    out.Int(counts.vertices);
    out.Text(" float\n");
    for (const SubMesh& mesh : model.subMeshes) {
        for (size_t i = 0; i < mesh.vertices.size(); i += 3) WriteTripleLine(out, &mesh.vertices[i]);
    }
    out.Text("POLYGONS ");
    out.Int(counts.faces);
    out.Byte(' ');
    out.Int(counts.faces + counts.corners);
    out.Byte('\n');
    ForEachCombinedFace(model, [&](const SubMesh& mesh, int32_t f, int64_t base) {
        WriteCountedFace(out, mesh, f, base);
        out.Byte('\n');
    });
    if (normals) {
        out.Text("POINT_DATA ");
        out.Int(counts.vertices);
        out.Text("\nNORMALS normals float\n");
        for (const SubMesh& mesh : model.subMeshes) {
            for (size_t i = 0; i < mesh.normals.size(); i += 3) WriteTripleLine(out, &mesh.normals[i]);
        }
    }
    if (colours) {
        out.Text("CELL_DATA ");
        out.Int(counts.faces);
        out.Text("\nCOLOR_SCALARS colour 3\n");
        ForEachCombinedFace(model, [&](const SubMesh& mesh, int32_t f, int64_t) {
            std::array<float, 3> colour{1, 1, 1};
            FaceColour(model, mesh, f, colour);
            for (float& channel : colour) channel = ColourByte(channel) / 255.0f;
            WriteTripleLine(out, colour.data());
        });
    }
    return out.Finish();
}

}  // namespace solvane
