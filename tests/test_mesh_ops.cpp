// Mesh operations: normals, triangulation, tessellation, scaling, colour, texture-map import, and
// the command-line program's --apply.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/mesh_ops.h"
#include "core/validate.h"
#include "tests/test_support.h"

namespace solvane {
namespace {

// A one-sub-mesh model from positions and faces (texture-coordinate indices optional).
std::unique_ptr<Model> ModelOf(const std::vector<float>& vertices, const std::vector<std::vector<uint32_t>>& faces,
                               const std::vector<std::vector<uint32_t>>& tex = {})
{
    auto model = NewModel(1);
    SubMesh& mesh = model->subMeshes[0];
    mesh.vertices = vertices;
    for (size_t f = 0; f < faces.size(); ++f) {
        mesh.AppendFace(faces[f].data(), static_cast<int>(faces[f].size()), tex.empty() ? nullptr : tex[f].data());
    }
    ComputeBoundsAndCentroid(mesh);
    return model;
}

std::vector<uint32_t> Face(const SubMesh& mesh, int32_t f)
{
    return {mesh.FaceIndices(f), mesh.FaceIndices(f) + mesh.FaceCorners(f)};
}

std::array<float, 3> NormalOf(const SubMesh& mesh, uint32_t v)
{
    return {mesh.normals[3 * v], mesh.normals[3 * v + 1], mesh.normals[3 * v + 2]};
}

// ---- Normals ---------------------------------------------------------------------------------

TEST(Normals, CounterClockwiseQuadFacesPlusZ)
{
    auto model = ModelOf({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}, {{0, 1, 2, 3}});
    GenerateNormals(*model);
    for (uint32_t v = 0; v < 4; ++v) EXPECT_EQ(NormalOf(model->subMeshes[0], v), (std::array<float, 3>{0, 0, 1}));
    EXPECT_EQ(ValidateModel(*model), "");
}

TEST(Normals, SharedVertexAveragesFacesEqually)
{
    // A floor (normal +z) and a wall (normal +y by its winding) meeting along the x axis.
    auto model = ModelOf({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 0, 1}, {{0, 1, 2}, {1, 0, 3}});
    GenerateNormals(*model);
    const SubMesh& mesh = model->subMeshes[0];
    const float h = 1.0f / std::sqrt(2.0f);
    EXPECT_EQ(NormalOf(mesh, 0)[0], 0.0f);
    EXPECT_NEAR(NormalOf(mesh, 0)[1], h, 1e-6);
    EXPECT_NEAR(NormalOf(mesh, 0)[2], h, 1e-6);
    EXPECT_EQ(NormalOf(mesh, 2), (std::array<float, 3>{0, 0, 1}));
    EXPECT_EQ(NormalOf(mesh, 3), (std::array<float, 3>{0, 1, 0}));
}

TEST(Normals, DegenerateFacesContributeNothingAndUnusedVerticesPointUp)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    // Face 1 is collinear, face 2 repeats a corner, face 3 has a NaN corner, face 4 has 2 corners.
    // Vertex 5 is used by no face.
    auto model = ModelOf({0, 0, 0, 0, 0, 1, 1, 0, 0, 2, 0, 0, nan, 0, 0, 7, 7, 7},
                         {{0, 1, 2}, {0, 2, 3}, {2, 2, 1}, {2, 4, 0}, {0, 2}});
    GenerateNormals(*model);
    const SubMesh& mesh = model->subMeshes[0];
    const std::array<float, 3> faceNormal = NormalOf(mesh, 1);
    EXPECT_EQ(faceNormal, (std::array<float, 3>{0, 1, 0}));
    EXPECT_EQ(NormalOf(mesh, 0), faceNormal);
    EXPECT_EQ(NormalOf(mesh, 2), faceNormal);
    EXPECT_EQ(NormalOf(mesh, 3), (std::array<float, 3>{0, 0, 1}));  // only a degenerate face
    EXPECT_EQ(NormalOf(mesh, 4), (std::array<float, 3>{0, 0, 1}));  // only the NaN face
    EXPECT_EQ(NormalOf(mesh, 5), (std::array<float, 3>{0, 0, 1}));  // unused
}

TEST(Normals, OutOfRangeCornerIsClampedAndBoundsRecomputed)
{
    auto model = ModelOf({0, 0, 0, 1, 0, 0, 1, 1, 0}, {{0, 1, 2}});
    SubMesh& mesh = model->subMeshes[0];
    mesh.faceIndices[2] = 99;
    mesh.bounds = {-1, -1, -1, -1, -1, -1};
    GenerateNormals(*model);
    EXPECT_EQ(Face(mesh, 0), (std::vector<uint32_t>{0, 1, 2}));
    EXPECT_EQ(mesh.NormalCount(), 3);
    EXPECT_EQ(ValidateModel(*model), "");
}

TEST(Normals, InversionFollowsTheFormat)
{
    for (FormatId id : {Format::TrueSpace, Format::Md2, Format::Mdl, Format::Md3, Format::Ply})
        EXPECT_TRUE(NormalsNeedInversion(id)) << id;
    for (FormatId id : {Format::Studio3ds, Format::Dxf, Format::Obj, Format::Off, Format::Rhino, Format::Unknown})
        EXPECT_FALSE(NormalsNeedInversion(id)) << id;

    auto model = ModelOf({0, 0, 0, 1, 0, 0, 1, 1, 0}, {{0, 1, 2}});
    model->subMeshes.emplace_back();  // a sub-mesh without normals is skipped
    model->formatId = Format::Md2;
    GenerateNormalsForFormat(*model);
    EXPECT_EQ(NormalOf(model->subMeshes[0], 0), (std::array<float, 3>{0, 0, -1}));
    ScaleNormals(*model, -1.0f);
    EXPECT_EQ(NormalOf(model->subMeshes[0], 0), (std::array<float, 3>{0, 0, 1}));
}

TEST(Normals, PlyFileNormalsPointAwayFromTheSameObjFile)
{
    test::ScratchDir dir;
    const std::string obj = dir.Write("quad.obj", "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nf 1 2 3 4\n");
    const std::string ply = dir.Write("quad.ply",
                                      "ply\nformat ascii 1.0\nelement vertex 4\nproperty float x\n"
                                      "property float y\nproperty float z\nelement face 1\n"
                                      "property list uchar int vertex_indices\nend_header\n"
                                      "0 0 0\n1 0 0\n1 1 0\n0 1 0\n4 0 1 2 3\n");
    test::LoadOutcome fromObj = test::Load(obj);
    test::LoadOutcome fromPly = test::Load(ply);
    ASSERT_TRUE(fromObj.model) << fromObj.code;
    ASSERT_TRUE(fromPly.model) << fromPly.code;
    GenerateNormalsForFormat(*fromObj.model);
    GenerateNormalsForFormat(*fromPly.model);
    EXPECT_EQ(NormalOf(fromObj.model->subMeshes[0], 0), (std::array<float, 3>{0, 0, 1}));
    EXPECT_EQ(NormalOf(fromPly.model->subMeshes[0], 0), (std::array<float, 3>{0, 0, -1}));
}

// ---- Triangulation ---------------------------------------------------------------------------

TEST(Triangulate, FansEachFaceFromItsFirstCornerKeepingPerFaceData)
{
    std::vector<float> vertices(3 * 9, 0.0f);
    auto model = ModelOf(vertices, {{0, 1, 2}, {0, 1, 2, 3}, {4, 5}, {4, 5, 6, 7, 8}},
                         {{0, 0, 0}, {10, 11, 12, 13}, {0, 0}, {20, 21, 22, 23, 24}});
    model->materials.resize(4);
    SubMesh& mesh = model->subMeshes[0];
    mesh.texCoords.assign(2 * 25, 0.5f);
    mesh.faceMaterials = {0, 1, 2, 3};
    mesh.faceContours = {1000, 1000, 1002, 1002};
    mesh.normals.assign(vertices.size(), 1.0f);

    ASSERT_TRUE(TriangulateModel(*model));
    ASSERT_EQ(mesh.FaceCount(), 1 + 2 + 3);
    EXPECT_EQ(Face(mesh, 0), (std::vector<uint32_t>{0, 1, 2}));
    EXPECT_EQ(Face(mesh, 1), (std::vector<uint32_t>{0, 1, 2}));
    EXPECT_EQ(Face(mesh, 2), (std::vector<uint32_t>{0, 2, 3}));
    EXPECT_EQ(Face(mesh, 3), (std::vector<uint32_t>{4, 5, 6}));
    EXPECT_EQ(Face(mesh, 4), (std::vector<uint32_t>{4, 6, 7}));
    EXPECT_EQ(Face(mesh, 5), (std::vector<uint32_t>{4, 7, 8}));
    EXPECT_EQ(std::vector<uint32_t>(mesh.faceTexCoordIndices.begin() + 3, mesh.faceTexCoordIndices.begin() + 9),
              (std::vector<uint32_t>{10, 11, 12, 10, 12, 13}));
    EXPECT_EQ(mesh.faceMaterials, (std::vector<int32_t>{0, 1, 1, 3, 3, 3}));
    EXPECT_EQ(mesh.faceContours, (std::vector<int32_t>{1000, 1000, 1000, 1002, 1002, 1002}));
    EXPECT_EQ(mesh.NormalCount(), 9);
    EXPECT_EQ(ValidateModel(*model), "");
}

TEST(Triangulate, TrianglesOnlyIsAlreadyDone)
{
    auto model = ModelOf({0, 0, 0, 1, 0, 0, 1, 1, 0}, {{0, 1, 2}, {2, 1, 0}, {0, 1}});
    const std::vector<uint32_t> before = model->subMeshes[0].faceIndices;
    model->subMeshes.emplace_back();  // empty sub-mesh
    EXPECT_FALSE(TriangulateModel(*model));
    EXPECT_EQ(model->subMeshes[0].faceIndices, before);
    EXPECT_EQ(model->subMeshes[0].FaceCount(), 3);
    EXPECT_STREQ(kAlreadyTrianglesTitle, "Already 100% Triangles");
    EXPECT_STREQ(kAlreadyTrianglesText, "This file is triangulated already.");
}

// ---- Tessellation ----------------------------------------------------------------------------

double TriangleArea(const SubMesh& mesh, int32_t f)
{
    const uint32_t* c = mesh.FaceIndices(f);
    const float* a = &mesh.vertices[3 * c[0]];
    const float* b = &mesh.vertices[3 * c[1]];
    const float* d = &mesh.vertices[3 * c[2]];
    return 0.5 * std::fabs((b[0] - a[0]) * (d[1] - a[1]) - (d[0] - a[0]) * (b[1] - a[1]));
}

// A 4 x 4 square with a 2 x 2 hole, a triangle before it and a quad after it.
std::unique_ptr<Model> RingModel()
{
    auto model = ModelOf({0, 0, 0, 4, 0, 0, 4, 4, 0, 0, 4, 0,   // outline 0..3
                          1, 1, 0, 3, 1, 0, 3, 3, 0, 1, 3, 0,   // hole 4..7
                          9, 9, 0, 10, 9, 0, 10, 10, 0, 9, 10, 0},
                         {{8, 9, 10}, {0, 1, 2, 3}, {4, 7, 6, 5}, {8, 9, 10, 11}},
                         {{3, 2, 1}, {11, 10, 9, 8}, {7, 4, 5, 6}, {3, 2, 1, 0}});
    model->materials.resize(3);
    SubMesh& mesh = model->subMeshes[0];
    mesh.texCoords.assign(2 * 12, 0.0f);
    mesh.faceMaterials = {2, 1, -1, 0};
    mesh.faceContours = {1000, 1000, kContourHole, 1000};
    return model;
}

TEST(Tessellate, SquareWithHoleBecomesTrianglesCoveringTheRing)
{
    auto model = RingModel();
    std::vector<std::string> errors;
    TessellateModel(*model, &errors);
    EXPECT_TRUE(errors.empty());
    const SubMesh& mesh = model->subMeshes[0];
    ASSERT_GE(mesh.FaceCount(), 3);
    EXPECT_EQ(ValidateModel(*model), "");

    // The copied faces keep their place, corners and data.
    EXPECT_EQ(Face(mesh, 0), (std::vector<uint32_t>{8, 9, 10}));
    EXPECT_EQ(mesh.faceMaterials.front(), 2);
    const int32_t last = mesh.FaceCount() - 1;
    EXPECT_EQ(Face(mesh, last), (std::vector<uint32_t>{8, 9, 10, 11}));
    EXPECT_EQ(mesh.faceMaterials.back(), 0);

    double area = 0;
    for (int32_t f = 1; f < last; ++f) {
        ASSERT_EQ(mesh.FaceCorners(f), 3);
        EXPECT_EQ(mesh.faceMaterials[f], 1);
        const uint32_t* c = mesh.FaceIndices(f);
        const uint32_t* t = mesh.FaceTexCoordIndices(f);
        float cx = 0, cy = 0;
        for (int k = 0; k < 3; ++k) {
            EXPECT_LT(c[k], 8u);
            // Every ring vertex v carries texture coordinate 11 - v, in the outline and in the hole.
            EXPECT_EQ(t[k], 11 - c[k]);
            cx += mesh.vertices[3 * c[k]] / 3;
            cy += mesh.vertices[3 * c[k] + 1] / 3;
        }
        EXPECT_FALSE(cx > 1 && cx < 3 && cy > 1 && cy < 3) << "triangle " << f << " lies in the hole";
        area += TriangleArea(mesh, f);
    }
    EXPECT_NEAR(area, 16.0 - 4.0, 1e-9);
    for (int32_t contour : mesh.faceContours) EXPECT_EQ(contour, kContourOutline);
}

TEST(Tessellate, LongFaceWithNormalsIsTessellated)
{
    // A convex hexagon (more than 4 corners), normals given per vertex.
    std::vector<float> vertices;
    std::vector<uint32_t> face;
    for (int k = 0; k < 6; ++k) {
        vertices.insert(vertices.end(), {std::cos(k * 1.0471976f), std::sin(k * 1.0471976f), 0.0f});
        face.push_back(static_cast<uint32_t>(k));
    }
    auto model = ModelOf(vertices, {face});
    GenerateNormals(*model);
    TessellateModel(*model, nullptr);
    const SubMesh& mesh = model->subMeshes[0];
    ASSERT_EQ(mesh.FaceCount(), 4);
    double area = 0;
    for (int32_t f = 0; f < 4; ++f) area += TriangleArea(mesh, f);
    EXPECT_NEAR(area, 3 * std::sqrt(3.0) / 2, 1e-5);
    EXPECT_TRUE(mesh.faceMaterials.empty());
    EXPECT_TRUE(mesh.faceTexCoordIndices.empty());
    EXPECT_EQ(ValidateModel(*model), "");
}

TEST(Tessellate, OutputVerticesMapToTheFirstVertexAtTheirPosition)
{
    // Vertex 5 repeats vertex 0's position; the pentagon uses 5, the output uses 0.
    auto model = ModelOf({0, 0, 0, 2, 0, 0, 3, 1, 0, 1, 3, 0, -1, 1, 0, 0, 0, 0}, {{5, 1, 2, 3, 4}});
    TessellateModel(*model, nullptr);
    const SubMesh& mesh = model->subMeshes[0];
    ASSERT_EQ(mesh.FaceCount(), 3);
    bool usesZero = false;
    for (uint32_t index : mesh.faceIndices) {
        EXPECT_NE(index, 5u);
        usesZero = usesZero || index == 0;
    }
    EXPECT_TRUE(usesZero);
}

TEST(Tessellate, UnusablePolygonsFallBackToAFan)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    // A pentagon with a NaN corner, a self-intersecting pentagon, short faces that are dropped.
    auto model = ModelOf({0, 0, 0, 2, 0, 0, 3, 1, 0, nan, 3, 0, -1, 1, 0,   //
                          0, 0, 0, 2, 2, 0, 2, 0, 0, 0, 2, 0, 1, 3, 0},
                         {{0, 1, 2, 3, 4}, {5, 6, 7, 8, 9}, {0, 1}, {}});
    std::vector<std::string> errors;
    TessellateModel(*model, &errors);
    const SubMesh& mesh = model->subMeshes[0];
    EXPECT_GE(mesh.FaceCount(), 4);
    EXPECT_EQ(Face(mesh, 0), (std::vector<uint32_t>{0, 1, 2}));
    for (int32_t f = 0; f < mesh.FaceCount(); ++f) EXPECT_EQ(mesh.FaceCorners(f), 3);
    EXPECT_EQ(ValidateModel(*model), "");
}

