#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "core/load_context.h"
#include "core/reader_input.h"
#include "core/validate.h"
#include "formats/lwo.h"
#include "image/image.h"
#include "tests/test_support.h"

namespace solvane {
namespace {

// Big-endian IFF pieces for LightWave test files.
struct Lwo {
    std::string b;

    Lwo& Id(const char* id) { b.append(id, 4); return *this; }
    Lwo& U1(uint32_t v) { b.push_back(static_cast<char>(v)); return *this; }
    Lwo& U2(uint32_t v) { return U1(v >> 8).U1(v); }
    Lwo& U4(uint32_t v) { return U2(v >> 16).U2(v & 0xFFFF); }
    Lwo& F4(float f) { uint32_t v; std::memcpy(&v, &f, 4); return U4(v); }
    Lwo& VX(uint32_t v) { return v < 0xFF00 ? U2(v) : U4(v | 0xFF000000u); }
    Lwo& S0(const std::string& text)
    {
        b += text;
        b.push_back('\0');
        if ((text.size() + 1) % 2) b.push_back('\0');
        return *this;
    }
    Lwo& Raw(const std::string& bytes) { b += bytes; return *this; }
    // A top-level chunk with its pad byte.
    Lwo& Chunk(const char* id, const Lwo& body)
    {
        Id(id).U4(static_cast<uint32_t>(body.b.size())).Raw(body.b);
        if (body.b.size() % 2) b.push_back('\0');
        return *this;
    }
    // A sub-chunk inside SURF, CLIP or BLOK.
    Lwo& Sub(const char* id, const Lwo& body) { return Id(id).U2(static_cast<uint32_t>(body.b.size())).Raw(body.b); }
};

std::string Form(const char* type, const Lwo& chunks)
{
    Lwo form;
    form.Id("FORM").U4(static_cast<uint32_t>(4 + chunks.b.size())).Id(type).Raw(chunks.b);
    return form.b;
}

Lwo Points(std::initializer_list<std::array<float, 3>> points)
{
    Lwo body;
    for (const auto& p : points) body.F4(p[0]).F4(p[1]).F4(p[2]);
    return body;
}

Lwo SquarePoints(float z = 0) { return Points({{0, 0, z}, {1, 0, z}, {1, 1, z}, {0, 1, z}}); }

struct Outcome {
    std::unique_ptr<Model> model;
    int32_t code = 100;
};

Outcome ReadBytes(const std::string& bytes)
{
    test::ScratchDir dir;
    const std::string path = dir.Write("model.lwo", bytes);
    LoadContext ctx;
    Outcome outcome;
    outcome.model = ReadLwoFile(path.c_str(), ctx);
    outcome.code = ctx.result.load();
    return outcome;
}

std::vector<uint32_t> Corners(const SubMesh& mesh, int32_t f)
{
    return {mesh.FaceIndices(f), mesh.FaceIndices(f) + mesh.FaceCorners(f)};
}

// LWOB: two surfaces both naming one image, a quad and a triangle, a detail polygon.
std::string LwobFile()
{
    Lwo chunks;
    chunks.Chunk("SRFS", Lwo().S0("Red").S0("Blue"));
    chunks.Chunk("PNTS", SquarePoints());
    chunks.Chunk("POLS", Lwo()
                             .U2(4).U2(0).U2(1).U2(2).U2(3).U2(1)              // quad, surface 1
                             .U2(3).U2(0).U2(2).U2(3).U2(static_cast<uint16_t>(-2))  // triangle with details
                             .U2(1).U2(3).U2(1).U2(2).U2(3).U2(1)              // its detail polygon
                             .U2(3).U2(3).U2(2).U2(1).U2(9));                  // surface 9 does not exist
    chunks.Chunk("SURF", Lwo().S0("Red")
                             .Sub("COLR", Lwo().U1(255).U1(0).U1(51).U1(0))
                             .Sub("DIFF", Lwo().U2(256))
                             .Sub("SPEC", Lwo().U2(1))
                             .Sub("TRAN", Lwo().U2(52))
                             .Sub("TIMG", Lwo().S0("images/wood.bmp")));
    chunks.Chunk("SURF", Lwo().S0("Blue")
                             .Sub("COLR", Lwo().U1(0).U1(0).U1(255).U1(0))
                             .Sub("VDIF", Lwo().F4(0.5f))
                             .Sub("VSPC", Lwo().F4(7.0f))
                             .Sub("VTRN", Lwo().F4(3.0f))
                             .Sub("RIMG", Lwo().S0("images/wood.bmp")));
    chunks.Chunk("SURF", Lwo().S0("Nobody").Sub("COLR", Lwo().U1(9).U1(9).U1(9).U1(0)));
    return Form("LWOB", chunks);
}

TEST(LwoReader, LwobSurfacesTextureAndDetailPolygons)
{
    const Outcome out = ReadBytes(LwobFile());
    ASSERT_TRUE(out.model) << out.code;
    const Model& model = *out.model;
    EXPECT_EQ(ValidateModel(model), "");
    ASSERT_EQ(model.SubMeshCount(), 1);
    const SubMesh& mesh = model.subMeshes[0];
    EXPECT_EQ(mesh.VertexCount(), 4);
    EXPECT_EQ(mesh.bounds, (std::array<float, 6>{0, 1, 0, 1, 0, 0}));
    EXPECT_FLOAT_EQ(mesh.centroid[0], 0.5f);
    // The detail polygon is not a face.
    ASSERT_EQ(mesh.FaceCount(), 3);
    EXPECT_EQ(Corners(mesh, 0), (std::vector<uint32_t>{0, 1, 2, 3}));
    EXPECT_EQ(Corners(mesh, 1), (std::vector<uint32_t>{0, 2, 3}));
    EXPECT_EQ(Corners(mesh, 2), (std::vector<uint32_t>{3, 2, 1}));
    EXPECT_EQ(mesh.faceMaterials, (std::vector<int32_t>{0, 1, -1}));
    EXPECT_TRUE(mesh.texCoords.empty());
    EXPECT_TRUE(mesh.faceTexCoordIndices.empty());

    ASSERT_EQ(model.MaterialCount(), 2);
    const Material& red = model.materials[0];
    EXPECT_EQ(red.name, "Red");
    EXPECT_EQ(red.color, (std::array<float, 3>{1, 0, 51.0f / 255.0f}));
    EXPECT_EQ(red.diffuse, red.color);  // DIFF 256: (256 - 1) / 255
    EXPECT_EQ(red.specular, (std::array<float, 3>{0, 0, 0}));  // SPEC 1
    EXPECT_FLOAT_EQ(red.transparency, 51.0f / 255.0f);
    const Material& blue = model.materials[1];
    EXPECT_EQ(blue.diffuse, (std::array<float, 3>{0, 0, 0.5f}));
    EXPECT_EQ(blue.specular, blue.color);  // a VSPC outside 0..1 is 1
    EXPECT_FLOAT_EQ(blue.transparency, 3.0f);  // VTRN unchanged
    EXPECT_EQ(model.hasColor + model.hasDiffuse + model.hasSpecular + model.hasTransparency, 4);

    // Both surfaces share one texture.
    ASSERT_EQ(model.TextureCount(), 1);
    EXPECT_EQ(model.textures[0].name, "images/wood.bmp");
    EXPECT_EQ(model.textures[0].mappingMode, 3);
    EXPECT_EQ(red.textureIndex, 0);
    EXPECT_EQ(blue.textureIndex, 0);
}

// LWO2: tags, a UV map, faces tagged with surfaces, a clip used by a block.
std::string Lwo2File()
{
    Lwo chunks;
    chunks.Chunk("TAGS", Lwo().S0("Unused").S0("A").S0("B"));
    chunks.Chunk("LAYR", Lwo().U2(0).U2(0).F4(0).F4(0).F4(0).S0("layer"));
    chunks.Chunk("PNTS", SquarePoints(2));
    chunks.Chunk("VMAP", Lwo().Id("TXUV").U2(2).S0("uv")
                             .VX(0).F4(0).F4(0).VX(2).F4(1).F4(1).VX(3).F4(0).F4(1).VX(77).F4(5).F4(5));
    chunks.Chunk("POLS", Lwo().Id("FACE").U2(4).VX(0).VX(1).VX(2).VX(3).U2(3).VX(0).VX(2).VX(0xFF000003u));
    chunks.Chunk("PTAG", Lwo().Id("SURF").VX(0).U2(2).VX(1).U2(1).VX(5).U2(1).VX(0).U2(40));
    chunks.Chunk("PTAG", Lwo().Id("PART").VX(0).U2(0));
    chunks.Chunk("CLIP", Lwo().U4(1).Sub("STIL", Lwo().S0("images/clip.tga")));
    chunks.Chunk("SURF", Lwo().S0("B").S0("")
                             .Sub("COLR", Lwo().F4(0.5f).F4(0.25f).F4(1).VX(0))
                             .Sub("DIFF", Lwo().F4(1.5f).VX(0))
                             .Sub("SPEC", Lwo().F4(0.5f).VX(0))
                             .Sub("BLOK", Lwo().Sub("IMAP", Lwo().S0("\x80").Sub("CHAN", Lwo().Id("COLR")))
                                              .Sub("TMAP", Lwo().Sub("CNTR", Lwo().F4(0).F4(0).F4(0).VX(0)))
                                              .Sub("PROJ", Lwo().U2(2))
                                              .Sub("AXIS", Lwo().U2(1))
                                              .Sub("IMAG", Lwo().VX(1))));
    chunks.Chunk("SURF", Lwo().S0("A").S0("").Sub("TRAN", Lwo().F4(0.25f).VX(0)));
    chunks.Chunk("SURF", Lwo().S0("Unused").S0("").Sub("COLR", Lwo().F4(1).F4(1).F4(1).VX(0)));
    return Form("LWO2", chunks);
}

TEST(LwoReader, Lwo2TagsVertexMapAndBlock)
{
    const Outcome out = ReadBytes(Lwo2File());
    ASSERT_TRUE(out.model) << out.code;
    const Model& model = *out.model;
    EXPECT_EQ(ValidateModel(model), "");
    ASSERT_EQ(model.SubMeshCount(), 1);
    const SubMesh& mesh = model.subMeshes[0];
    ASSERT_EQ(mesh.FaceCount(), 2);
    EXPECT_EQ(Corners(mesh, 1), (std::vector<uint32_t>{0, 2, 3}));  // a 4-byte VX
    EXPECT_EQ(mesh.faceTexCoordIndices, mesh.faceIndices);
    ASSERT_EQ(mesh.TexCoordCount(), 4);
    EXPECT_EQ(mesh.texCoords, (std::vector<float>{0, 0, 0, 0, 1, 1, 0, 1}));

    // Materials in the order their tags are first used: B, then A; "Unused" is never used.
    ASSERT_EQ(model.MaterialCount(), 2);
    EXPECT_EQ(model.materials[0].name, "B");
    EXPECT_EQ(model.materials[1].name, "A");
    EXPECT_EQ(mesh.faceMaterials, (std::vector<int32_t>{0, 1}));
    const Material& b = model.materials[0];
    EXPECT_EQ(b.color, (std::array<float, 3>{0.5f, 0.25f, 1}));
    EXPECT_EQ(b.diffuse, b.color);  // 1.5 is taken as 1
    EXPECT_EQ(b.specular, (std::array<float, 3>{0.25f, 0.125f, 0.5f}));
    EXPECT_FLOAT_EQ(model.materials[1].transparency, 0.25f);
    EXPECT_EQ(model.materials[1].color, (std::array<float, 3>{0, 0, 0}));

    ASSERT_EQ(model.TextureCount(), 1);
    const Texture& texture = model.textures[0];
    EXPECT_EQ(texture.name, "images/clip.tga");
    EXPECT_EQ(b.textureIndex, 0);
    EXPECT_EQ(model.materials[1].textureIndex, -1);
    EXPECT_EQ(texture.mappingMode, 4);  // spherical
    EXPECT_EQ(texture.planeS, (std::array<float, 4>{0, 1, 0, 0}));
    EXPECT_EQ(texture.planeT, (std::array<float, 4>{1, 0, 0, 0}));
    EXPECT_EQ(texture.planeR, (std::array<float, 4>{0, 0, 1, 0}));
}

TEST(LwoReader, Lwo2TwoLayersAndSkippedPolygonTypes)
{
    Lwo chunks;
    chunks.Chunk("TAGS", Lwo().S0("X").S0("Y"));
    for (int layer = 0; layer < 2; ++layer) {
        chunks.Chunk("LAYR", Lwo().U2(static_cast<uint32_t>(layer)).U2(0).F4(0).F4(0).F4(0).S0(""));
        chunks.Chunk("PNTS", SquarePoints(static_cast<float>(layer + 5)));
        chunks.Chunk("VMAP", Lwo().Id("TXUV").U2(2).S0("uv").VX(1).F4(0.5f).F4(static_cast<float>(layer)));
        chunks.Chunk("POLS", Lwo().Id("CURV").U2(2).VX(0).VX(1));
        chunks.Chunk("POLS", Lwo().Id("FACE").U2(3).VX(0).VX(1).VX(2));
        chunks.Chunk("PTAG", Lwo().Id("SURF").VX(0).U2(static_cast<uint32_t>(1 - layer)));
    }
    const Outcome out = ReadBytes(Form("LWO2", chunks));
    ASSERT_TRUE(out.model);
    ASSERT_EQ(out.model->SubMeshCount(), 2);
    EXPECT_EQ(ValidateModel(*out.model), "");
    for (int layer = 0; layer < 2; ++layer) {
        const SubMesh& mesh = out.model->subMeshes[static_cast<size_t>(layer)];
        EXPECT_FLOAT_EQ(mesh.bounds[4], static_cast<float>(layer + 5));
        EXPECT_EQ(mesh.FaceCount(), 1);
        EXPECT_FLOAT_EQ(mesh.texCoords[3], static_cast<float>(layer));
        EXPECT_EQ(mesh.faceMaterials, (std::vector<int32_t>{layer}));
    }
    EXPECT_EQ(out.model->materials[0].name, "Y");
}

TEST(LwoReader, OpenPointsDecidedForTheReader)
{
    // A POLS without points of its own gives a sub-mesh without faces; corner numbers beyond the
    // points are clamped; an odd-sized chunk is followed by its pad byte.
    Lwo chunks;
    chunks.Chunk("POLS", Lwo().U2(3).U2(0).U2(1).U2(2).U2(1));
    chunks.Chunk("ICON", Lwo().U1(1).U1(2).U1(3));
    chunks.Chunk("PNTS", Points({{1, 2, 3}, {4, 5, 6}}));
    chunks.Chunk("POLS", Lwo().U2(3).U2(0).U2(1).U2(40000).U2(1));
    const Outcome out = ReadBytes(Form("LWOB", chunks));
    ASSERT_TRUE(out.model);
    ASSERT_EQ(out.model->SubMeshCount(), 2);
    EXPECT_EQ(out.model->subMeshes[0].FaceCount(), 0);
    EXPECT_EQ(Corners(out.model->subMeshes[1], 0), (std::vector<uint32_t>{0, 1, 1}));
    EXPECT_EQ(ValidateModel(*out.model), "");

    // Points only: one sub-mesh holding them.
    Lwo pointsOnly;
    pointsOnly.Chunk("PNTS", SquarePoints());
    const Outcome points = ReadBytes(Form("LWO2", pointsOnly));
    ASSERT_TRUE(points.model);
    EXPECT_EQ(points.model->subMeshes[0].VertexCount(), 4);
}

TEST(LwoReader, LwobPointNumbersAboveInt16AreUnsigned)
{
    Lwo points;
    for (int i = 0; i < 40001; ++i) points.F4(static_cast<float>(i)).F4(0).F4(0);
    Lwo chunks;
    chunks.Chunk("PNTS", points);
    chunks.Chunk("POLS", Lwo().U2(3).U2(40000).U2(32768).U2(0).U2(0));
    const Outcome out = ReadBytes(Form("LWOB", chunks));
    ASSERT_TRUE(out.model);
    EXPECT_EQ(Corners(out.model->subMeshes[0], 0), (std::vector<uint32_t>{40000, 32768, 0}));
    EXPECT_EQ(out.model->subMeshes[0].faceMaterials, (std::vector<int32_t>{-1}));
}

TEST(LwoReader, ReadLwoIdPositions)
{
    test::ScratchDir dir;
    const std::string path = dir.Write("ids", "LWOBSURFVMAPIKEYRGB HUE xxxxPOL");
    LoadContext ctx;
    ReaderInput in(ctx);
    ASSERT_TRUE(in.Open(path));
    // Duplicated identifiers give their first position.
    for (int expected : {0, 5, 78, 172, 83, 116, -1, -1}) EXPECT_EQ(ReadLwoId(in), expected);
}

TEST(LwoReader, HostileHeadersAndCounts)
{
    std::string wrongMagic = LwobFile();
    wrongMagic[0] = 'X';
    std::string wrongType = LwobFile();
    wrongType[11] = 'C';
    for (const std::string& bytes : {std::string(), wrongMagic, wrongType, std::string("FORM")}) {
        const Outcome out = ReadBytes(bytes);
        EXPECT_FALSE(out.model);
        EXPECT_EQ(out.code, LoadResult::NotValidLwo);
    }

    // Sizes and counts far beyond the file load what the file holds, quickly.
    for (uint32_t size : {0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu}) {
        Lwo chunks;
        chunks.Id("PNTS").U4(size).Raw(SquarePoints().b);
        Lwo polygons;
        polygons.Id("FACE").U2(0x3FF).VX(0).VX(1);
        Lwo lwo2;
        lwo2.Chunk("PNTS", SquarePoints()).Id("POLS").U4(size).Raw(polygons.b);
        Lwo lwob;
        lwob.Chunk("PNTS", SquarePoints()).Chunk("POLS", Lwo().U2(0xFFFF).U2(1).U2(2));
        for (const std::string& bytes : {Form("LWOB", chunks), Form("LWO2", lwo2), Form("LWOB", lwob)}) {
            std::string huge = bytes;
            huge[4] = huge[5] = huge[6] = huge[7] = '\xFF';  // FORM size too
            for (const std::string& file : {bytes, huge}) {
                const auto start = std::chrono::steady_clock::now();
                const Outcome out = ReadBytes(file);
                ASSERT_TRUE(out.model);
                EXPECT_EQ(ValidateModel(*out.model), "");
                EXPECT_LE(out.model->subMeshes[0].VertexCount(), 4);
                EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
            }
        }
    }
}

TEST(LwoReader, TruncationSweepLoadsValidModelsOrFails)
{
    for (const std::string& good : {LwobFile(), Lwo2File()}) {
        for (size_t length = 0; length <= good.size(); ++length) {
            const Outcome out = ReadBytes(good.substr(0, length));
            if (length < 12) {
                EXPECT_FALSE(out.model) << length;
                EXPECT_EQ(out.code, LoadResult::NotValidLwo) << length;
            } else {
                ASSERT_TRUE(out.model) << length;
                EXPECT_EQ(ValidateModel(*out.model), "") << length;
            }
        }
    }
}

// ---- Real files ----

TEST(LwoCorpus, ValidFilesLoad)
{
    SOLVANE_SKIP_WITHOUT_SHARED();
    const auto files = test::CorpusFiles("models/LWO", {".lwo"});
    ASSERT_FALSE(files.empty());
    int loaded = 0;
    for (const auto& file : files) {
        if (file.parent_path().filename() == "invalid") continue;
        const test::LoadOutcome out = test::Load(file.string());
        ASSERT_TRUE(out.model) << file << " " << out.code;
        EXPECT_EQ(ValidateModel(*out.model), "") << file;
        EXPECT_GT(TotalFaces(*out.model), 0) << file;
        ++loaded;
    }
    EXPECT_GE(loaded, 15);
}

TEST(LwoCorpus, InvalidAndUnrecognisedFiles)
{
    SOLVANE_SKIP_WITHOUT_SHARED();
    const auto invalid = test::CorpusFiles("models/LWO/invalid");
    ASSERT_FALSE(invalid.empty());
    for (const auto& file : invalid) {
        const test::LoadOutcome out = test::Load(file.string());
        EXPECT_FALSE(out.model) << file;
        EXPECT_EQ(out.code, LoadResult::NotValidLwo) << file;
    }
    // LWO2 is not among the magic values, and this file has no extension.
    const auto detection = test::SharedDir() / "corpus/models/LWO/LWO2/formatDetection";
    ASSERT_TRUE(std::filesystem::exists(detection));
    const test::LoadOutcome out = test::Load(detection.string());
    EXPECT_FALSE(out.model);
    EXPECT_EQ(out.code, LoadResult::FormatNotRecognized);
}

TEST(LwoCorpus, SurfacesOfRealFiles)
{
    SOLVANE_SKIP_WITHOUT_SHARED();
    const auto uvtest = test::SharedDir() / "corpus/models/LWO/LWO2/uvtest.lwo";
    ASSERT_TRUE(std::filesystem::exists(uvtest));
    const Outcome uv = ReadBytes([&] {
        std::ifstream file(uvtest, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), {});
    }());
    ASSERT_TRUE(uv.model);
    EXPECT_EQ(uv.model->MaterialCount(), 16);
    EXPECT_EQ(uv.model->subMeshes[0].TexCoordCount(), uv.model->subMeshes[0].VertexCount());

