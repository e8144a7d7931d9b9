// Helpers shared by the model reader tests: building files byte by byte, loading bytes through the
// dispatch or one reader, face and vertex views, and the table-driven checks (result codes, counts,
// truncation sweeps, the shared corpus).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "core/load_context.h"
#include "core/model.h"
#include "tests/test_support.h"

namespace solvane::test {

// Appends fields in an explicit byte order.
struct Bytes {
    std::string data;

    Bytes& U8(uint32_t v);
    Bytes& Le16(uint32_t v);
    Bytes& Le32(uint32_t v);
    Bytes& LeFloat(float v);
    Bytes& LeDouble(double v);
    Bytes& Be16(uint32_t v);
    Bytes& Be32(uint32_t v);
    Bytes& BeFloat(float v);
    Bytes& Text(std::string_view text);
    // The text in a field of the given width, padded with NULs (cut when longer).
    Bytes& Field(std::string_view text, size_t width);
    Bytes& Zeros(size_t count);
    Bytes& Raw(std::initializer_list<uint8_t> bytes);
    size_t Size() const { return data.size(); }
};

// Signature of every model reader's entry point.
using ModelReader = std::unique_ptr<Model> (*)(const char* path, LoadContext& ctx);

// Writes the bytes to a scratch file called name and loads it through the dispatch.
LoadOutcome LoadBytes(const std::string& name, const std::string& bytes);
// The same through one reader alone (no dispatch finishing: texture names stay, nothing is welded).
LoadOutcome ReadBytes(ModelReader reader, const std::string& name, const std::string& bytes);
// The reader's model alone, checked to be valid when there is one; the result code through code.
std::unique_ptr<Model> ReadValid(ModelReader reader, const std::string& name, const std::string& bytes,
                                 int32_t* code = nullptr);

std::vector<uint32_t> Corners(const SubMesh& mesh, int32_t face);
// The corners of every face, in order.
using FaceList = std::vector<std::vector<uint32_t>>;
FaceList AllCorners(const SubMesh& mesh);
std::vector<uint32_t> TexCorners(const SubMesh& mesh, int32_t face);
std::vector<float> Vertex(const SubMesh& mesh, int32_t index);

// Every file of the list fails through the dispatch with the code, without a model, and all of
// them together within a few seconds (hostile counts must not be allocated or walked).
void ExpectCodes(const std::string& name, int32_t code, const std::vector<std::string>& files);

// Model totals; -1 leaves one unchecked.
struct Counts {
    int32_t subMeshes = -1;
    int64_t vertices = -1;
    int64_t faces = -1;
    int64_t corners = -1;
    int32_t materials = -1;
    int32_t textures = -1;
};
// The model's totals as expected, and the model valid.
::testing::AssertionResult HasCounts(const Model& model, const Counts& expected);

// What a truncation sweep expects of a cut of the given length.
enum class Cut { kEither, kLoads, kFails };
using CutRule = std::function<Cut(size_t length)>;
// Cuts shorter than failsBelow fail; cuts at least loadsFrom long load.
CutRule FailsBelowLoadsFrom(size_t failsBelow, size_t loadsFrom);
// Cuts fail, except the one of exactly this length, which loads.
CutRule OnlyLoadsAt(size_t length);

// Cuts the file at every length below its own and loads each cut through the dispatch: a cut
// loads a valid model or fails with one of the reader's codes, as the rule asks.
void ExpectTruncationsHandled(const std::string& name, const std::string& bytes, const std::vector<int32_t>& codes,
                              const CutRule& rule);

// The files below ../shared/corpus/<folder> with one of the extensions (none: every file) load
// valid models with at least one vertex, or, with a code, fail with it.
void ExpectCorpusLoads(const std::string& folder, const std::vector<std::string>& extensions,
                       bool recursive = false);
void ExpectCorpusFails(const std::string& folder, const std::vector<std::string>& extensions, int32_t code);

}  // namespace solvane::test