// ---- Scaling, colour, texture map --------------------------------------------------------------

TEST(Scale, FactorOneChangesNothing)
{
    auto model = ModelOf({1, 2, 3, 4, 5, 6}, {});
    model->subMeshes[0].bounds = {7, 7, 7, 7, 7, 7};  // would be recomputed by a real scale
    EXPECT_FALSE(ScaleModel(*model, 1.0f));
    EXPECT_EQ(model->subMeshes[0].bounds, (std::array<float, 6>{7, 7, 7, 7, 7, 7}));
}

TEST(Scale, ScalesFirstKeyFrameAndRecomputesBounds)
{
    auto model = ModelOf({1, 2, 3, -4, 5, 6}, {});
    AnimationFrame frame;
    frame.vertices = {1, 1, 1, 2, 2, 2};
    model->subMeshes[0].frames.push_back(frame);
    EXPECT_TRUE(ScaleModel(*model, 0.5f));
    const SubMesh& mesh = model->subMeshes[0];
    EXPECT_EQ(mesh.vertices, (std::vector<float>{0.5f, 1, 1.5f, -2, 2.5f, 3}));
    EXPECT_EQ(mesh.frames[0].vertices, (std::vector<float>{1, 1, 1, 2, 2, 2}));
    EXPECT_EQ(mesh.bounds, (std::array<float, 6>{-2, 0.5f, 1, 2.5f, 1.5f, 3}));
    EXPECT_EQ(mesh.centroid, (std::array<float, 3>{-0.75f, 1.75f, 2.25f}));
}