    // rifle.lwo names ../../3DS/m_rifl.bmp; the image is used once BMP images can be read.
    const auto rifle = test::SharedDir() / "corpus/models/LWO/LWO2/rifle.lwo";
    LoadContext ctx;
    const auto raw = ReadLwoFile(rifle.c_str(), ctx);
    ASSERT_TRUE(raw);
    ASSERT_EQ(raw->TextureCount(), 1);
    EXPECT_EQ(raw->textures[0].name, "../../3DS/m_rifl.bmp");
    const auto bmp = test::SharedDir() / "corpus/models/3DS/m_rifl.bmp";
    const bool bmpReadable = LoadImageFile(bmp.c_str(), 12) != nullptr;
    const test::LoadOutcome out = test::Load(rifle.string());
    ASSERT_TRUE(out.model);
    EXPECT_EQ(out.model->TextureCount(), bmpReadable ? 1 : 0);
    if (bmpReadable) {
        EXPECT_TRUE(out.model->textures[0].HasPixels());
        EXPECT_EQ(out.model->hasTextures, 1);
    }

    // box_2vc_1unused.lwo names white.bmp, which lies beside it.
    const auto box = test::SharedDir() / "corpus/models/LWO/LWO2/box_2vc_1unused.lwo";
    const auto white = test::SharedDir() / "corpus/models/LWO/LWO2/white.bmp";
    const bool whiteReadable = LoadImageFile(white.c_str(), 12) != nullptr;
    const test::LoadOutcome boxOut = test::Load(box.string());
    ASSERT_TRUE(boxOut.model);
    ASSERT_EQ(boxOut.model->TextureCount(), whiteReadable ? 1 : 0);
    if (whiteReadable) {
        EXPECT_EQ(boxOut.model->textures[0].width, 1);
        EXPECT_EQ(boxOut.model->hasTextures, 1);
    }
}

}  // namespace
}  // namespace solvane
