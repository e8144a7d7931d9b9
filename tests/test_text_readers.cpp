// PLY, OFF, VTK and WorldToolKit NFF: tiny files per feature, hostile variants with their exact
// result codes, and files that end early. Every cut of a valid file and the shared corpus are
// checked for all readers in test_reader_table.cpp.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/load_result.h"
#include "core/validate.h"
#include "tests/reader_fixtures.h"

namespace solvane {
namespace {

using test::AllCorners;
using test::Corners;
using test::FaceList;
using test::ExpectCodes;
using test::LoadBytes;
using test::Vertex;

// ---- PLY

TEST(Ply, VerticesTakeXyzAndFacesTheirIndexLists)
{
    const auto r = LoadBytes("m.ply", test::kPlyQuads);
    ASSERT_TRUE(r.model) << r.code;
    EXPECT_EQ(r.model->formatId, 20);
    const SubMesh& mesh = r.model->subMeshes[0];
    ASSERT_EQ(mesh.VertexCount(), 4);
    EXPECT_EQ(Vertex(mesh, 2), (std::vector<float>{1, 1, 0.5f}));
    EXPECT_EQ(Vertex(mesh, 3), (std::vector<float>{0, 1, -2}));
    EXPECT_EQ(AllCorners(mesh), (FaceList{{0, 1, 2, 3}, {3, 2, 1}}));
    EXPECT_EQ(mesh.bounds, (std::array<float, 6>{0, 1, 0, 1, -2, 0.5f}));
    EXPECT_FLOAT_EQ(mesh.centroid[2], -1.5f / 4);
    EXPECT_TRUE(mesh.normals.empty());
    EXPECT_TRUE(mesh.texCoords.empty());
    EXPECT_EQ(r.model->MaterialCount(), 0);
    EXPECT_EQ(ValidateModel(*r.model), "");
}

TEST(Ply, FaceValuesAroundTheIndexListFollowTheHeader)
{
    // A scalar and a list before the indices, colours and texture coordinates after them: one face
    // per line.
    const auto r = LoadBytes("m.ply",
                             "ply\nformat ascii 1.0\n"
                             "element vertex 3\nproperty float x\nproperty float y\nproperty float z\n"
                             "element face 2\n"
                             "property uchar flags\n"
                             "property list uchar float texcoord_before\n"
                             "property list uchar uint vertex_index\n"
                             "property uchar red\nproperty uchar green\nproperty uchar blue\n"
                             "property list uchar float texcoord\n"
                             "end_header\n"
                             "0 0 0\n1 0 0\n0 1 0\n"
                             "7 2 0.5 0.5 3 0 1 2 255 255 255 6 0 0 1 0 0 1\n"
                             "7 0 3 2 1 0 1 2 3\n");
    ASSERT_TRUE(r.model) << r.code;
    const SubMesh& mesh = r.model->subMeshes[0];
    EXPECT_EQ(AllCorners(mesh), (FaceList{{0, 1, 2}, {2, 1, 0}}));
}

TEST(Ply, IndexListsWrapLinesWhenTheListIsTheOnlyFaceProperty)
{
    const auto r = LoadBytes("m.ply",
                             "ply\nformat ascii 1.0\n"
                             "element vertex 4\nproperty float x\nproperty float y\nproperty float z\n"
                             "element face 3\nproperty list uchar int vertex_indices\nend_header\n"
                             "0 0 0\n1 0 0\n1 1 0\n0 1 0\n"
                             "4 0 1\n2 3\n3 3 2 1 3\n0 1\n2\n");
    ASSERT_TRUE(r.model) << r.code;
    const SubMesh& mesh = r.model->subMeshes[0];
    EXPECT_EQ(AllCorners(mesh), (FaceList{{0, 1, 2, 3}, {3, 2, 1}, {0, 1, 2}}));
}

TEST(Ply, PositionsComeFromTheXyzProperties)
{
    const auto r = LoadBytes("m.ply",
                             "ply\nformat ascii 1.0\n"
                             "element vertex 1\n"
                             "property float nx\nproperty float z\nproperty float y\nproperty float x\n"
                             "end_header\n"
                             "9 3 2 1\n");
    ASSERT_TRUE(r.model) << r.code;
    EXPECT_EQ(Vertex(r.model->subMeshes[0], 0), (std::vector<float>{1, 2, 3}));
}

TEST(Ply, OtherElementsArePassedOverAndTrailingOnesNeverRead)
{
    const auto r = LoadBytes("m.ply",
                             "PLY\nFORMAT ASCII 1.0\n"
                             "element material 2\nproperty uchar red\nproperty uchar green\n"
                             "element vertex 3\nproperty float x\nproperty float y\nproperty float z\n"
                             "element face 1\nproperty list uchar int vertex_indices\n"
                             "element edge 5\nproperty int vertex1\nproperty int vertex2\n"
                             "END_header\n"
                             "1 2\n3 4\n"
                             "0 0 0\n\n1 0 0\n0 1 0\n"
                             "3 0 1 2\n"
                             "this is not read\n");
    ASSERT_TRUE(r.model) << r.code;
    EXPECT_EQ(r.model->subMeshes[0].VertexCount(), 3);
    EXPECT_EQ(r.model->subMeshes[0].FaceCount(), 1);
}

TEST(Ply, LineEndsMayBeCrLfAndTheLastLineNeedsNone)
{
    std::string text;
    for (const char* c = test::kPlyQuads; *c; ++c) {
        if (*c == '\n') text += '\r';
        text += *c;
    }
    text.resize(text.size() - 2);  // no line end after the last face
    const auto r = LoadBytes("m.ply", text);
    ASSERT_TRUE(r.model) << r.code;
    EXPECT_EQ(Corners(r.model->subMeshes[0], 1), (std::vector<uint32_t>{3, 2, 1}));
}

TEST(Ply, HostileFilesFailWithTheirCodes)
{
    const std::string header = "ply\nformat ascii 1.0\n";
    const std::string xyz = "property float x\nproperty float y\nproperty float z\n";
    const std::string faces = "element face 1\nproperty list uchar int vertex_indices\nend_header\n";
    const std::string triangle = header + "element vertex 3\n" + xyz + faces + "0 0 0\n1 0 0\n0 1 0\n";
    ExpectCodes("m.ply", LoadResult::NotValidPly,
                {"", "plx\nformat ascii 1.0\nend_header\n",
                 "ply\nformat ascii\nelement vertex 1\n",                       // no end_header
                 header + "element vertex 1\n" + xyz + "END_HEADER\n0 0 0\n",  // the h as written
                 header + "element vertex 2147483647\n" + xyz + faces + "0 0 0\n",
                 header + "element vertex 353535235358\n" + xyz + faces + "0 0 0\n",
                 header + "element vertex -3\n" + xyz + faces + "0 0 0\n",
                 header + "element vertex 1\n" + xyz + "element face 2147483647\n"
                          "property list uchar int vertex_indices\nend_header\n0 0 0\n3 0 0 0\n",
                 triangle + "3 0 1 3\n", triangle + "3 0 -1 2\n", triangle + "40000 0 1 2\n",
                 triangle + "3 0 1 x\n",
                 header + "element vertex 1\n" + xyz + "element vertex 1\n" + xyz + faces + "0 0 0\n",
                 header + "element vertex 1\n" + xyz + faces + "x 0 0\n3 0 0 0\n",
                 // An OFF file named .ply goes to the PLY reader.
                 "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n"});
    ExpectCodes("m.ply", LoadResult::UnsupportedPly, {"ply\nformat binary_little_endian 1.0\nend_header\n"});
}

// ---- OFF

TEST(Off, TetrahedronWithCountsOnTheNextLine)
{
    const auto r = LoadBytes("m.off", test::kOffTetrahedron);
    ASSERT_TRUE(r.model) << r.code;
    EXPECT_EQ(r.model->formatId, 8);
    const SubMesh& mesh = r.model->subMeshes[0];
    ASSERT_EQ(mesh.VertexCount(), 4);
    ASSERT_EQ(mesh.FaceCount(), 4);
    EXPECT_EQ(Corners(mesh, 3), (std::vector<uint32_t>{1, 2, 3}));
    EXPECT_EQ(mesh.bounds, (std::array<float, 6>{0, 1, 0, 1, 0, 1}));
    EXPECT_FLOAT_EQ(mesh.centroid[0], 0.25f);
    EXPECT_EQ(ValidateModel(*r.model), "");
}

TEST(Off, CountsOnTheKeywordLineCommentsAndFaceColours)
{
    const auto r = LoadBytes("m.off",
                             "# made by hand\n"
                             "OFF 4 2 0\n"
                             "# the vertices\n"
                             "0 0 0\n1 0 0 # a trailing comment\n1 1 0\n0 1 0\n"
                             "4 0 1 2 3 0.5 0.5 0.5 1\n"
                             "3 0 1 2 255 0 0\n");
    ASSERT_TRUE(r.model) << r.code;
    const SubMesh& mesh = r.model->subMeshes[0];
    EXPECT_EQ(mesh.VertexCount(), 4);
    EXPECT_EQ(AllCorners(mesh), (FaceList{{0, 1, 2, 3}, {0, 1, 2}}));
}

TEST(Off, TheEdgeCountMayStandAloneOrBeLeftOut)
{
    // The counts are part of the value stream: an edge count alone on its line is the edge count,
    // not the first vertex's x; a vertex line after the face count means it was left out.
    for (const char* counts : {" 4 1\n 6\n", "4\n1\n# edges\n6\n", "4 1\n"}) {
        const std::string text = std::string("OFF\n") + counts + "1 2 3\n4 5 6\n7 8 9\n10 11 12\n3 0 1 3";
        const auto r = LoadBytes("m.off", text);
        ASSERT_TRUE(r.model) << text;
        const SubMesh& mesh = r.model->subMeshes[0];
        EXPECT_EQ(Vertex(mesh, 0), (std::vector<float>{1, 2, 3})) << text;
        EXPECT_EQ(Vertex(mesh, 3), (std::vector<float>{10, 11, 12})) << text;
        ASSERT_EQ(mesh.FaceCount(), 1) << text;
        EXPECT_EQ(Corners(mesh, 0), (std::vector<uint32_t>{0, 1, 3})) << text;
    }
}

TEST(Off, HostileFilesFailWith800)
{
    const std::string triangle = "3 1 0\n0 0 0\n1 0 0\n0 1 0\n";
    ExpectCodes("m.off", LoadResult::NotValidOff,
                {"", "Off\n" + triangle + "3 0 1 2\n", "COFF\n" + triangle + "3 0 1 2\n",
                 "NOFF\n" + triangle + "3 0 1 2\n", "OFF\n353535235358 6 0\n0 0 0\n",
                 "OFF\n2147483647 1 0\n0 0 0\n", "OFF\n3 2147483647 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n",
                 "OFF\n-1 0 0\n", "OFF\n3 -1 0\n0 0 0\n1 0 0\n0 1 0\n", "OFF\n" + triangle + "3 0 1 3\n",
                 "OFF\n" + triangle + "3 0 -1 2\n", "OFF\n" + triangle + "40000 0 1 2\n",
                 "OFF\n" + triangle + "3 0 1 x\n", "OFF\n3 1 0\n0 0 0\n1 x 0\n0 1 0\n3 0 1 2\n",
                 "OFF\nthree 1 0\n", "OFF\n3"});
}

// ---- VTK

TEST(Vtk, CubeOfEightPointsAndSixQuads)
{
    const auto r = LoadBytes("m.vtk", test::kVtkCube);
    ASSERT_TRUE(r.model) << r.code;
    EXPECT_EQ(r.model->formatId, 9);
    const SubMesh& mesh = r.model->subMeshes[0];
    ASSERT_EQ(mesh.VertexCount(), 8);
    ASSERT_EQ(mesh.FaceCount(), 6);
    EXPECT_EQ(Vertex(mesh, 6), (std::vector<float>{1, 1, 1}));
    EXPECT_EQ(Corners(mesh, 5), (std::vector<uint32_t>{1, 2, 6, 5}));
    EXPECT_EQ(mesh.centroid, (std::array<float, 3>{0.5f, 0.5f, 0.5f}));
    EXPECT_EQ(ValidateModel(*r.model), "");
}

TEST(Vtk, OtherSectionsArePassedOverAndPointsNeedNoPolygons)
{
    const auto r = LoadBytes("m.vtk",
                             "# vtk DataFile Version 2.0\nlines only\nASCII\nDATASET POLYDATA\n"
                             "POINTS 3 double\n0 0 0\n1 0 0\n0 1 0\n"
                             "LINES 1 3\n2 0 1\nVERTICES 1 2\n1 2\n");
    ASSERT_TRUE(r.model) << r.code;
    EXPECT_EQ(r.model->subMeshes[0].VertexCount(), 3);
    EXPECT_EQ(r.model->subMeshes[0].FaceCount(), 0);
}

TEST(Vtk, AsciiInTheTitleDecidesTheForm)
{
    // The title's ASCII is taken as the form token; the real form line is then the DATASET
    // token's place, so the dataset check sees "DATASET" and fails.
    ExpectCodes("m.vtk", LoadResult::NotValidVtk,
                {"# vtk DataFile Version 3.0\ntitle ASCII\nASCII\nDATASET POLYDATA\nPOINTS 0 float\n"});
    const auto r = LoadBytes("m.vtk", "# vtk DataFile Version 3.0\nsaved as ASCII DATASET POLYDATA\n"
                                      "POINTS 1 float\n1 2 3\n");
    ASSERT_TRUE(r.model) << r.code;
    EXPECT_EQ(r.model->subMeshes[0].VertexCount(), 1);
}

TEST(Vtk, HostileFilesFailWith1600)
{
    const std::string head = "# vtk DataFile Version 3.0\nt\nASCII\nDATASET POLYDATA\n";
    const std::string point = head + "POINTS 1 float\n0 0 0\n";
    ExpectCodes("m.vtk", LoadResult::NotValidVtk,
                {"", "# VTK DataFile Version 3.0\nt\nASCII\nDATASET POLYDATA\n",
                 "# vtk DataFile Version 3.0\nt\nBINARY\nDATASET POLYDATA\n",
                 "# vtk DataFile Version 3.0\nt\nDATASET POLYDATA\n",
                 "# vtk DataFile Version 3.0\nt\nASCII\nDATASET UNSTRUCTURED_GRID\nPOINTS 1 float\n0 0 0\n",
                 head + "POINTS 2147483647 float\n0 0 0\n", head + "POINTS -2 float\n0 0 0\n",
                 point + "POLYGONS 2147483647 4\n3 0 0 0\n", point + "POLYGONS 1 4\n3 0 0 1\n",
                 point + "POLYGONS 1 4\n3 0 0 -1\n", point + "POLYGONS 1 4\n99999 0 0 0\n",
                 head + "POINTS 1 float\n0 zero 0\n", head + "POINTS many float\n"});
}

// ---- NFF

TEST(Nff, CubeWithHeaderAndPolygonColours)
{
    const auto r = LoadBytes("m.nff", test::kNffCube);
    ASSERT_TRUE(r.model) << r.code;
    EXPECT_EQ(r.model->formatId, 16);
    ASSERT_EQ(r.model->SubMeshCount(), 1);
    const SubMesh& mesh = r.model->subMeshes[0];
    ASSERT_EQ(mesh.VertexCount(), 8);
    ASSERT_EQ(mesh.FaceCount(), 6);
    EXPECT_EQ(Corners(mesh, 1), (std::vector<uint32_t>{4, 5, 6, 7}));
    EXPECT_EQ(Corners(mesh, 2), (std::vector<uint32_t>{0, 1, 5, 4}));
    EXPECT_EQ(mesh.bounds, (std::array<float, 6>{-1, 1, -1, 1, -1, 1}));
    EXPECT_EQ(r.model->MaterialCount(), 0);
    EXPECT_TRUE(mesh.normals.empty());
    EXPECT_EQ(ValidateModel(*r.model), "");
}

TEST(Nff, VertexNormalsAndAttributesAreDropped)
{
    const auto plain = LoadBytes("m.nff", "nff\nversion 2.0\nTri\n3\n0 0 0\n1 0 0\n0 1 0\n1\n3 0 1 2 0xfff\n");
    const auto withNormals = LoadBytes("m.nff",
                                       "NFF // comment\nversion 2.0\nTri\n3\n"
                                       "0 0 0 norm 0 0 1\n1 0 0 norm 0 0 1 0xff00ff uv 1 0\n"
                                       "0 1 0 norm 0 0 1 // last\n"
                                       "1 // one polygon\n3 0 1 2 0xfff both _V_tex.tga // comment\n");
    ASSERT_TRUE(plain.model) << plain.code;
    ASSERT_TRUE(withNormals.model) << withNormals.code;
    EXPECT_EQ(plain.model->subMeshes[0].vertices, withNormals.model->subMeshes[0].vertices);
    EXPECT_EQ(plain.model->subMeshes[0].faceIndices, withNormals.model->subMeshes[0].faceIndices);
    EXPECT_TRUE(withNormals.model->subMeshes[0].normals.empty());
}

TEST(Nff, NamedObjectsWithoutViewdirAndAttributeWords)
{
    const auto r = LoadBytes("m.nff",
                             "s8\n"
                             "First\nmtable first.mat\n3\n0 0 0\n1 0 0\n0 1 0\n1\n3 0 1 2 matid 0\n"
                             "Second object\nflat 4\n0 0 1\n1 0 1\n1 1 1\n0 1 1\n2\n"
                             "3 0 1 2 0xf00 both\n3 0 2 3 0x0f0\n"
                             "5\n0 0 0\n0 0 0\n0 0 0\n0 0 0\n0 0 0\n0\n");
    ASSERT_TRUE(r.model) << r.code;
    ASSERT_EQ(r.model->SubMeshCount(), 3);
    EXPECT_EQ(r.model->subMeshes[0].VertexCount(), 3);
    EXPECT_EQ(r.model->subMeshes[1].VertexCount(), 4);
    EXPECT_EQ(r.model->subMeshes[1].FaceCount(), 2);
    EXPECT_EQ(Corners(r.model->subMeshes[1], 1), (std::vector<uint32_t>{0, 2, 3}));
    EXPECT_EQ(r.model->subMeshes[2].VertexCount(), 5);
    EXPECT_EQ(r.model->subMeshes[0].name, "Mesh1");
    EXPECT_EQ(r.model->subMeshes[1].name, "Mesh2");
    EXPECT_EQ(ValidateModel(*r.model), "");
}

TEST(Nff, HostileFilesFailWith600)
{
    const std::string triangle = "nff\nCube\n3\n0 0 0\n1 0 0\n0 1 0\n";
    ExpectCodes("m.nff", LoadResult::NotValidNff,
                {"", "v\nfrom 0 0 0\n", "nfff\nCube\n0\n0\n", "nff\nversion two\n", "nff\nCube\n2147483647\n0 0 0\n",
                 "nff\nCube\n-1\n0\n", triangle + "2147483647\n3 0 1 2\n", triangle + "1\n3 0 1 3\n",
                 triangle + "1\n3 0 -1 2\n", triangle + "1\n40000 0 1 2\n", triangle + "1\n3 0 1 x\n",
                 "nff\nCube\n3\n0 0 0\n1 0 x\n"});
}

// ---- Bodies that end early keep what they hold whole

// The file cut right after the n-th occurrence of marker (n from 1), or at its end.
std::string CutAfter(const std::string& text, const std::string& marker, int n = 1)
{
    size_t at = 0;
    for (int i = 0; i < n; ++i) at = text.find(marker, at) + marker.size();
    return text.substr(0, at);
}

TEST(TruncatedBody, KeepsTheVerticesAndFacesReadWhole)
{
    const std::string ply = test::kPlyQuads, off = test::kOffTetrahedron, vtk = test::kVtkCube,
                      nff = test::kNffCube;
    const std::string plyFacesFirst =
        "ply\nformat ascii 1.0\nelement face 2\nproperty list uchar int vertex_indices\n"
        "element vertex 4\nproperty float x\nproperty float y\nproperty float z\nend_header\n"
        "3 0 1 2\n3 0 2 3\n0 0 0\n1 0 0\n1 1 0\n0 1 0\n";
    const std::string vtkPolygonsFirst = "# vtk DataFile Version 3.0\nt\nASCII\nDATASET POLYDATA\n"
                                         "POLYGONS 2 8\n3 0 1 2\n3 0 2 3\nPOINTS 4 float\n0 0 0 1 0 0 1 1 0 0 1 0\n";
    const std::string twoObjects = nff + "Top\n3\n0 0 2\n1 0 2\n0 1 2\n1\n3 0 1 2\n";
    const struct {
        std::string name, text;
        int32_t subMeshes;
        int64_t vertices, faces;
    } cases[] = {
        {"m.ply", CutAfter(ply, "0 255 0\n"), 1, 2, 0},           // in the vertices
        {"m.ply", CutAfter(ply, "\n1 1"), 1, 2, 0},               // inside a vertex line
        {"m.ply", CutAfter(ply, "4 0 1 2 3\n3 3"), 1, 4, 1},      // inside a face
        {"m.ply", CutAfter(plyFacesFirst, "1 0 0\n1 1"), 1, 2, 0},  // faces name vertices never read
        {"m.ply", CutAfter(plyFacesFirst, "1 1 0\n"), 1, 3, 1},
        {"m.off", CutAfter(off, "0 1 0\n0 0"), 1, 3, 0},
        {"m.off", CutAfter(off, "3 0 1 3\n3 0 3"), 1, 4, 2},
        {"m.off", CutAfter(off, "3 1 2 3"), 1, 4, 4},
        {"m.vtk", CutAfter(vtk, "POINTS 8"), 1, 0, 0},
        {"m.vtk", CutAfter(vtk, "0 0 1 1 0 1 1"), 1, 6, 0},
        {"m.vtk", CutAfter(vtk, "4 4 5 6 7\n4 0 1 5"), 1, 8, 2},
        {"m.vtk", CutAfter(vtkPolygonsFirst, "1 1 0 0"), 1, 3, 1},
        {"m.nff", CutAfter(nff, "1 -1 -1\n1 1"), 1, 2, 0},
        {"m.nff", CutAfter(nff, "1 1 -1\n-"), 1, 3, 0},  // inside a number
        {"m.nff", CutAfter(nff, "0x00f0\n4 2 3 7"), 1, 8, 3},
        {"m.nff", CutAfter(twoObjects, "Top\n"), 1, 8, 6},  // a name without its object
        {"m.nff", CutAfter(twoObjects, "1 0 2\n"), 2, 10, 6},
    };
    for (const auto& c : cases) {
        const auto r = LoadBytes(c.name, c.text);
        ASSERT_TRUE(r.model) << c.text << "\ngave " << r.code;
        EXPECT_EQ(r.code, LoadResult::NoError);
        EXPECT_TRUE(test::HasCounts(*r.model, {.subMeshes = c.subMeshes, .vertices = c.vertices, .faces = c.faces}))
            << c.text;
    }
}

TEST(TruncatedBody, PlyAnnouncingMoreFacesThanItHoldsLoadsThoseItHolds)
{
    std::string text = "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\n"
                       "property float z\nelement face 912\nproperty list uchar int vertex_indices\n"
                       "property uchar red\nend_header\n0 0 0\n1 0 0\n0 1 0\n";
    for (int f = 0; f < 259; ++f) text += "3 0 1 2 255\n";
    const auto r = LoadBytes("m.ply", text);
    ASSERT_TRUE(r.model) << r.code;
    EXPECT_EQ(r.code, LoadResult::NoError);
    EXPECT_TRUE(test::HasCounts(*r.model, {.vertices = 3, .faces = 259}));
}

}  // namespace
}  // namespace solvane