TEST(ApplyColor, CreatesTheMaterialWhenThereIsNone)
{
    auto model = ModelOf({0, 0, 0, 1, 0, 0, 1, 1, 0}, {{0, 1, 2}, {2, 1, 0}});
    model->hasColor = model->hasDiffuse = model->hasSpecular = 1;
    ApplyColor(*model, {0.25f, 0.5f, 1.0f});
    EXPECT_EQ(model->hasColor + model->hasDiffuse + model->hasSpecular, 0);
    ASSERT_EQ(model->MaterialCount(), 1);
    EXPECT_EQ(model->materials[0].name, "Solvane Color");
    EXPECT_EQ(model->materials[0].textureIndex, -1);
    EXPECT_EQ(model->materials[0].color, (std::array<float, 3>{0.25f, 0.5f, 1.0f}));
    EXPECT_EQ(model->subMeshes[0].faceMaterials, (std::vector<int32_t>{0, 0}));
    EXPECT_EQ(ValidateModel(*model), "");
    FinishApplyColor(*model);
    EXPECT_EQ(model->hasColor + model->hasDiffuse + model->hasSpecular, 3);
}

TEST(ApplyColor, RecoloursEveryExistingMaterial)
{
    auto model = ModelOf({}, {});
    model->materials.resize(2);
    model->materials[1].textureIndex = -1;
    model->materials[1].name = "steel";
    ApplyColor(*model, {0.1f, 0.2f, 0.3f});
    ASSERT_EQ(model->MaterialCount(), 2);
    for (const Material& material : model->materials) {
        EXPECT_EQ(material.color, (std::array<float, 3>{0.1f, 0.2f, 0.3f}));
        EXPECT_EQ(material.diffuse, material.color);
        EXPECT_EQ(material.specular, material.color);
    }
    EXPECT_EQ(model->materials[1].name, "steel");
}

