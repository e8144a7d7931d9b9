// Shared pieces of the model writers: colours of faces, fan triangles, the
// combined counts and faces of formats that hold one mesh, numbers and faces as text, and a
// progress estimate for text files.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>

#include "core/model.h"
#include "core/writer_output.h"
#include "formats/model_export.h"

namespace solvane {

// The colour a face is drawn in, when the model's materials carry colours and the face has one.
inline bool FaceColour(const Model& model, const SubMesh& mesh, int32_t face, std::array<float, 3>& colour)
{
    if (!model.hasColor) return false;
    const int32_t material = mesh.FaceMaterial(face);
    if (material < 0 || material >= model.MaterialCount()) return false;
    colour = model.materials[static_cast<size_t>(material)].color;
    return true;
}

// A colour channel from 0..1 as a byte (not-a-number as 0).
inline uint8_t ColourByte(float value)
{
    if (!(value > 0)) return 0;
    if (value >= 1) return 255;
    return static_cast<uint8_t>(value * 255.0f + 0.5f);
}

// Whether any face of the model has a coloured material.
inline bool AnyFaceColour(const Model& model)
{
    if (!model.hasColor || model.materials.empty()) return false;
    for (const SubMesh& mesh : model.subMeshes) {
        for (int32_t material : mesh.faceMaterials) {
            if (material >= 0 && material < model.MaterialCount()) return true;
        }
    }
    return false;
}

// Calls emit(a, b, c) with the corner positions (into faceIndices of the face) of the fan
// triangles (0, k, k + 1) of a face; faces with fewer than three corners give none.
template <typename Emit>
void ForEachFanTriangle(int corners, Emit&& emit)
{
    for (int k = 1; k + 1 < corners; ++k) emit(0, k, k + 1);
}

// Counts over all sub-meshes, for the formats that hold the model as one mesh.
struct CombinedCounts {
    int64_t vertices = 0;
    int64_t faces = 0;      // faces with at least one corner
    int64_t corners = 0;
    int64_t triangles = 0;  // fan triangles of the faces with three corners or more
    int maxCorners = 0;
    bool allNormals = true;  // every sub-mesh with vertices has normals
};

inline CombinedCounts CountCombined(const Model& model)
{
    CombinedCounts counts;
    for (const SubMesh& mesh : model.subMeshes) {
        counts.vertices += mesh.VertexCount();
        if (mesh.VertexCount() > 0 && mesh.normals.empty()) counts.allNormals = false;
        for (int32_t f = 0; f < mesh.FaceCount(); ++f) {
            const int corners = mesh.FaceCorners(f);
            if (corners == 0) continue;
            ++counts.faces;
            counts.corners += corners;
            counts.triangles += std::max(corners - 2, 0);
            counts.maxCorners = std::max(counts.maxCorners, corners);
        }
    }
    if (counts.vertices == 0) counts.allNormals = false;
    return counts;
}

// Writes three numbers separated by blanks (no line end).
inline void WriteTriple(WriterOutput& out, const float* values)
{
    out.Float(values[0]);
    out.Byte(' ');
    out.Float(values[1]);
    out.Byte(' ');
    out.Float(values[2]);
}

// Writes a face as its corner count followed by its corner indices plus base, separated by blanks
// (no line end).
inline void WriteCountedFace(WriterOutput& out, const SubMesh& mesh, int32_t face, int64_t base)
{
    const int corners = mesh.FaceCorners(face);
    out.Int(corners);
    const uint32_t* indices = mesh.FaceIndices(face);
    for (int k = 0; k < corners; ++k) {
        out.Byte(' ');
        out.Int(base + indices[k]);
    }
}

// Calls visit(mesh, face, base) for every face with corners of every sub-mesh, in order; base is
// the number of the sub-mesh's first vertex in the one mesh the sub-meshes make together.
template <typename Visit>
void ForEachCombinedFace(const Model& model, Visit&& visit)
{
    int64_t base = 0;
    for (const SubMesh& mesh : model.subMeshes) {
        for (int32_t f = 0; f < mesh.FaceCount(); ++f) {
            if (mesh.FaceCorners(f) > 0) visit(mesh, f, base);
        }
        base += mesh.VertexCount();
    }
}

// Rough size of a text file of this many numbers, for the save's progress.
inline int64_t TextBytesEstimate(int64_t realNumbers, int64_t integers)
{
    return 64 + realNumbers * 11 + integers * 6;
}

}  // namespace solvane
