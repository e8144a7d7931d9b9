// The DXF reader: 3DFACE entities, the colour palette and the weld the dispatch applies.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "core/load_context.h"
#include "core/validate.h"
#include "formats/dxf.h"
#include "tests/reader_fixtures.h"

namespace solvane {
namespace {

using test::Corners;
using test::Load;
using test::ScratchDir;
using namespace test::dxf;

// Through the reader alone (no weld).
std::unique_ptr<Model> Read(const std::string& text, int32_t* code = nullptr)
{
    return test::ReadValid(ReadDxfFile, "d.dxf", text, code);
}

// ---- Palette ---------------------------------------------------------------------------------

// The hue rule, written from its description: groups of ten numbers per 15 degrees of hue, five
// brightness steps, odd numbers half-way to white. The hue is the HSV colour of full saturation.
std::array<float, 3> ExpectedHueRule(int n)
{
    const double h = 15.0 * ((n - 10) / 10) / 60.0;
    auto clamp = [](double v) { return std::min(1.0, std::max(0.0, v)); };
    const double hue[3] = {clamp(std::fabs(h - 3) - 1), clamp(2 - std::fabs(h - 2)), clamp(2 - std::fabs(h - 4))};
    const int k = (n - 10) % 10;
    const double value[5] = {1.0, 0.65, 0.5, 0.3, 0.15};
    std::array<float, 3> rgb{};
    for (int i = 0; i < 3; ++i) {
        const double base = k % 2 == 0 ? hue[i] : 0.5 + 0.5 * hue[i];
        rgb[i] = static_cast<float>(value[k / 2] * base);
    }
    return rgb;
}

std::array<float, 3> ExpectedPalette(int n)
{
    const std::array<float, 3> fixed[7] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 1, 1}, {0, 0, 1}, {1, 0, 1}};
    if (n <= 6) return fixed[n];
    if (n <= 9 || n == 255) return {0, 0, 0};
    if (n <= 233) return ExpectedHueRule(n);
    if (n <= 248) return ExpectedHueRule(n + 1);
    const float grey[6] = {0.33f, 0.464f, 0.598f, 0.732f, 0.866f, 1.0f};
    return {grey[n - 249], grey[n - 249], grey[n - 249]};
}

TEST(DxfPalette, EveryEntryFollowsTheTable)
{
    for (int n = 0; n < 256; ++n) {
        const auto expected = ExpectedPalette(n);
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(DxfPalette[n][i], expected[i], 1e-6) << n << " channel " << i;
    }
}

TEST(DxfPalette, WorkedExamples)
{
    const std::pair<int, std::array<float, 3>> cases[] = {
        {11, {1, 0.5f, 0.5f}},  {12, {0.65f, 0, 0}},     {13, {0.65f, 0.325f, 0.325f}},
        {20, {1, 0.25f, 0}},    {60, {0.75f, 1, 0}},     {10, {1, 0, 0}},
        {130, {0, 1, 1}},       {250, {0.464f, 0.464f, 0.464f}},
        // 234 takes the rule's 235 (330 degrees, k = 5), 248 the rule's 249 (345 degrees, k = 9).
        {234, {0.5f, 0.25f, 0.375f}}, {248, {0.15f, 0.075f, 0.15f * (0.5f + 0.5f * 0.25f)}},
    };
    for (const auto& [n, rgb] : cases) {
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(DxfPalette[n][i], rgb[i], 1e-6) << n;
    }
}

// ---- Faces -----------------------------------------------------------------------------------

TEST(Dxf, FourthCornerEqualToTheThirdMakesATriangle)
{
    auto model = Read(Drawing(Face(kTriangle) + Face(kSquare)));
    ASSERT_TRUE(model);
    const SubMesh& mesh = model->subMeshes[0];
    ASSERT_EQ(mesh.FaceCount(), 2);
    EXPECT_EQ(Corners(mesh, 0), (std::vector<uint32_t>{0, 1, 2}));
    // The next face starts at the triangle's fourth slot.
    EXPECT_EQ(Corners(mesh, 1), (std::vector<uint32_t>{3, 4, 5, 6}));
    EXPECT_EQ(mesh.VertexCount(), 7);
    EXPECT_EQ(mesh.bounds, (std::array<float, 6>{0, 1, 0, 1, 0, 0}));
    EXPECT_FLOAT_EQ(mesh.centroid[0], 4.0f / 7.0f);
    EXPECT_TRUE(mesh.texCoords.empty());
    EXPECT_TRUE(mesh.normals.empty());
    EXPECT_EQ(mesh.name, kDxfMeshName);
}

TEST(Dxf, FourthCornerEqualToTheFirstStaysAQuad)
{
    auto model = Read(Drawing(Face({{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 0, 0}}})));
    ASSERT_TRUE(model);
    EXPECT_EQ(model->subMeshes[0].FaceCorners(0), 4);
}