struct FakeImages {
    int calls = 0;
    FormatId lastId = -1;
    std::string lastPath;
    bool refuse = false;
    ImageLoader Loader()
    {
        return [this](const char* path, FormatId id) -> std::unique_ptr<Texture> {
            ++calls;
            lastId = id;
            lastPath = path;
            if (refuse) return nullptr;
            auto image = std::make_unique<Texture>();
            image->width = 2;
            image->height = 1;
            image->pixels = {1, 2, 3, 4, 5, 6};
            return image;
        };
    }
};

std::unique_ptr<Model> TexturedCandidate()
{
    auto model = ModelOf({0, 0, 0, 1, 0, 0, 1, 1, 0}, {{0, 1, 2}});
    model->subMeshes[0].texCoords = {0, 0, 1, 0, 1, 1};
    model->materials.resize(2);
    model->materials[0].color = {0.5f, 0.0f, 0.0f};
    model->materials[1].specular = {0.0f, 0.25f, 0.0f};
    return model;
}

TEST(TextureImport, NeedsTextureCoordinates)
{
    auto model = ModelOf({0, 0, 0}, {});
    FakeImages images;
    const TextureImportResult result = ImportTextureMap(*model, "wood.bmp", images.Loader());
    EXPECT_EQ(result.status, TextureImportStatus::NoTexCoords);
    EXPECT_EQ(result.warningTitle, "Texture Map Image Import Failed");
    EXPECT_EQ(result.warningText, "Importing texture maps requires the current model to have texture coordinates.");
    EXPECT_EQ(images.calls, 0);
    EXPECT_TRUE(model->textures.empty());
}

