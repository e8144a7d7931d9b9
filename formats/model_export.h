// What the model writers of the texture-carrying formats share: the faces as a format can hold
// them (polygons or triangles, holes kept or tessellated, winding turned for the formats whose
// faces wind the other way), vertices split where a format gives each vertex one texture
// coordinate, splitting by a format's count limits, and the texture images written beside the
// model file.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/format_id.h"
#include "core/model.h"
#include "core/writer_output.h"
#include "image/image_writer.h"

namespace solvane {

// Fails the save with "Cannot write <path>: <reason>" and returns false.
bool CannotWrite(SaveContext& ctx, const std::string& path, const char* reason);

// Fails the save with "The model exceeds the format's limit of <limit> <what>." and returns false.
bool ExceedsFormatLimit(SaveContext& ctx, int64_t limit, const char* what);

struct ExportOptions {
    // Faces become triangles: quads and triangles fan from their first corner, larger polygons
    // and outlines with holes are tessellated first.
    bool triangles = false;
    // The format keeps holes as faces of their own (trueSpace); otherwise outlines with holes
    // are tessellated.
    bool keepHoles = false;
    // Every vertex carries one texture coordinate: a vertex used with different coordinates is
    // split. Otherwise the faces keep their own texture-coordinate indices.
    bool texCoordPerVertex = true;
    // The format's faces wind the other way from the model's (see ReversesWinding).
    bool reverseWinding = false;
};

// Whether faces must be turned around for the target format: the model's own format and the
// target disagree on which side is the front (trueSpace and the Quake formats wind the other way).
bool ReversesWinding(const Model& model, FormatId target);

// One sub-mesh as a writer emits it. Vertex k of the export is vertex VertexSource(k) of the
// source sub-mesh (splitting only adds vertices after the source's own, which keep their numbers).
struct ExportMesh {
    const SubMesh* source = nullptr;
    std::vector<uint32_t> vertexSource;  // per exported vertex
    std::vector<float> texCoords;        // per exported vertex (texCoordPerVertex), else the source's
    std::vector<uint32_t> faceOffsets;   // faceCount + 1
    std::vector<uint32_t> faceIndices;   // into the exported vertices
    std::vector<uint32_t> faceTexCoordIndices;  // !texCoordPerVertex only; empty without coordinates
    std::vector<int32_t> faceMaterials;  // one per face, -1 none
    std::vector<bool> faceIsHole;        // one per face

