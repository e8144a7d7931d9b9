// 3D Studio mesh files (.3ds) and project files (.prj): triangle meshes, materials and their maps.
#pragma once

#include <cstdint>
#include <memory>

#include <string>

#include "core/load_context.h"
#include "core/model.h"
#include "core/writer_output.h"

namespace solvane {

// Chunk identifiers (little-endian 16-bit) of the files, as the reader and the writer use them.
namespace chunk3ds {
constexpr uint16_t kMainChunk = 0x4D4D;
constexpr uint16_t kVersion = 0x0002;
constexpr uint16_t kProjectChunk = 0xC23D;
constexpr uint16_t kEditorChunk = 0x3D3D;
constexpr uint16_t kMeshVersion = 0x3D3E;
constexpr uint16_t kMasterScale = 0x0100;
constexpr uint16_t kMaterialChunk = 0xAFFF;
constexpr uint16_t kMaterialName = 0xA000;
constexpr uint16_t kMaterialColor = 0xA010;  // the ambient colour, the material's colour here
constexpr uint16_t kMaterialDiffuse = 0xA020;
constexpr uint16_t kMaterialSpecular = 0xA030;
constexpr uint16_t kMaterialTransparency = 0xA050;
constexpr uint16_t kTextureMap = 0xA200;
constexpr uint16_t kReflectionMap = 0xA220;
constexpr uint16_t kBumpMap = 0xA230;
constexpr uint16_t kMapFileName = 0xA300;
constexpr uint16_t kColor24 = 0x0011;
constexpr uint16_t kLinearColor24 = 0x0012;
constexpr uint16_t kIntPercentage = 0x0030;
constexpr uint16_t kNamedObject = 0x4000;
constexpr uint16_t kTriangleMesh = 0x4100;
constexpr uint16_t kPointArray = 0x4110;
constexpr uint16_t kFaceArray = 0x4120;
constexpr uint16_t kMaterialGroup = 0x4130;
constexpr uint16_t kTexCoords = 0x4140;
constexpr uint16_t kSmoothingGroups = 0x4150;
constexpr uint16_t kMeshMatrix = 0x4160;
}  // namespace chunk3ds

// Reads a 3D Studio mesh or project file: one sub-mesh per triangle mesh (one empty sub-mesh when
// the file holds none), one material per material entry, one texture per texture, reflection or
// bump map (names only; the dispatch loads the images). Null with result 1000 when the file does
// not start with a main chunk, or null when it cannot be opened.
std::unique_ptr<Model> Read3dsFile(const char* path, LoadContext& ctx);

// Writes the model as a 3D Studio mesh file: triangles (polygons fanned, larger and holed ones
// tessellated), one object per sub-mesh, split where a sub-mesh has more than 65535 vertices or
// faces; materials with their maps, the images written beside the model as BMP. False with
// ctx.error set; nothing is left behind.
bool Write3dsFile(const Model& model, const std::string& path, SaveContext& ctx);

}  // namespace solvane