TEST(TextureImport, ImageTypeComesFromTheExtension)
{
    const std::pair<const char*, FormatId> table[] = {
        {"a.bmp", Format::Bmp}, {"A.BMP", Format::Bmp}, {"a.iff", Format::Iff}, {"a.Jpg", Format::Jpeg},
        {"a.pcx", Format::Pcx}, {"a.tga", Format::Tga}, {"\"C:\\x y\\a.ppm\"", Format::Ppm},
        {"a.png", Format::Png}, {"maps/A.PNG", Format::Png},
        {"a.rgb", Format::Unknown}, {"a.jpeg", Format::Unknown}, {"dir.bmp/a", Format::Unknown}, {"a", Format::Unknown}};
    for (const auto& [path, id] : table) EXPECT_EQ(TextureMapImageFormat(path), id) << path;

    auto model = TexturedCandidate();
    FakeImages images;
    EXPECT_EQ(ImportTextureMap(*model, "photo.gif", images.Loader()).status, TextureImportStatus::UnsupportedExtension);
    images.refuse = true;
    EXPECT_EQ(ImportTextureMap(*model, "photo.tga", images.Loader()).status, TextureImportStatus::ImageUnreadable);
    EXPECT_TRUE(model->textures.empty());
    EXPECT_EQ(model->materials[0].color, (std::array<float, 3>{0.5f, 0.0f, 0.0f}));
}

