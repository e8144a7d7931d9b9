#include <climits>
#include <string_view>

#include "formats/mesh_writer_support.h"
#include "formats/nff.h"
#include "formats/reader_support.h"

namespace solvane {
namespace {

// An object name as one token that the readers pass over as a name: printable characters without
// blanks, not a number (which would be taken as the vertex count), not a header keyword and not a
// comment.
std::string ObjectName(const std::string& name, size_t index)
{
    std::string token;
    for (char c : name) {
        const unsigned char u = static_cast<unsigned char>(c);
        token.push_back(u > 32 && u < 127 ? c : '_');
    }
    if (token.size() > 64) token.resize(64);
    const auto is = [&token](std::string_view keyword) {
        if (token.size() != keyword.size()) return false;
        for (size_t i = 0; i < token.size(); ++i) {
            if ((token[i] | 0x20) != keyword[i]) return false;
        }
        return true;
    };
    if (token.empty()) {
        token = "Object";
        token += std::to_string(index + 1);
    } else if (IsIntegerToken(token) || token.rfind("//", 0) == 0 || is("version") || is("viewpos") ||
               is("viewdir") || is("mtable") || is("nff") || is("s8")) {
        token.insert(token.begin(), '_');
    }
    return token;
}

void WriteHexColour(WriterOutput& out, const std::array<float, 3>& colour)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    char text[9] = {' ', '0', 'x'};
    for (int i = 0; i < 3; ++i) {
        const uint8_t byte = ColourByte(colour[static_cast<size_t>(i)]);
        text[3 + 2 * i] = kDigits[byte >> 4];
        text[4 + 2 * i] = kDigits[byte & 15];
    }
    out.Bytes(text, sizeof text);
}

}  // namespace

// WorldToolKit NFF as written:
//   nff / version 2.0
//   per sub-mesh: its name, the vertex count, one vertex per line ("x y z" and, when the sub-mesh
//   has normals, "norm nx ny nz"), the polygon count, one polygon per line: the corner count, the
//   indices and the colour as 0xRRGGBB (white without a coloured material).
// Polygons without corners are left out.
bool WriteNffFile(const Model& model, const std::string& path, SaveContext& ctx)
{
    const CombinedCounts counts = CountCombined(model);
    ctx.total.store(TextBytesEstimate(counts.vertices * (counts.allNormals ? 6 : 3), counts.faces * 2 + counts.corners));
    WriterOutput out(ctx);
    if (!out.Open(path)) return false;

    out.Text("nff\nversion 2.0\n");
    for (size_t s = 0; s < model.subMeshes.size(); ++s) {
        const SubMesh& mesh = model.subMeshes[s];
        out.Byte('\n');
        out.Text(ObjectName(mesh.name, s));
        out.Byte('\n');
        out.Int(mesh.VertexCount());
        out.Byte('\n');
        const bool normals = !mesh.normals.empty();
        for (size_t i = 0; i < mesh.vertices.size(); i += 3) {
            WriteTriple(out, &mesh.vertices[i]);
            if (normals) {
                out.Text(" norm ");
                WriteTriple(out, &mesh.normals[i]);
            }
            out.Byte('\n');
        }
        int64_t polygons = 0;
        for (int32_t f = 0; f < mesh.FaceCount(); ++f) polygons += mesh.FaceCorners(f) > 0 ? 1 : 0;
        out.Int(polygons);
        out.Byte('\n');
        for (int32_t f = 0; f < mesh.FaceCount(); ++f) {
            if (mesh.FaceCorners(f) == 0) continue;
            WriteCountedFace(out, mesh, f, 0);
            std::array<float, 3> colour{1, 1, 1};
            FaceColour(model, mesh, f, colour);
            WriteHexColour(out, colour);
            out.Byte('\n');
        }
    }
    return out.Finish();
}

}  // namespace solvane