TEST(Dxf, CornersGoWhereTheirCodesSay)
{
    // Written fourth corner first, with the flags code before the corners.
    const std::string face = "0\n3DFACE\n8\n0\n70\n0\n13\n0\n23\n1\n33\n0\n12\n1\n22\n1\n32\n0\n"
                             "11\n1\n21\n0\n31\n0\n10\n0\n20\n0\n30\n0\n";
    auto model = Read(Drawing(face + face));
    ASSERT_TRUE(model);
    const SubMesh& mesh = model->subMeshes[0];
    ASSERT_EQ(mesh.FaceCount(), 2);
    EXPECT_EQ(std::vector<float>(mesh.vertices.begin(), mesh.vertices.begin() + 12),
              (std::vector<float>{0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}));
}

TEST(Dxf, MissingFourthCornerRepeatsTheThird)
{
    auto model = Read(Drawing("0\n3DFACE\n10\n0\n20\n0\n30\n0\n11\n1\n21\n0\n31\n0\n12\n1\n22\n1\n32\n0\n"));
    ASSERT_TRUE(model);
    EXPECT_EQ(model->subMeshes[0].FaceCorners(0), 3);
}

TEST(Dxf, ValuesThatAreNotNumbersReadAsZero)
{
    auto model = Read(Drawing("0\n3DFACE\n10\nabc\n20\n2\n30\n3\n11\n1\n21\n1\n31\n1\n12\nx\n22\n1\n32\n1\n"));
    ASSERT_TRUE(model);
    EXPECT_EQ(model->subMeshes[0].vertices[0], 0.0f);
    EXPECT_EQ(model->subMeshes[0].vertices[1], 2.0f);
    EXPECT_EQ(model->subMeshes[0].FaceCount(), 1);
}

TEST(Dxf, TextValuesWithBlanksInsideAFace)
{
    // Layer, comment and extended-data texts holding blanks, even the word 3DFACE, and an empty
    // text value: each is passed over as its line.
    const std::string face = "0\n3DFACE\n8\nMy Layer 3DFACE name\n999\n a comment 10 20\n1000\n\n"
                             "6\nDASHED  DOT\n62\n3\n" +
                             Face(kSquare).substr(std::string("0\n3DFACE\n8\n0\n").size());
    auto model = Read(Drawing(face));
    ASSERT_TRUE(model);
    const SubMesh& mesh = model->subMeshes[0];
    ASSERT_EQ(mesh.FaceCount(), 1);
    EXPECT_EQ(mesh.FaceCorners(0), 4);
    EXPECT_EQ(mesh.vertices, (std::vector<float>{0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}));
    ASSERT_EQ(model->MaterialCount(), 1);
    EXPECT_EQ(model->materials[0].name, "DXF Palette 3");
}

TEST(Dxf, ColourNumbersBecomeMaterialsInOrderOfFirstUse)
{
    auto model = Read(Drawing(Face(kSquare, 1) + Face(kSquare, 5) + Face(kSquare, 1) + Face(kSquare)));
    ASSERT_TRUE(model);
    ASSERT_EQ(model->MaterialCount(), 2);
    EXPECT_EQ(model->materials[0].name, "DXF Palette 1");
    EXPECT_EQ(model->materials[0].color, (std::array<float, 3>{1, 0, 0}));
    EXPECT_EQ(model->materials[0].diffuse, (std::array<float, 3>{1, 0, 0}));
    EXPECT_EQ(model->materials[0].specular, (std::array<float, 3>{1, 0, 0}));
    EXPECT_EQ(model->materials[1].name, "DXF Palette 5");
    EXPECT_EQ(model->materials[1].color, (std::array<float, 3>{0, 0, 1}));
    EXPECT_EQ(model->materials[1].textureIndex, -1);
    EXPECT_EQ(model->materials[1].transparency, 0.0f);
    EXPECT_EQ(model->subMeshes[0].faceMaterials, (std::vector<int32_t>{0, 1, 0, -1}));
    EXPECT_EQ(model->hasColor, 1);
    EXPECT_EQ(model->hasDiffuse, 1);
    EXPECT_EQ(model->hasSpecular, 1);
    EXPECT_EQ(model->hasTransparency, 0);
}

TEST(Dxf, NoColoursGiveNoMaterials)
{
    auto model = Read(Drawing(Face(kSquare)));
    ASSERT_TRUE(model);
    EXPECT_EQ(model->MaterialCount(), 0);
    EXPECT_EQ(model->hasColor, 0);
    EXPECT_EQ(model->subMeshes[0].FaceMaterial(0), -1);
}

TEST(Dxf, ColoursBeyondTheFirst255DistinctOnesGetNoMaterial)
{
    std::string faces;
    for (int color = 1; color <= 300; ++color) faces += Face(kTriangle, color);
    auto model = Read(Drawing(faces));
    ASSERT_TRUE(model);
    EXPECT_EQ(model->MaterialCount(), 255);
    EXPECT_EQ(model->subMeshes[0].FaceMaterial(254), 254);
    EXPECT_EQ(model->subMeshes[0].FaceMaterial(255), -1);
    EXPECT_EQ(model->materials[254].name, "DXF Palette 255");
}