TEST(TextureImport, CreatesTheTextureAndCancelRestoresTheMaterials)
{
    auto model = TexturedCandidate();
    const TextureImportUndo undo = BeginTextureImport(*model);
    FakeImages images;
    const TextureImportResult result = ImportTextureMap(*model, "\"maps/wood.TGA\"", images.Loader());
    EXPECT_EQ(result.status, TextureImportStatus::Imported);
    EXPECT_TRUE(result.createdTextureTable);
    EXPECT_EQ(images.lastPath, "maps/wood.TGA");
    EXPECT_EQ(images.lastId, Format::Tga);
    ASSERT_EQ(model->TextureCount(), 1);
    EXPECT_EQ(model->hasTextures, 1);
    EXPECT_EQ(model->textures[0].name, "maps/wood.TGA");
    EXPECT_EQ(model->textures[0].width, 2);
    EXPECT_EQ(model->textures[0].pixels.size(), 6u);
    EXPECT_EQ(model->textures[0].mappingMode, 0);  // through the model's texture coordinates
    for (const Material& material : model->materials) {
        EXPECT_EQ(material.textureIndex, 0);
        EXPECT_EQ(material.color, (std::array<float, 3>{1, 1, 1}));
        EXPECT_EQ(material.specular, (std::array<float, 3>{1, 1, 1}));
    }
    EXPECT_EQ(ValidateModel(*model), "");

    // A second image in the same dialog replaces the first; the table is not created again.
    EXPECT_FALSE(ImportTextureMap(*model, "b.bmp", images.Loader()).createdTextureTable);
    EXPECT_EQ(model->textures[0].name, "b.bmp");

    EXPECT_TRUE(CancelTextureImport(*model, undo));
    EXPECT_TRUE(model->textures.empty());
    EXPECT_EQ(model->hasTextures, 0);
    EXPECT_EQ(model->materials[0].color, (std::array<float, 3>{0.5f, 0.0f, 0.0f}));
    EXPECT_EQ(model->materials[1].specular, (std::array<float, 3>{0.0f, 0.25f, 0.0f}));
    EXPECT_EQ(model->materials[1].textureIndex, -1);
    EXPECT_FALSE(CancelTextureImport(*model, undo));
}