    int32_t VertexCount() const { return static_cast<int32_t>(vertexSource.size()); }
    int32_t FaceCount() const { return faceOffsets.empty() ? 0 : static_cast<int32_t>(faceOffsets.size() - 1); }
    int FaceCorners(int32_t f) const { return static_cast<int>(faceOffsets[f + 1] - faceOffsets[f]); }
    const uint32_t* FaceIndices(int32_t f) const { return faceIndices.data() + faceOffsets[f]; }
    const uint32_t* FaceTexCoordIndices(int32_t f) const
    {
        return faceTexCoordIndices.empty() ? nullptr : faceTexCoordIndices.data() + faceOffsets[f];
    }
    bool HasTexCoords() const { return !texCoords.empty(); }
    bool HasNormals() const { return source && !source->normals.empty(); }
    // Key frames: 1 (the sub-mesh's own vertices) plus its animation frames.
    int32_t FrameCount() const { return source ? source->FrameCount() : 1; }
    // Position of exported vertex k in key frame `frame` (0 = the sub-mesh's own vertices).
    const float* Position(uint32_t k, int32_t frame = 0) const;
    const float* Normal(uint32_t k) const;
    const float* TexCoord(uint32_t k) const { return &texCoords[static_cast<size_t>(k) * 2]; }
};

struct ExportModel {
    std::vector<SubMesh> prepared;  // tessellated copies of the sub-meshes that needed it
    std::vector<ExportMesh> meshes; // one per sub-mesh, in order (sub-meshes without faces too)
};

// Prepares every sub-mesh. Faces with fewer than three corners are left out: they draw nothing.
ExportModel PrepareExport(const Model& model, const ExportOptions& options);

// Splits a mesh into pieces of at most maxVertices vertices and maxFaces faces, keeping the faces'
// order; each piece numbers its own vertices from 0, in the order its faces first use them. One
// piece, a copy with every vertex, when the mesh fits, unless compact asks for the renumbering.
std::vector<ExportMesh> SplitExportMesh(const ExportMesh& mesh, int64_t maxVertices, int64_t maxFaces,
                                        bool compact = false);

// Smooth per-vertex normals of an exported mesh in one key frame, each face weighted by its area,
// pointing out of the front of faces that wind as the target format's do (PrepareExport with
// reverseWinding from ReversesWinding has made them so).
std::vector<std::array<float, 3>> FrameNormals(const ExportMesh& mesh, int32_t frame, FormatId target);

// The colours a renderer shows a material with: what the model's flags make of its fields.
struct MaterialLook {
    std::array<float, 3> color{0.8f, 0.8f, 0.8f};  // ambient and diffuse together (the colour)
    std::array<float, 3> diffuse{0.8f, 0.8f, 0.8f};  // the diffuse colour as lit
    std::array<float, 3> specular{1, 1, 1};
    float transparency = 0;
    bool hasColor = false;  // the material gives a colour at all
};
MaterialLook LookOf(const Model& model, const Material& material);

// Faces without a material are drawn in the foreground colour. A format that must give every face
// a material when any has one gives those faces this one ("Default", white).
Material DefaultMaterial();
// Whether some exported face has no material (or one past the table) while the model has materials.
bool NeedsDefaultMaterial(const Model& model, const ExportModel& exported);
// The material a face refers to in the model's table, -1 for none (also for numbers past the table).
int32_t ValidMaterial(const Model& model, int32_t material);

// What a format allows in a name.
enum class NameRule {
    Any,         // any characters but NUL
    NoBlanks,    // one word: blanks become '_'
    Identifier,  // letters, digits and '_', not starting with a digit
};
// Names that are not empty (fallback and the position), within maxLength characters, follow the
// rule and differ from each other without regard to case: a name taken already gets "_2", "_3", ...
std::vector<std::string> UniqueNames(const std::vector<std::string>& names, const char* fallback, size_t maxLength,
                                     NameRule rule);

// The texture images a model file refers to, written beside it as "<model>_<texture>.<ext>".
class TextureFiles {
public:
    // Plans a name for every texture; names stay within maxNameLength characters.
    TextureFiles(const Model& model, const std::string& modelPath, ImageFileType type, size_t maxNameLength = 259);

    // The name the model file gives texture t (a file beside it); empty when t is not a texture.
    // A texture without pixels keeps the last part of its own name and is not written.
    const std::string& Name(int32_t t) const;
    // Bytes the used textures will take, for the save's progress.
    int64_t BytesEstimate() const;
    // Marks texture t as referred to by the model file.
    void Use(int32_t t);
    // Writes the textures marked used. False with ctx.error set; what was written is removed.
    bool Write(SaveContext& ctx);
    // Removes the files Write wrote (after the model file itself failed).
    void Remove();
    // Ends a save: writes the textures, then finishes the model file. On failure the model file
    // (abandoned) and the textures written are removed and false is returned with ctx.error set.
    bool WriteAndFinish(WriterOutput& out, SaveContext& ctx);

private:
    const Model& model_;
    std::string folder_;
    ImageFileType type_;
    std::vector<std::string> names_;
    std::vector<bool> used_;
    std::vector<std::string> written_;
};

// The file name part of a path, and the path without its last extension.
std::string FileNameOf(const std::string& path);
std::string WithoutExtension(const std::string& path);

}  // namespace solvane
