// The text readers that read large files on several threads: the block line reader against the
// input layer's line reader, and every reader's model on many threads against its model on one —
// on the shared corpus, on generated files whose block boundaries fall between every pair of
// lines, and on every cut of those files; cancellation while the blocks are read.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "core/reader_input.h"
#include "core/text_blocks.h"
#include "formats/obj.h"
#include "formats/off.h"
#include "formats/ply.h"
#include "load/dispatch.h"
#include "tests/reader_test_support.h"
#include "tests/test_support.h"

namespace solvane {
namespace {

using test::ModelReader;
using test::ScratchDir;

// The lines of a file through the input layer.
std::vector<std::string> InputLayerLines(const std::string& path)
{
    LoadContext ctx;
    ReaderInput in(ctx);
    EXPECT_TRUE(in.Open(path));
    std::vector<std::string> lines;
    std::string_view line;
    while (in.ReadTextLine(line) >= 0) lines.emplace_back(line);
    return lines;
}

// The lines of a file through blocks of about blockBytes, joined in order.
std::vector<std::string> BlockLinesOf(const std::string& path, int64_t blockBytes)
{
    LoadContext ctx;
    TextFile file;
    std::vector<std::string> lines;
    if (!file.Open(path.c_str())) return lines;
    const auto blocks = SplitAtLineEnds(file, 0, file.Size(), blockBytes);
    EXPECT_EQ(blocks.empty(), file.Size() == 0);
    int64_t covered = 0;
    for (const TextBlock& block : blocks) {
        EXPECT_EQ(block.begin, covered);
        covered = block.end;
        const char* bytes = file.Read(block);
        if (!bytes) {
            ADD_FAILURE() << "block at " << block.begin << " unread";
            return lines;
        }
        if (block.end < file.Size()) {
            EXPECT_EQ(bytes[block.end - block.begin - 1], '\n');
        }
        BlockLines reader(ctx, bytes, bytes + (block.end - block.begin), false);
        std::string_view line;
        while (reader.Next(line)) lines.emplace_back(line);
    }
    EXPECT_EQ(covered, file.Size());
    return lines;
}

TEST(BlockLines, SameLinesAsTheInputLayerWhereverTheBlocksEnd)
{
    ScratchDir dir;
    std::mt19937 random(11);
    const char alphabet[] = {'a', 'b', ' ', '\t', '\r', '\n', '\n', '\v', '7'};
    for (int round = 0; round < 60; ++round) {
        std::string bytes;
        const size_t length = random() % 200;
        for (size_t i = 0; i < length; ++i) bytes += alphabet[random() % sizeof alphabet];
        const std::string path = dir.Write("lines.txt", bytes);
        const auto expected = InputLayerLines(path);
        for (int64_t blockBytes : {1, 2, 3, 5, 16, 1000}) {
            EXPECT_EQ(BlockLinesOf(path, blockBytes), expected) << "round " << round << ", blocks of " << blockBytes;
        }
    }
}

TEST(BlockLines, ALineTooLongToSplitAtLeavesTheFileToOneThread)
{
    ScratchDir dir;
    std::string bytes = "v 1 2 3\n";
    bytes.append(static_cast<size_t>(kMaxBlockLine) + 10, 'x');
    bytes += "\nv 4 5 6\n";
    const std::string path = dir.Write("long.obj", bytes);
    TextFile file;
    ASSERT_TRUE(file.Open(path.c_str()));
    EXPECT_TRUE(SplitAtLineEnds(file, 0, file.Size(), 4).empty());
    // One block holding the line stops at it and says so.
    LoadContext ctx;
    const char* data = file.Read({0, file.Size()});
    ASSERT_TRUE(data);
    BlockLines lines(ctx, data, data + file.Size(), false);
    std::string_view line;
    EXPECT_TRUE(lines.Next(line));
    EXPECT_FALSE(lines.Next(line));
    EXPECT_TRUE(lines.MetLongLine());
}

TEST(ForEachBlock, RunsEveryIndexOnceAndRethrowsTheFirstFailureAfterAllThreadsEnded)
{
    std::vector<std::atomic<int>> runs(100);
    ForEachBlock(runs.size(), 4, [&](size_t i) { runs[i].fetch_add(1); });
    for (const auto& count : runs) EXPECT_EQ(count.load(), 1);

    std::atomic<int> active{0}, started{0};
    EXPECT_THROW(ForEachBlock(1000, 3,
                              [&](size_t i) {
                                  active.fetch_add(1);
                                  started.fetch_add(1);
                                  std::this_thread::sleep_for(std::chrono::microseconds(50));
                                  active.fetch_sub(1);
                                  if (i == 5) throw LoadCancelled{};
                              }),
                 LoadCancelled);
    EXPECT_EQ(active.load(), 0);  // nothing runs once it has returned
    EXPECT_LT(started.load(), 1000);
}

// Every field of two models, floats by their bits (NaN equals NaN).
::testing::AssertionResult SameModel(const Model* a, const Model* b)
{
    if (!a || !b) {
        if (a == b) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << (a ? "only the first loaded" : "only the second loaded");
    }
    auto sameFloats = [](const auto& x, const auto& y) {
        return x.size() == y.size() && (x.empty() || std::memcmp(x.data(), y.data(), x.size() * sizeof x[0]) == 0);
    };
    if (a->hasColor != b->hasColor || a->hasDiffuse != b->hasDiffuse || a->hasSpecular != b->hasSpecular ||
        a->hasTransparency != b->hasTransparency || a->hasTextures != b->hasTextures || a->formatId != b->formatId) {
        return ::testing::AssertionFailure() << "model flags differ";
    }
    if (a->materials.size() != b->materials.size() || a->textures.size() != b->textures.size() ||
        a->subMeshes.size() != b->subMeshes.size()) {
        return ::testing::AssertionFailure() << "table sizes differ";
    }
    for (size_t i = 0; i < a->materials.size(); ++i) {
        const Material &x = a->materials[i], &y = b->materials[i];
        if (x.name != y.name || !sameFloats(x.color, y.color) || !sameFloats(x.diffuse, y.diffuse) ||
            !sameFloats(x.specular, y.specular) || std::memcmp(&x.transparency, &y.transparency, 4) != 0 ||
            x.textureIndex != y.textureIndex) {
            return ::testing::AssertionFailure() << "material " << i << " differs";
        }
    }
    for (size_t i = 0; i < a->textures.size(); ++i) {
        if (a->textures[i].name != b->textures[i].name || a->textures[i].pixels != b->textures[i].pixels) {
            return ::testing::AssertionFailure() << "texture " << i << " differs";
        }
    }
    for (size_t i = 0; i < a->subMeshes.size(); ++i) {
        const SubMesh &x = a->subMeshes[i], &y = b->subMeshes[i];
        const char* field = nullptr;
        if (!sameFloats(x.vertices, y.vertices)) field = "vertices";
        else if (x.faceOffsets != y.faceOffsets) field = "face offsets";
        else if (x.faceIndices != y.faceIndices) field = "face indices";
        else if (x.faceTexCoordIndices != y.faceTexCoordIndices) field = "texture-coordinate indices";
        else if (x.faceMaterials != y.faceMaterials) field = "face materials";
        else if (x.faceContours != y.faceContours) field = "face contours";
        else if (!sameFloats(x.normals, y.normals)) field = "normals";
        else if (!sameFloats(x.texCoords, y.texCoords)) field = "texture coordinates";
        else if (!sameFloats(x.bounds, y.bounds)) field = "bounds";
        else if (!sameFloats(x.centroid, y.centroid)) field = "centre";
        else if (x.name != y.name) field = "name";
        if (field) return ::testing::AssertionFailure() << "sub-mesh " << i << ": " << field << " differ";
    }
    return ::testing::AssertionSuccess();
}

struct Loaded {
    std::unique_ptr<Model> model;
    int32_t code = 0;
};

Loaded LoadWith(const std::string& path, int threads, int64_t blockBytes)
{
    LoadContext ctx;
    ctx.parallel.threads = threads;
    ctx.parallel.minFileBytes = threads > 1 ? 0 : INT64_MAX;
    ctx.parallel.blockBytes = blockBytes;
    Loaded loaded;
    loaded.model = LoadModelFile(path, ctx);
    loaded.code = ctx.result.load();
    return loaded;
}

// The file loads to the same model and result code on one thread and on several, for each of the
// block sizes.
void ExpectSameOnEveryThreadCount(const std::string& path, const std::vector<int64_t>& blockSizes,
                                  const std::string& what)
{
    const Loaded one = LoadWith(path, 1, 1 << 20);
    for (int64_t blockBytes : blockSizes) {
        const Loaded many = LoadWith(path, 3, blockBytes);
        EXPECT_EQ(many.code, one.code) << what << ", blocks of " << blockBytes;
        EXPECT_TRUE(SameModel(one.model.get(), many.model.get())) << what << ", blocks of " << blockBytes;
    }
}

// Cuts the file at every length and checks each cut on one thread against several.
void ExpectEveryCutSame(const ScratchDir& dir, const std::string& name, const std::string& bytes,
                        const std::vector<int64_t>& blockSizes)
{
    for (size_t length = 0; length <= bytes.size(); ++length) {
        const std::string path = dir.Write(name, bytes.substr(0, length));
        ExpectSameOnEveryThreadCount(path, blockSizes, name + " cut at " + std::to_string(length));
    }
}

// An OBJ file of every statement the reader knows and some it ignores: a library named after the
// first faces, materials switched (also to names the library lacks), relative corners reaching
// back over many lines, comments, groups, blank and CR LF lines, "fo" faces, a line without its
// line feed at the end.
std::string ObjOfEveryKind()
{
    std::string obj = "# made for the block tests\r\n\r\nv 0 0 0\nv 1 0 0\nv 1 1 0\r\n  v 0 1 0\n";
    obj += "vt 0 0\nvt 1 0 7\nvt 1 1\nvt 0 1\nvn 0 0 1\nvn 0 0 1\nvn 0 0 1\nvn 0 0 1\n";
    obj += "f 1/1/1 2/2/2 3/3/3\ng side\nusemtl red\nf -4 -3 -2\n\n\n";
    obj += "mtllib ignored.mtl\nusemtl nothing\nfo 1 2 3 4\nusemtl blue\n# f 9 9 9\n";
    obj += "v 2 2 2\nv -1.5e1 3 .25\nf -1 -2 -3 -4 -5 -6\nf 1//1 2//2 x 3\nusemtl red\nUsemtl blue\n";
    obj += "F 6 5 4\nf 99 0 -99\nvt 0.5 0.5\ns off\no thing\nf 1 2 3\n\t f 2 3 4 5 6\nf\nf 3 2 1";
    return obj;
}

TEST(ParallelObj, EveryBlockSizeAndEveryCutGiveTheModelOfOneThread)
{
    ScratchDir dir;
    dir.Write("every.mtl", "newmtl red\nKd 1 0 0\nnewmtl blue\nKd 0 0 1\nTf 0.5\nnewmtl red\nKa 0.5 0 0\n");
    const std::string obj = ObjOfEveryKind();
    // Blocks of one byte end at every line feed; the larger ones end inside lines, numbers and
    // comments and move to the next line end.
    ExpectSameOnEveryThreadCount(dir.Write("every.obj", obj), {1, 2, 3, 7, 13, 29, 64, 1 << 20}, "every.obj");
    ExpectEveryCutSame(dir, "every.obj", obj, {1, 9, 40});
}

TEST(ParallelObj, TextureMapsPlaceCornersByTheirOwnCoordinateNumbersOnEveryThreadCount)
{
    ScratchDir dir;
    dir.Write("mapped.mtl", "newmtl wood\nKd 1 1 1\nmap_Kd -s 1 1 1 wood grain.bmp\nnewmtl plain\nKd 0 1 0\n");
    std::string obj = "mtllib mapped.mtl\nv 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nvt 0 0\nvt 1 0\nvt 1 1\n";
    obj += "usemtl wood\nf 1/3 2/2 3/1\nvt 0 1\nvt 0.5 0.5\nf -4/-1 -3/-2/1 -2//1 -1\nusemtl plain\n";
    obj += "f 1/+2 2/x 3/-9\nvt 0.25 0.75\nf 4/6 3/5/2 2/-6\n";
    ExpectSameOnEveryThreadCount(dir.Write("mapped.obj", obj), {1, 3, 8, 21, 1 << 20}, "mapped.obj");
    ExpectEveryCutSame(dir, "mapped.obj", obj, {5});
}

TEST(ParallelObj, FilesWithoutALibraryOrWithoutVerticesOrFaces)
{
    ScratchDir dir;
    const std::vector<std::pair<std::string, std::string>> files = {
        {"plain.obj", "v 1 2 3\nv 4 5 6\nv 7 8 9\nf 1 2 3\nusemtl red\nf 3 2 1\n"},
        {"points.obj", "v 1 2 3\nv 4 5 6\nv nan 8 -inf\nv 7 8 9\n"},
        {"faces.obj", "f 1 2 3\nf -1 -2 -3\nf 4 5 6\n"},
        {"crlf.obj", "v 1 2 3\r\nv 4 5 6\r\nv 7 8 9\r\nf 1 2 3\r\nf -3 -2 -1\r\n"},
        {"mismatched.obj", "v 1 2 3\nvn 0 0 1\nv 4 5 6\nvt 0 0\nvt 1 1\nvt 2 2\nvt 3 3\nf 1 2 2\n"},
        {"empty.obj", ""},
    };
    for (const auto& [name, bytes] : files) {
        ExpectSameOnEveryThreadCount(dir.Write(name, bytes), {1, 5, 11}, name);
    }
}

TEST(ParallelObj, CorpusFilesLoadAlikeOnEveryThreadCount)
{
    SOLVANE_SKIP_WITHOUT_SHARED();
    const auto files = test::CorpusFiles("models/OBJ", {".obj"});
    ASSERT_FALSE(files.empty());
    for (const auto& file : files) {
        ExpectSameOnEveryThreadCount(file.string(), {64, 4096}, file.filename().string());
    }
}

// A generated OBJ of about the given size: vertices, then triangles over them.
std::string LargeObj(size_t bytes)
{
    std::string obj;
    obj.reserve(bytes + 64);
    int vertices = 0;
    while (obj.size() < bytes / 3) {
        obj += "v " + std::to_string(vertices % 97) + ".125 " + std::to_string(vertices % 89) + ".5 1.0\n";
        ++vertices;
    }
    for (int f = 0; obj.size() < bytes; ++f) {
        obj += "f " + std::to_string(f % vertices + 1) + " " + std::to_string((f + 1) % vertices + 1) + " -1\n";
    }
    return obj;
}

// Starts loading the file on a thread, cancels it as the first bytes are counted (the way the
// loading box's Cancel button does) and expects the load to end without a model.
void ExpectCancelStopsTheLoad(const std::string& path)
{
    LoadContext ctx;
    ctx.parallel = {3, 0, 64 << 10};
    std::unique_ptr<Model> model;
    std::atomic<bool> ended{false};
    std::thread worker([&] {
        model = LoadModelFile(path, ctx);
        ended.store(true);
    });
    while (ctx.done.load() <= 0 && !ended.load()) std::this_thread::yield();
    FinishProgress(ctx);
    worker.join();
    EXPECT_FALSE(model) << path;
    EXPECT_EQ(ctx.total.load(), -1);
    EXPECT_EQ(ctx.done.load(), -1);
}

TEST(ParallelObj, CancellingWhileTheBlocksAreReadStopsTheLoad)
{
    ScratchDir dir;
    ExpectCancelStopsTheLoad(dir.Write("large.obj", LargeObj(24 << 20)));
}

// The done amount a reader leaves after reading the whole file (the progress total set as the
// dispatch sets it).
int64_t DoneAfterReading(ModelReader reader, const std::string& path, int threads, int64_t total)
{
    LoadContext ctx;
    ctx.parallel = {threads, threads > 1 ? 0 : INT64_MAX, 256 << 10};
    ctx.total.store(total);
    EXPECT_TRUE(reader(path.c_str(), ctx));
    return ctx.done.load();
}

TEST(ParallelObj, ProgressCountsEveryByteOfBothPassesAsOneThreadDoes)
{
    ScratchDir dir;
    const std::string bytes = LargeObj(3 << 20);
    const std::string path = dir.Write("large.obj", bytes);
    const int64_t total = 2 * static_cast<int64_t>(bytes.size());
    EXPECT_EQ(DoneAfterReading(ReadObjFile, path, 1, total), total);
    EXPECT_EQ(DoneAfterReading(ReadObjFile, path, 3, total), total);
}

// PLY bodies of each layout the block reader takes, and of those it leaves to the stream reader
// (a face list wrapped over two lines, a short vertex line).
std::string PlyHeader(const std::string& elements)
{
    return "ply\nformat ascii 1.0\ncomment made for the block tests\n" + elements + "end_header\n";
}

TEST(ParallelPly, EveryLayoutBlockSizeAndCutGiveTheModelOfOneThread)
{
    ScratchDir dir;
    const std::string vertices = "0 0 0\n1 0 0\r\n1 1 0\n\n0 1 0 \n  0.5 0.5 1e0\n";
    const std::vector<std::pair<std::string, std::string>> files = {
        {"stream.ply", PlyHeader("element vertex 5\nproperty float x\nproperty float y\nproperty float z\n"
                                 "element face 4\nproperty list uchar int vertex_indices\n") +
                           vertices + "3 0 1 2\n3 0 2 3\n4 0 1 4 3\n0\n"},
        {"wrapped.ply", PlyHeader("element vertex 5\nproperty float x\nproperty float y\nproperty float z\n"
                                  "element face 3\nproperty list uchar int vertex_indices\n") +
                            vertices + "3 0 1 2\n3 0\n2 3\n4 0 1 4 3\n"},
        {"columns.ply",
         PlyHeader("element vertex 5\nproperty uchar red\nproperty float z\nproperty float y\nproperty float x\n"
                   "element edge 2\nproperty int a\nproperty int b\n"
                   "element face 3\nproperty int flags\nproperty list uchar int vertex_index\nproperty float u\n"
                   "element tail 1\nproperty int t\n") +
             "9 0 0 0\n9 0 0 1\n9 0 1 1\n9 0 1 0 7 7\n9 1 .5 .5\n0 1\n1 2\n"
             "7 3 0 1 2 0.5\n7 3 0 2 3 0.5 9 9\n7 4 0 1 4 3 0\nnot read\n"},
        {"short.ply", PlyHeader("element vertex 3\nproperty float x\nproperty float y\nproperty float z\n"
                                "element face 1\nproperty list uchar int vertex_indices\n") +
                          "0 0 0\n1 0\n1 1 0\n3 0 1 2\n"},
        {"outside.ply", PlyHeader("element vertex 3\nproperty float x\nproperty float y\nproperty float z\n"
                                  "element face 1\nproperty list uchar int vertex_indices\n") +
                            "0 0 0\n1 0 0\n1 1 0\n3 0 1 3\n"},
        // Found by fuzzing: a corner outside the vertices fails a body read whole, but a body that
        // ends early drops the face instead.
        {"outsidecut.ply", PlyHeader("element vertex 1\nproperty float x\nproperty float y\nproperty float z\n"
                                     "element face 2\nproperty uchar flags\nproperty list uchar int vertex_indices\n") +
                               "0 0 0\n0 1 0\n0 2 7"},
        // Found by fuzzing: a vertex element whose property lines were not recognised still takes
        // its lines.
        {"noproperties.ply", PlyHeader("element vertex 3\nprope rty float x\n"
                                       "element face 2\nproperty list uchar int vertex_indices\n") +
                                 "0 0 0\n1 0 0\n1 1 0\n3 0 1 2\n3 2 1 0\n"},
        {"badvalue.ply", PlyHeader("element vertex 3\nproperty float x\nproperty float y\nproperty float z\n"
                                   "element face 1\nproperty list uchar int vertex_indices\n") +
                             "0 0 0\n1 x 0\n1 1 0\n3 0 1 2\n"},
    };
    for (const auto& [name, bytes] : files) {
        ExpectSameOnEveryThreadCount(dir.Write(name, bytes), {1, 4, 9, 30, 1 << 20}, name);
        ExpectEveryCutSame(dir, name, bytes, {7});
    }
}

TEST(ParallelOff, EveryLayoutBlockSizeAndCutGiveTheModelOfOneThread)
{
    ScratchDir dir;
    const std::vector<std::pair<std::string, std::string>> files = {
        {"plain.off", "OFF\n# a comment\n5 4 0\n0 0 0\n1 0 0 # corner\n1 1 0\r\n\n0 1 0\n.5 .5 1\n"
                      "3 0 1 2\n3 0 2 3 255 0 0\n4 0 1 4 3\n0\n# done\n"},
        {"keywordline.off", "OFF 3 1 3\n0 0 0\n1 0 0\n1 1 0\n3 0 1 2\n"},
        {"noedges.off", "OFF\n3 1\n0 0 0\n1 0 0\n1 1 0\n3 0 1 2\n"},
        {"wrapped.off", "OFF\n4 2 0\n0 0 0 1 0 0\n1 1 0\n0 1 0\n3 0 1\n2\n3 0 2 3\n"},
        {"outside.off", "OFF\n3 1 0\n0 0 0\n1 0 0\n1 1 0\n3 0 1 3\n"},
        {"badcount.off", "OFF\n3 2 0\n0 0 0\n1 0 0\n1 1 0\n3 0 1 2\n-3 0 1 2\n"},
        {"trailing.off", "OFF\n3 1 0\n0 0 0\n1 0 0\n1 1 0\n3 0 1 2\n9 9 9 garbage\nmore\n"},
    };
    for (const auto& [name, bytes] : files) {
        ExpectSameOnEveryThreadCount(dir.Write(name, bytes), {1, 4, 9, 30, 1 << 20}, name);
        ExpectEveryCutSame(dir, name, bytes, {7});
    }
}

TEST(ParallelPlyOff, CorpusFilesLoadAlikeOnEveryThreadCount)
{
    SOLVANE_SKIP_WITHOUT_SHARED();
    for (const char* folder : {"models/PLY", "models/OFF"}) {
        const auto files = test::CorpusFiles(folder, {});
        ASSERT_FALSE(files.empty()) << folder;
        for (const auto& file : files) {
            ExpectSameOnEveryThreadCount(file.string(), {64, 4096}, file.filename().string());
        }
    }
}

// A generated grid of about the given size in PLY or OFF: vertex lines, then triangle lines.
std::string LargeGrid(size_t bytes, bool ply)
{
    const int side = static_cast<int>(std::sqrt(static_cast<double>(bytes) / 60)) + 2;
    std::string body;
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) body += std::to_string(x) + ".5 " + std::to_string(y) + " -0.25\n";
    }
    int faces = 0;
    for (int y = 0; y + 1 < side; ++y) {
        for (int x = 0; x + 1 < side; ++x, faces += 2) {
            const int a = y * side + x, b = a + 1, c = a + side, d = c + 1;
            body += "3 " + std::to_string(a) + " " + std::to_string(b) + " " + std::to_string(d) + "\n3 " +
                    std::to_string(a) + " " + std::to_string(d) + " " + std::to_string(c) + "\n";
        }
    }
    const std::string counts = std::to_string(side * side) + " " + std::to_string(faces);
    if (!ply) return "OFF\n" + counts + " 0\n" + body;
    return PlyHeader("element vertex " + std::to_string(side * side) +
                     "\nproperty float x\nproperty float y\nproperty float z\nelement face " + std::to_string(faces) +
                     "\nproperty list uchar int vertex_indices\n") +
           body;
}

TEST(ParallelPlyOff, CancellingWhileTheBlocksAreReadStopsTheLoad)
{
    ScratchDir dir;
    ExpectCancelStopsTheLoad(dir.Write("large.ply", LargeGrid(24 << 20, true)));
    ExpectCancelStopsTheLoad(dir.Write("large.off", LargeGrid(24 << 20, false)));
}

TEST(ParallelPlyOff, LargeFilesLoadAlikeAndCountEveryByte)
{
    ScratchDir dir;
    for (bool ply : {true, false}) {
        const std::string bytes = LargeGrid(3 << 20, ply);
        const std::string path = dir.Write(ply ? "grid.ply" : "grid.off", bytes);
        ExpectSameOnEveryThreadCount(path, {64 << 10}, path);
        const int64_t total = static_cast<int64_t>(bytes.size());
        const ModelReader reader = ply ? ReadPlyFile : ReadOffFile;
        // Every byte counts once, whether the stream reader or the blocks read it.
        EXPECT_EQ(DoneAfterReading(reader, path, 1, total), total);
        EXPECT_EQ(DoneAfterReading(reader, path, 3, total), total);
    }
}

}  // namespace
}  // namespace solvane