TEST(TextureImport, CancelKeepsATableThatExistedBefore)
{
    auto model = TexturedCandidate();
    model->textures.resize(1);
    model->hasTextures = 1;
    model->materials[0].textureIndex = 0;
    const TextureImportUndo undo = BeginTextureImport(*model);
    FakeImages images;
    EXPECT_EQ(ImportTextureMap(*model, "a.pcx", images.Loader()).status, TextureImportStatus::Imported);
    EXPECT_EQ(model->materials[0].color, (std::array<float, 3>{0.5f, 0.0f, 0.0f}));  // not whitened
    EXPECT_FALSE(CancelTextureImport(*model, undo));
    EXPECT_EQ(model->TextureCount(), 1);
    EXPECT_EQ(model->materials[0].textureIndex, 0);
}

// ---- Command line --------------------------------------------------------------------------------

TEST(CliApply, AppliesOperationsInOrder)
{
    test::ScratchDir dir;
    // Two quads side by side; the second repeats two positions of the first.
    const std::string obj = dir.Write("two.obj",
                                      "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n"
                                      "v 1 0 0\nv 2 0 0\nv 2 1 0\nv 1 1 0\nf 1 2 3 4\nf 5 6 7 8\n");
    const std::string cli = SOLVANE_CLI_PATH;
    std::string out;
    ASSERT_EQ(test::RunCommand(cli + " info --json --apply triangulate,weld=0,scale=2,normals " + obj, &out), 0);
    EXPECT_NE(out.find("\"vertices\":6,\"faces\":4,"), std::string::npos) << out;
    EXPECT_NE(out.find("\"normals\":6,"), std::string::npos) << out;
    EXPECT_NE(out.find("\"bounds\":[0,4,0,2,0,0]"), std::string::npos) << out;

    // decimate=1 on the 2 x 1 box gives tolerance (2 + 1) / 3 = 1: (0,0) takes (1,0) and (0,1) via
    // (1,1); (2,0) takes (2,1); the second (1,1) goes to the older (1,1), the second (1,0) to (1,1).
    ASSERT_EQ(test::RunCommand(cli + " info --json --apply decimate=1 " + obj, &out), 0);
    EXPECT_NE(out.find("\"vertices\":3,"), std::string::npos) << out;

    EXPECT_EQ(test::RunCommand(cli + " info --apply smooth " + obj + " 2>/dev/null", &out), 2);
    EXPECT_EQ(test::RunCommand(cli + " info --apply scale=0 " + obj + " 2>/dev/null", &out), 2);
    EXPECT_EQ(test::RunCommand(cli + " info --apply weld " + obj + " 2>/dev/null", &out), 2);
}

}  // namespace
}  // namespace solvane
