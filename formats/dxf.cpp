#include "formats/dxf.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "core/mesh_ops.h"
#include "core/reader_input.h"
#include "core/text_scan.h"

namespace solvane {
namespace {

// The fully saturated colour at a hue angle, linear between the six primaries.
constexpr std::array<float, 3> HueColor(int degrees)
{
    const float t = static_cast<float>(degrees % 60) / 60.0f;
    switch (degrees / 60) {
    case 0: return {1, t, 0};
    case 1: return {1 - t, 1, 0};
    case 2: return {0, 1, t};
    case 3: return {0, 1 - t, 1};
    case 4: return {t, 0, 1};
    default: return {1, 0, 1 - t};
    }
}

// Colour numbers 10 to 249 come in groups of ten per hue, 15 degrees apart: five brightness
// steps, each as the pure hue (even) and as the hue half-way to white (odd).
constexpr std::array<float, 3> HueRule(int number)
{
    constexpr float kValues[5] = {1.0f, 0.65f, 0.5f, 0.3f, 0.15f};
    const int group = (number - 10) / 10;
    const int step = (number - 10) % 10;
    const float value = kValues[step / 2];
    const std::array<float, 3> hue = HueColor(15 * group);
    std::array<float, 3> color{};
    for (int i = 0; i < 3; ++i)
        color[i] = step % 2 == 0 ? value * hue[i] : value * (0.5f + 0.5f * hue[i]);
    return color;
}

constexpr std::array<std::array<float, 3>, 256> BuildPalette()
{
    std::array<std::array<float, 3>, 256> palette{};  // 0, 7, 8, 9 and 255 stay black
    palette[1] = {1, 0, 0};
    palette[2] = {1, 1, 0};
    palette[3] = {0, 1, 0};
    palette[4] = {0, 1, 1};
    palette[5] = {0, 0, 1};
    palette[6] = {1, 0, 1};
    for (int n = 10; n <= 233; ++n) palette[n] = HueRule(n);
    // The table skips the rule's entry for 234.
    for (int n = 234; n <= 248; ++n) palette[n] = HueRule(n + 1);
    constexpr float kGreys[6] = {0.33f, 0.464f, 0.598f, 0.732f, 0.866f, 1.0f};
    for (int i = 0; i < 6; ++i) palette[249 + i] = {kGreys[i], kGreys[i], kGreys[i]};
    return palette;
}

constexpr size_t kMaxTokenLength = 255;
// Longer lines are read to their end but only this much of them is looked at.
constexpr size_t kMaxLineLength = 4096;
constexpr size_t kMaxColors = 255;
// Four corners of 12 bytes per face: this keeps the vertex list below 1 GiB.
constexpr int64_t kMaxFaces = int64_t{1} << 24;

// The file as a stream of blank-separated tokens. Inside a 3DFACE the reader also needs to know
// where lines end, so that a text value holding blanks can be skipped as one line.
class DxfTokens {
public:
    explicit DxfTokens(ReaderInput& in) : in_(in) {}

    // The next token; false at the end of the input. The view lasts until the next call.
    bool Next(std::string_view& token)
    {
        for (;;) {
            while (pos_ < line_.size() && IsScanBlank(line_[pos_])) ++pos_;
            if (pos_ < line_.size()) break;
            if (!ReadLine()) return false;
        }
        const size_t start = pos_;
        while (pos_ < line_.size() && !IsScanBlank(line_[pos_])) ++pos_;
        token = std::string_view(line_).substr(start, std::min(pos_ - start, kMaxTokenLength));
        return true;
    }

    // Whether only blanks follow the last token on its line.
    bool AtLineEnd() const
    {
        size_t p = pos_;
        while (p < line_.size() && IsScanBlank(line_[p])) ++p;
        return p >= line_.size();
    }

    // Passes over the next whole line, whatever it holds; false at the end of the input.
    bool SkipLine()
    {
        if (!ReadLine()) return false;
        pos_ = line_.size();
        return true;
    }

    void Rewind()
    {
        in_.Rewind();
        line_.clear();
        pos_ = 0;
    }

private:
    bool ReadLine()
    {
        line_.clear();
        pos_ = 0;
        int c = in_.ReadByte();
        if (c < 0) return false;
        while (c >= 0 && c != '\n') {
            if (line_.size() < kMaxLineLength) line_.push_back(static_cast<char>(c));
            c = in_.ReadByte();
        }
        return true;
    }

