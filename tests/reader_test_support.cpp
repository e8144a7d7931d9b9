#include "tests/reader_test_support.h"

#include <algorithm>
#include <bit>
#include <chrono>

#include "core/validate.h"

namespace solvane::test {

Bytes& Bytes::U8(uint32_t v)
{
    data.push_back(static_cast<char>(v & 0xFF));
    return *this;
}
Bytes& Bytes::Le16(uint32_t v) { return U8(v).U8(v >> 8); }
Bytes& Bytes::Le32(uint32_t v) { return Le16(v & 0xFFFF).Le16(v >> 16); }
Bytes& Bytes::LeFloat(float v) { return Le32(std::bit_cast<uint32_t>(v)); }
Bytes& Bytes::LeDouble(double v)
{
    const uint64_t bits = std::bit_cast<uint64_t>(v);
    return Le32(static_cast<uint32_t>(bits)).Le32(static_cast<uint32_t>(bits >> 32));
}
Bytes& Bytes::Be16(uint32_t v) { return U8(v >> 8).U8(v); }
Bytes& Bytes::Be32(uint32_t v) { return Be16(v >> 16).Be16(v & 0xFFFF); }
Bytes& Bytes::BeFloat(float v) { return Be32(std::bit_cast<uint32_t>(v)); }
Bytes& Bytes::Text(std::string_view text)
{
    data += text;
    return *this;
}
Bytes& Bytes::Field(std::string_view text, size_t width)
{
    std::string field(text.substr(0, width));
    field.resize(width, '\0');
    return Text(field);
}
Bytes& Bytes::Zeros(size_t count)
{
    data.append(count, '\0');
    return *this;
}
Bytes& Bytes::Raw(std::initializer_list<uint8_t> bytes)
{
    for (uint8_t b : bytes) U8(b);
    return *this;
}

LoadOutcome LoadBytes(const std::string& name, const std::string& bytes)
{
    ScratchDir dir;
    return Load(dir.Write(name, bytes));
}

LoadOutcome ReadBytes(ModelReader reader, const std::string& name, const std::string& bytes)
{
    ScratchDir dir;
    LoadContext ctx;
    LoadOutcome outcome;
    outcome.model = reader(dir.Write(name, bytes).c_str(), ctx);
    outcome.code = ctx.result.load();
    return outcome;
}

std::unique_ptr<Model> ReadValid(ModelReader reader, const std::string& name, const std::string& bytes,
                                 int32_t* code)
{
    LoadOutcome r = ReadBytes(reader, name, bytes);
    if (code) *code = r.code;
    if (r.model) {
        EXPECT_EQ(ValidateModel(*r.model), "") << name;
    }
    return std::move(r.model);
}

std::vector<uint32_t> Corners(const SubMesh& mesh, int32_t face)
{
    return {mesh.FaceIndices(face), mesh.FaceIndices(face) + mesh.FaceCorners(face)};
}

FaceList AllCorners(const SubMesh& mesh)
{
    FaceList faces;
    for (int32_t f = 0; f < mesh.FaceCount(); ++f) faces.push_back(Corners(mesh, f));
    return faces;
}

std::vector<uint32_t> TexCorners(const SubMesh& mesh, int32_t face)
{
    return {mesh.FaceTexCoordIndices(face), mesh.FaceTexCoordIndices(face) + mesh.FaceCorners(face)};
}

std::vector<float> Vertex(const SubMesh& mesh, int32_t index)
{
    const auto* v = &mesh.vertices[static_cast<size_t>(index) * 3];
    return {v[0], v[1], v[2]};
}

void ExpectCodes(const std::string& name, int32_t code, const std::vector<std::string>& files)
{
    ScratchDir dir;
    const auto start = std::chrono::steady_clock::now();
    for (size_t i = 0; i < files.size(); ++i) {
        const LoadOutcome r = Load(dir.Write(name, files[i]));
        EXPECT_FALSE(r.model) << name << " case " << i;
        EXPECT_EQ(r.code, code) << name << " case " << i;
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << name;
}

::testing::AssertionResult HasCounts(const Model& model, const Counts& expected)
{
    const std::string problem = ValidateModel(model);
    if (!problem.empty()) return ::testing::AssertionFailure() << problem;
    int64_t corners = 0;
    for (const SubMesh& mesh : model.subMeshes) corners += mesh.CornerCount();
    const int64_t got[] = {model.SubMeshCount(), TotalVertices(model), TotalFaces(model), corners,
                           model.MaterialCount(), model.TextureCount()};
    const int64_t want[] = {expected.subMeshes, expected.vertices, expected.faces, expected.corners,
                            expected.materials, expected.textures};
    for (size_t i = 0; i < std::size(got); ++i) {
        if (want[i] >= 0 && want[i] != got[i]) {
            return ::testing::AssertionFailure()
                   << "sub-meshes " << got[0] << ", vertices " << got[1] << ", faces " << got[2] << ", corners "
                   << got[3] << ", materials " << got[4] << ", textures " << got[5];
        }
    }
    return ::testing::AssertionSuccess();
}

CutRule FailsBelowLoadsFrom(size_t failsBelow, size_t loadsFrom)
{
    return [=](size_t length) {
        if (length < failsBelow) return Cut::kFails;
        return length >= loadsFrom ? Cut::kLoads : Cut::kEither;
    };
}

CutRule OnlyLoadsAt(size_t loads)
{
    return [=](size_t length) { return length == loads ? Cut::kLoads : Cut::kFails; };
}

void ExpectTruncationsHandled(const std::string& name, const std::string& bytes, const std::vector<int32_t>& codes,
                              const CutRule& rule)
{
    ScratchDir dir;
    for (size_t length = 0; length < bytes.size(); ++length) {
        const LoadOutcome r = Load(dir.Write(name, bytes.substr(0, length)));
        const Cut expected = rule(length);
        if (r.model) {
            EXPECT_NE(expected, Cut::kFails) << name << " cut at " << length << " loads";
            EXPECT_EQ(ValidateModel(*r.model), "") << name << " cut at " << length;
        } else {
            EXPECT_NE(expected, Cut::kLoads) << name << " cut at " << length << " fails with " << r.code;
            EXPECT_NE(std::find(codes.begin(), codes.end(), r.code), codes.end())
                << name << " cut at " << length << " gave " << r.code;
        }
    }
}

void ExpectCorpusLoads(const std::string& folder, const std::vector<std::string>& extensions, bool recursive)
{
    const auto files = CorpusFiles(folder, extensions, recursive);
    ASSERT_FALSE(files.empty()) << folder;
    for (const auto& file : files) {
        const LoadOutcome r = Load(file.string());
        ASSERT_TRUE(r.model) << file << " gave " << r.code;
        EXPECT_EQ(ValidateModel(*r.model), "") << file;
        EXPECT_GT(TotalVertices(*r.model), 0) << file;
    }
}

void ExpectCorpusFails(const std::string& folder, const std::vector<std::string>& extensions, int32_t code)
{
    const auto files = CorpusFiles(folder, extensions, true);
    ASSERT_FALSE(files.empty()) << folder;
    for (const auto& file : files) {
        const LoadOutcome r = Load(file.string());
        EXPECT_FALSE(r.model) << file;
        if (code != 0) {
            EXPECT_EQ(r.code, code) << file;
        }
    }
}

}  // namespace solvane::test
