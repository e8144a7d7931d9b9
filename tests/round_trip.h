// The round trip of the model writers: write a model with a writer of the save table, read the
// file back through the load dispatch, and compare with what the format can carry. What each
// format keeps is one row of RoundTripLevels(); a new writer adds its row there.
//
// Models are compared as faces of corner positions (and texture coordinates), so readers that
// re-index, weld or duplicate vertices compare equal when the faces are the same. Used by the unit
// tests (through ExpectRoundTrip in tests/round_trip_test.h) and by the writers' fuzz target (counts
// only), so nothing here depends on GoogleTest.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/model.h"
#include "load/save.h"

namespace solvane::test {

// How sub-meshes come back.
enum class MeshShape {
    Kept,    // one sub-mesh per sub-mesh written
    Merged,  // all in one sub-mesh
};

// How faces come back.
enum class FaceShape {
    Kept,       // polygons as they are
    Triangles,  // fan triangles (0, k, k + 1)
    UpToQuads,  // faces of more than four corners split into quadrilaterals (0, k, k+1, k+2) and a
                // last triangle; a quadrilateral whose fourth corner equals its third is a triangle
};

// How positions come back.
enum class PositionShape {
    Exact,       // the same floats (text formats: values that are not numbers come back as 0)
    Bytes,       // packed into 8 bits per axis over the box of all key frames
    Hundredths,  // 16-bit hundredths after the writer moved and scaled the model into range
};

struct RoundTripLevel {
    const char* writer;             // the WriterEntry name
    bool readBack = true;           // false: no reader of ours reads the format
    bool exact = false;             // every field the native object file stores
    MeshShape meshes = MeshShape::Kept;
    FaceShape faces = FaceShape::Kept;
    PositionShape positions = PositionShape::Exact;
    bool dropsShortFaces = false;   // faces of one or two corners are not kept
    bool texCoords = false;         // texture coordinates come back (Bytes: in skin pixels)
    bool paletteColours = false;    // faces keep a material exactly when they had one, colours from a palette
    bool frames = false;            // every key frame comes back
    bool needsFaces = false;        // a model without a face of three corners or more is refused
    int32_t splitsAbove = 0;        // a sub-mesh with more vertices or faces than this is split
                                    // (then only the total of faces is compared); 0 = never
};

// The table: one row per writer of the save table.
const std::vector<RoundTripLevel>& RoundTripLevels();
const RoundTripLevel* RoundTripLevelFor(std::string_view writer);

// Whether the row's writer refuses the model (and says why) rather than write it.
bool RoundTripRefuses(const Model& model, const RoundTripLevel& level);

// Compares a read-back model with the model written. Returns what differs first (empty when they
// agree). With countsOnly, only the numbers of sub-meshes, faces, corners and key frames are
// compared (for inputs whose values may be anything).
std::string CompareRoundTrip(const Model& written, const Model& readBack, const RoundTripLevel& level,
                             bool countsOnly = false);

// Every field of the native object file: sub-meshes (vertices, faces, corners, face materials,
// normals, texture coordinates and their indices, centroid, bounds), materials, textures.
std::string CompareNativeExactly(const Model& written, const Model& readBack);

// Writes the model with the row's writer into folder, reads it back with a private load context.
// On success readBack holds the model; otherwise the returned text says what failed.
std::string WriteAndReadBack(const Model& model, const WriterEntry& entry, const std::string& folder,
                             std::unique_ptr<Model>& readBack, std::string* writtenPath = nullptr);

}  // namespace solvane::test