TEST(Dxf, OutOfPaletteColourNumbers)
{
    auto model = Read(Drawing(Face(kSquare, 256) + "0\n3DFACE\n62\n-5\n" +
                              Face(kSquare).substr(std::string("0\n3DFACE\n8\n0\n").size())));
    ASSERT_TRUE(model);
    ASSERT_EQ(model->MaterialCount(), 2);
    EXPECT_EQ(model->materials[0].name, "DXF Palette 256");
    EXPECT_EQ(model->materials[0].color, (std::array<float, 3>{0, 0, 0}));
    EXPECT_EQ(model->materials[1].name, "DXF Palette -5");
    EXPECT_EQ(model->materials[1].color, (std::array<float, 3>{0, 0, 1}));
}

TEST(Dxf, TokenThreeDFaceAnywhereStartsAFace)
{
    // A block named 3DFACE, with a base point, is read as a face; a layer named 3DFACE gives no
    // corner and no face.
    const std::string text = "0\nSECTION\n2\nTABLES\n0\nTABLE\n2\nLAYER\n0\nLAYER\n2\n3DFACE\n70\n0\n62\n7\n"
                             "0\nENDTAB\n0\nENDSEC\n0\nSECTION\n2\nBLOCKS\n0\nBLOCK\n2\n3DFACE\n10\n5\n20\n6\n30\n7\n"
                             "0\nENDBLK\n0\nENDSEC\n0\nEOF\n";
    auto model = Read(text);
    ASSERT_TRUE(model);
    EXPECT_EQ(model->subMeshes[0].FaceCount(), 1);
    EXPECT_EQ(model->MaterialCount(), 0);
    EXPECT_EQ(model->subMeshes[0].vertices[0], 5.0f);
}

TEST(Dxf, FilesWithoutFacesFailWith300)
{
    const std::pair<const char*, std::string> cases[] = {
        {"empty", ""},
        {"only EOF", "EOF\n"},
        {"EOF before the faces", "0\nEOF\n" + Drawing(Face(kSquare))},
        {"lines only", Drawing("0\nLINE\n8\n0\n10\n0\n20\n0\n30\n0\n11\n1\n21\n1\n31\n1\n")},
        {"polyline", Drawing("0\nPOLYLINE\n66\n1\n0\nVERTEX\n10\n1\n20\n2\n30\n3\n0\nSEQEND\n")},
        {"face without corners", Drawing("0\n3DFACE\n8\n0\n62\n1\n")},
        {"binary junk", std::string("\0\x01\x02\xFF\n\n\r\n", 8)},
    };
    for (const auto& [what, text] : cases) {
        int32_t code = 0;
        EXPECT_FALSE(Read(text, &code)) << what;
        EXPECT_EQ(code, 300) << what;
    }
}

TEST(Dxf, CarriageReturnLineEndsAndIndentedCodes)
{
    std::string text = Drawing(Face(kSquare, 2));
    std::string crlf;
    for (char c : text) crlf += c == '\n' ? std::string("\r\n  ") : std::string(1, c);
    auto model = Read(crlf);
    ASSERT_TRUE(model);
    EXPECT_EQ(model->subMeshes[0].FaceCorners(0), 4);
    EXPECT_EQ(model->MaterialCount(), 1);
}

// ---- Through the dispatch: the weld ------------------------------------------------------------

TEST(Dxf, DispatchWeldsFacesSharingAnEdge)
{
    ScratchDir dir;
    const std::array<Corner, 4> next = {{{1, 0, 0}, {2, 0, 0}, {2, 1, 0}, {1, 1, 0}}};
    const std::string path = dir.Write("two.dxf", Drawing(Face(kSquare, 1) + Face(next, 1)));
    {
        LoadContext ctx;
        auto unwelded = ReadDxfFile(path.c_str(), ctx);
        ASSERT_TRUE(unwelded);
        EXPECT_EQ(unwelded->subMeshes[0].VertexCount(), 8);
    }
    auto outcome = Load(path);
    ASSERT_TRUE(outcome.model) << outcome.code;
    const SubMesh& mesh = outcome.model->subMeshes[0];
    EXPECT_EQ(mesh.VertexCount(), 6);
    EXPECT_EQ(Corners(mesh, 1), (std::vector<uint32_t>{1, 4, 5, 2}));
    EXPECT_EQ(mesh.bounds, (std::array<float, 6>{0, 2, 0, 1, 0, 0}));
    EXPECT_FLOAT_EQ(mesh.centroid[0], 1.0f);
    EXPECT_EQ(mesh.name, kDxfMeshName);
    EXPECT_EQ(outcome.model->formatId, 2);
    EXPECT_EQ(ValidateModel(*outcome.model), "");
}

}  // namespace
}  // namespace solvane
