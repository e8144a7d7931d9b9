// The checks every model reader gets, through tables: each cut of a valid file fails with the
// reader's code or loads a valid model; the shared corpus loads or fails with its codes.
#include <gtest/gtest.h>

#include "core/load_result.h"
#include "core/validate.h"
#include "tests/reader_fixtures.h"

namespace solvane {
namespace {

TEST(Readers, EveryCutFailsWithTheReadersCodeOrLoadsAValidModel)
{
    for (const test::ReaderFile& file : test::ValidReaderFiles()) {
        SCOPED_TRACE(file.name);
        test::ExpectTruncationsHandled(file.name, file.bytes, file.codes, file.cuts);
    }
}

// The folders directly below ../shared/corpus/models: files that load (with at least a vertex or
// a face where that is asked) and files that fail with their code.
struct CorpusFolder {
    const char* folder;
    std::vector<std::string> extensions;
    bool recursive;
    int32_t code;  // NoError: every file loads; 0: every file fails, with any code
    enum { kAnything, kVertices, kFaces } holds = kAnything;
};

TEST(ReaderCorpus, FilesLoadOrFailWithTheirCodes)
{
    SOLVANE_SKIP_WITHOUT_SHARED();
    using namespace LoadResult;
    const CorpusFolder folders[] = {
        {"models/OBJ", {".obj"}, true, NoError},
        {"models/PLY", {".ply"}, false, NoError, CorpusFolder::kVertices},
        {"models/PLY/negative", {}, true, UnsupportedPly},
        {"models/PLY/invalid", {}, true, 0},
        {"models/OFF", {".off"}, false, NoError, CorpusFolder::kVertices},
        {"models/OFF/invalid", {".off"}, true, NotValidOff},
        {"models/NFF", {".nff"}, false, NoError, CorpusFolder::kFaces},
        {"models/NFF/negative", {".nff"}, true, NotValidNff},
        {"models/DXF/negative", {".dxf"}, true, DxfNo3dFace},
        {"models/3DS", {".3ds", ".prj"}, false, NoError, CorpusFolder::kFaces},
        {"models/3DS/invalid", {".3ds"}, true, NotValid3ds},
        {"models/COB", {".cob", ".scn"}, false, NoError},
        {"models/COB/negative", {".cob"}, true, AsciiCob},
        {"models/LWO/LWOB", {".lwo"}, true, NoError, CorpusFolder::kFaces},
        {"models/LWO/LWO2", {".lwo"}, true, NoError, CorpusFolder::kFaces},
        {"models/LWO/invalid", {}, true, NotValidLwo},
        {"models/X", {".x"}, false, NoError, CorpusFolder::kFaces},
        {"models/X/negative", {".x"}, true, NotValidX},
        {"models/X/invalid", {".x"}, true, NotValidX},
        {"models/MDL/negative", {".mdl"}, true, NotValidMdl},
        {"models/MD2/invalid", {".md2"}, true, NotValidMd2},
    };
    for (const CorpusFolder& c : folders) {
        const auto files = test::CorpusFiles(c.folder, c.extensions, c.recursive);
        ASSERT_FALSE(files.empty()) << c.folder;
        for (const auto& file : files) {
            const auto r = test::Load(file.string());
            if (c.code != NoError) {
                EXPECT_FALSE(r.model) << file;
                EXPECT_TRUE(c.code == 0 || r.code == c.code) << file << " gave " << r.code;
                continue;
            }
            ASSERT_TRUE(r.model) << file << " gave " << r.code;
            EXPECT_EQ(ValidateModel(*r.model), "") << file;
            EXPECT_TRUE(c.holds != CorpusFolder::kVertices || TotalVertices(*r.model) > 0) << file;
            EXPECT_TRUE(c.holds != CorpusFolder::kFaces || TotalFaces(*r.model) > 0) << file;
        }
    }
}

TEST(ReaderCorpus, KnownFilesHaveTheirCounts)
{
    SOLVANE_SKIP_WITHOUT_SHARED();
    const std::pair<const char*, test::Counts> files[] = {
        {"OBJ/spider.obj", {.vertices = 762, .faces = 1368, .materials = 5}},
        {"COB/spider_6_6.cob", {.vertices = 762, .faces = 1368, .corners = 3 * 1368, .materials = 4}},
        {"OBJ/box_longline.obj", {.corners = 956}},
        {"OBJ/WusonOBJ.obj", {.faces = 3732}},
        {"PLY/Wuson.ply", {.faces = 3732}},
        {"PLY/cube.ply", {.vertices = 8, .faces = 6}},
        {"OFF/Cube.off", {.vertices = 8, .faces = 6}},
        {"3DS/jeep1.3ds", {.subMeshes = 7, .vertices = 1948, .faces = 2032, .materials = 1}},
        {"3DS/mar_rifle.3ds", {.subMeshes = 1, .vertices = 421, .faces = 572, .materials = 1}},
        {"3DS/cubes_with_alpha.3DS", {.subMeshes = 5, .vertices = 130, .faces = 60, .materials = 5}},
        {"3DS/test1.3ds", {.subMeshes = 9, .vertices = 288, .faces = 108, .materials = 3}},
        // The sphere's 266 points after the dispatch's exact weld; lineTest's LINE is not a face.
        {"DXF/PinkEggFromLW.dxf", {.subMeshes = 1, .vertices = 266, .faces = 288}},
        {"DXF/lineTest.dxf", {.faces = 2, .corners = 4 + 3, .materials = 1}},
        {"LWO/LWO2/uvtest.lwo", {.materials = 16}},
        {"X/test_cube_binary.x", {.subMeshes = 1, .vertices = 24, .faces = 12, .materials = 1}},
        {"X/test.x", {.faces = 12}},
    };
    for (const auto& [file, counts] : files) {
        const auto r = test::Load((test::SharedDir() / "corpus/models" / file).string());
        ASSERT_TRUE(r.model) << file << " gave " << r.code;
        EXPECT_TRUE(test::HasCounts(*r.model, counts)) << file;
    }
}

}  // namespace
}  // namespace solvane