    ReaderInput& in_;
    std::string line_;
    size_t pos_ = 0;
};

// A group code token: a decimal number, -1 for anything else.
int GroupCode(std::string_view token)
{
    if (token.empty() || token.size() > 4) return -1;
    int code = 0;
    for (char c : token) {
        if (c < '0' || c > '9') return -1;
        code = code * 10 + (c - '0');
    }
    return code;
}

// Group codes whose values are text and may hold blanks (names, texts, handles, comments).
bool IsTextGroupCode(int code)
{
    return (code >= 0 && code <= 9) || code == 100 || code == 102 || code == 105 ||
           (code >= 300 && code <= 369) || (code >= 390 && code <= 399) || (code >= 410 && code <= 419) ||
           (code >= 430 && code <= 439) || (code >= 470 && code <= 481) || code == 999 ||
           (code >= 1000 && code <= 1009);
}

// One 3DFACE as read: corner k (0 to 3) comes from the group codes 10+k, 20+k and 30+k.
struct DxfFace {
    float corners[12];
    bool given[12];
    int color;
    bool hasColor;
    bool hasCorner;  // at least one coordinate was given
};

enum class FaceEnd { NextEntity, EndOfDrawing };

// Reads the (group code, value) pairs of a 3DFACE up to the code 0 that starts the next entity
// (left for the caller to read) or the end of the drawing. Writers put the corners in any order
// (LightWave writes the fourth first), so each value goes where its code says. A text value alone
// on the line after its code is passed over as a whole line, blanks and all; other values are one
// token. Coordinates that are not numbers read as 0; a fourth corner that is not given repeats
// the third, as DXF defines for three-sided faces.
FaceEnd ReadFace(DxfTokens& tokens, DxfFace& face)
{
    face = DxfFace{};
    FaceEnd end = FaceEnd::EndOfDrawing;
    std::string_view token;
    for (;;) {
        if (!tokens.Next(token) || token == "EOF") break;
        const int code = GroupCode(token);
        if (code == 0) {
            end = FaceEnd::NextEntity;
            break;
        }
        if (tokens.AtLineEnd() && IsTextGroupCode(code)) {
            if (!tokens.SkipLine()) break;
            continue;
        }
        if (!tokens.Next(token)) break;
        const char* p = token.data();
        const char* tokenEnd = token.data() + token.size();
        if (code == 62) {
            int number = 0;
            if (ScanInt(p, tokenEnd, number)) {
                face.color = number;
                face.hasColor = true;
            }
        } else if (code >= 10 && code <= 33 && code % 10 <= 3) {
            const int index = (code % 10) * 3 + (code / 10 - 1);
            face.corners[index] = 0;
            ScanFloat(p, tokenEnd, face.corners[index]);
            face.given[index] = true;
            face.hasCorner = true;
        }
    }
    for (int axis = 0; axis < 3; ++axis) {
        if (!face.given[9 + axis]) face.corners[9 + axis] = face.corners[6 + axis];
    }
    return end;
}

// The palette entry of a colour number as read. A negative number is a colour whose layer is
// switched off; numbers beyond the palette (256 = by layer, 257 = by entity) give entry 0.
const std::array<float, 3>& PaletteEntry(int number)
{
    if (number >= 0 && number <= 255) return DxfPalette[static_cast<size_t>(number)];
    if (number < 0 && number >= -255) return DxfPalette[static_cast<size_t>(-number)];
    return DxfPalette[0];
}

struct DxfCounts {
    int64_t faces = 0;
    std::vector<int> colors;  // distinct colour numbers in order of first appearance
};

int32_t ColorPosition(const std::vector<int>& colors, int color)
{
    const auto found = std::find(colors.begin(), colors.end(), color);
    return found == colors.end() ? -1 : static_cast<int32_t>(found - colors.begin());
}

// Walks the drawing and calls handle(face) for every 3DFACE that gives a corner, up to "EOF" or
// the end of the input. Outside a face the tokens are not paired, so any token "3DFACE" starts one.
template <typename Handler>
void ForEachFace(DxfTokens& tokens, Handler&& handle)
{
    std::string_view token;
    DxfFace face;
    while (tokens.Next(token)) {
        if (token == "EOF") return;
        if (token != "3DFACE") continue;
        const FaceEnd end = ReadFace(tokens, face);
        if (face.hasCorner && !handle(face)) return;
        if (end == FaceEnd::EndOfDrawing) return;
    }
}

std::unique_ptr<Model> Fail(LoadContext& ctx)
{
    ctx.result.store(LoadResult::DxfNo3dFace);
    return nullptr;
}

}  // namespace

const std::array<std::array<float, 3>, 256> DxfPalette = BuildPalette();

std::unique_ptr<Model> ReadDxfFile(const char* path, LoadContext& ctx)
{
    ReaderInput in(ctx);
    if (!in.Open(path)) return nullptr;
    DxfTokens tokens(in);

    // 1. Pass 1: count the faces and gather their distinct colour numbers.
    DxfCounts counts;
    bool tooMany = false;
    ForEachFace(tokens, [&](const DxfFace& face) {
        if (face.hasColor && counts.colors.size() < kMaxColors && ColorPosition(counts.colors, face.color) < 0)
            counts.colors.push_back(face.color);
        if (++counts.faces > kMaxFaces) tooMany = true;
        return !tooMany;
    });
    if (counts.faces == 0 || tooMany) return Fail(ctx);

    // 2. Allocate for four corners per face; one material per colour number.
    auto model = NewModel(1, static_cast<int32_t>(counts.colors.size()));
    SubMesh& mesh = model->subMeshes[0];
    mesh.name = kDxfMeshName;
    for (size_t i = 0; i < counts.colors.size(); ++i) {
        Material& material = model->materials[i];
        material.name = "DXF Palette " + std::to_string(counts.colors[i]);
        material.color = material.diffuse = material.specular = PaletteEntry(counts.colors[i]);
        material.transparency = 0;
        material.textureIndex = -1;
    }
    if (!model->materials.empty()) {
        model->hasColor = model->hasDiffuse = model->hasSpecular = 1;
        model->hasTransparency = 0;
    }
    mesh.vertices.resize(static_cast<size_t>(counts.faces) * 12);
    mesh.ReserveFaces(counts.faces, counts.faces * 4, false);
    mesh.faceMaterials.reserve(static_cast<size_t>(counts.faces));

    // 3. Pass 2: each face's corners go to the next four vertex slots. A fourth corner equal to
    //    the third makes a triangle, and the next face starts at that fourth slot.
    tokens.Rewind();
    BoundsBuilder bounds;
    uint32_t stored = 0;
    ForEachFace(tokens, [&](const DxfFace& face) {
        const float* corners = face.corners;
        if (mesh.FaceCount() >= counts.faces) return false;  // the file grew between the passes
        float* slot = &mesh.vertices[static_cast<size_t>(stored) * 3];
        std::copy(corners, corners + 12, slot);
        for (int c = 0; c < 4; ++c) bounds.Extend(corners[3 * c], corners[3 * c + 1], corners[3 * c + 2]);
        const bool triangle = corners[9] == corners[6] && corners[10] == corners[7] && corners[11] == corners[8];
        const uint32_t indices[4] = {stored, stored + 1, stored + 2, stored + 3};
        const int cornerCount = triangle ? 3 : 4;
        mesh.AppendFace(indices, cornerCount);
        mesh.faceMaterials.push_back(face.hasColor ? ColorPosition(counts.colors, face.color) : -1);
        stored += static_cast<uint32_t>(cornerCount);
        return true;
    });

    // 4. Keep the corners stored; the centre is their mean.
    mesh.vertices.resize(static_cast<size_t>(stored) * 3);
    mesh.vertices.shrink_to_fit();
    mesh.bounds = bounds.bounds;
    if (stored > 0) {
        double sum[3] = {0, 0, 0};
        for (size_t i = 0; i < mesh.vertices.size(); i += 3) {
            for (int axis = 0; axis < 3; ++axis) sum[axis] += mesh.vertices[i + static_cast<size_t>(axis)];
        }
        for (int axis = 0; axis < 3; ++axis) mesh.centroid[axis] = static_cast<float>(sum[axis] / stored);
    }
    return model;
}

void FinishDxfModel(Model& model, const std::string&, LoadContext&)
{
    // Faces share no corners in the file: merge the exactly equal ones (bounds and centroid are
    // recomputed by the weld).
    WeldVertices(model.subMeshes[0], 0.0);
}

}  // namespace solvane
