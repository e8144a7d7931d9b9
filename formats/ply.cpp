#include "formats/ply.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "formats/reader_support.h"

namespace solvane {
namespace {

// Header, one statement per line, keywords without regard to case:
//   ply
//   format ascii <version>
//   element <name> <count>
//   property <type> <name> | property list <count type> <item type> <name>
//   comment ... | obj_info ... | anything else (ignored)
//   end_header
// Body: the elements in header order, one instance per line, each line holding the element's
// property values in order (a list as its count followed by that many values).
struct PlyProperty {
    bool isList = false;
    std::string name;
};

struct PlyElement {
    std::string name;
    int64_t count = 0;
    std::vector<PlyProperty> properties;
};

bool EqualNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && StartsWithNoCase(a, b);
}

bool StatementIs(std::string_view line, std::string_view keyword)
{
    return line.size() > keyword.size() && IsScanBlank(line[keyword.size()]) &&
           StartsWithNoCase(line, keyword);
}

// "end_header", its letters without regard to case; the underscore and the h as written.
bool IsEndHeader(std::string_view line)
{
    return line.size() >= 10 && StartsWithNoCase(line.substr(0, 3), "end") && line[3] == '_' &&
           line[4] == 'h' && StartsWithNoCase(line.substr(5, 5), "eader");
}

// Reads the header after the format line; false when it is broken or never ends.
bool ReadHeader(ReaderInput& in, std::vector<PlyElement>& elements)
{
    std::string_view line;
    while (in.ReadTextLine(line) >= 0) {
        if (IsEndHeader(line)) return true;
        const char* end = line.data() + line.size();
        if (StatementIs(line, "element")) {
            const char* p = line.data() + 7;
            PlyElement element;
            element.name = std::string(ScanWord(p, end));
            if (!ScanInteger(p, end, element.count) || element.count < 0) return false;
            elements.push_back(std::move(element));
        } else if (StatementIs(line, "property")) {
            if (elements.empty()) continue;  // a property of no element
            const char* p = line.data() + 8;
            PlyProperty property;
            const std::string_view type = ScanWord(p, end);
            if (EqualNoCase(type, "list")) {
                property.isList = true;
                ScanWord(p, end);  // count type
                ScanWord(p, end);  // item type
            }
            property.name = std::string(ScanWord(p, end));
            elements.back().properties.push_back(std::move(property));
        }
    }
    return false;
}

// One line per vertex; x, y and z are taken from their properties when those come before any list,
// otherwise from the first three values. Values after them are not read; a missing value is 0.
bool ReadVertices(TextCursor& text, const PlyElement& element, SubMesh& mesh)
{
    int position[3] = {0, 1, 2};
    {
        int found[3] = {-1, -1, -1};
        int firstList = static_cast<int>(element.properties.size());
        for (int i = 0; i < static_cast<int>(element.properties.size()); ++i) {
            const PlyProperty& property = element.properties[static_cast<size_t>(i)];
            if (property.isList) firstList = std::min(firstList, i);
            for (int k = 0; k < 3; ++k) {
                if (found[k] < 0 && property.name == std::string_view(&"xyz"[k], 1)) found[k] = i;
            }
        }
        if (found[0] >= 0 && found[1] >= 0 && found[2] >= 0 &&
            std::max({found[0], found[1], found[2]}) < firstList) {
            std::copy(found, found + 3, position);
        }
    }
    const int needed = std::max({position[0], position[1], position[2]}) + 1;

    mesh.vertices.resize(static_cast<size_t>(element.count) * 3);
    BoundsBuilder bounds;
    float* v = mesh.vertices.data();
    std::string_view token;
    for (int64_t i = 0; i < element.count; ++i, v += 3) {
        if (!text.NextToken(token)) return false;  // the body ended early
        for (int column = 0; column < needed; ++column) {
            if (column > 0 && !text.NextTokenOnLine(token)) break;
            for (int k = 0; k < 3; ++k) {
                if (position[k] != column) continue;
                const char* p = token.data();
                if (!ScanFloat(p, token.data() + token.size(), v[k])) return false;
            }
        }
        text.SkipLine();
        bounds.Extend(v[0], v[1], v[2]);
    }
    mesh.bounds = bounds.bounds;
    StoreCentroid(mesh);
    return true;
}

// One line per face: the values of the properties before the index list are passed over, the
// list's count and indices are read, and the rest of the line (colours, texture coordinates,
// flags) is dropped.
bool ReadFaces(TextCursor& text, const PlyElement& element, int listIndex, SubMesh& mesh)
{
    mesh.faceOffsets.reserve(static_cast<size_t>(element.count) + 1);
    mesh.faceOffsets.push_back(0);
    mesh.faceIndices.reserve(
        static_cast<size_t>(std::min<int64_t>(element.count * 3, text.Remaining() / 2 + 8)));
    std::string_view token;
    for (int64_t f = 0; f < element.count; ++f) {
        if (!text.SkipToToken()) return false;
        for (int i = 0; i <= listIndex; ++i) {
            if (!(i == 0 ? text.NextToken(token) : text.NextTokenOnLine(token))) return false;
            if (!element.properties[static_cast<size_t>(i)].isList) continue;
            const char* p = token.data();
            int64_t count = 0;
            if (!ScanInteger(p, token.data() + token.size(), count) || count < 0) return false;
            if (i < listIndex) {
                for (int64_t k = 0; k < count; ++k) {
                    if (!text.NextTokenOnLine(token)) return false;
                }
                continue;
            }
            if (count > kMaxFaceCorners) return false;
            for (int64_t k = 0; k < count; ++k) {
                int64_t index = 0;
                if (!text.NextTokenOnLine(token)) return false;
                const char* q = token.data();
                if (!ScanInteger(q, token.data() + token.size(), index) || index < 0 ||
                    index > INT32_MAX) {
                    return false;
                }
                mesh.faceIndices.push_back(static_cast<uint32_t>(index));
            }
        }
        mesh.faceOffsets.push_back(static_cast<uint32_t>(mesh.faceIndices.size()));
        text.SkipLine();
    }
    if (element.count == 0) mesh.faceOffsets.clear();
    return true;
}

// The face element's index list: "vertex_indices" or "vertex_index", else its first list.
int IndexListOf(const PlyElement& element)
{
    int firstList = -1;
    for (int i = 0; i < static_cast<int>(element.properties.size()); ++i) {
        const PlyProperty& property = element.properties[static_cast<size_t>(i)];
        if (!property.isList) continue;
        if (property.name == "vertex_indices" || property.name == "vertex_index") return i;
        if (firstList < 0) firstList = i;
    }
    return firstList;
}

}  // namespace

std::unique_ptr<Model> ReadPlyFile(const char* path, LoadContext& ctx)
{
    ReaderInput in(ctx);
    if (!in.Open(path)) return nullptr;

    // 1. The two fixed lines.
    std::string_view line;
    if (in.ReadTextLine(line) < 0 || !StartsWithNoCase(line, "ply")) {
        return FailWith(ctx, LoadResult::NotValidPly);
    }
    if (in.ReadTextLine(line) < 0 || !StartsWithNoCase(line, "format ascii")) {
        return FailWith(ctx, LoadResult::UnsupportedPly);
    }
    // 2. The elements and their properties.
    std::vector<PlyElement> elements;
    if (!ReadHeader(in, elements)) return FailWith(ctx, LoadResult::NotValidPly);
    const PlyElement* vertexElement = nullptr;
    const PlyElement* faceElement = nullptr;
    for (const PlyElement& element : elements) {
        const PlyElement** slot = EqualNoCase(element.name, "vertex") ? &vertexElement
                                  : EqualNoCase(element.name, "face") ? &faceElement
                                                                      : nullptr;
        if (!slot) continue;
        if (*slot) return FailWith(ctx, LoadResult::NotValidPly);  // a second vertex or face element
        *slot = &element;
    }
    const int listIndex = faceElement ? IndexListOf(*faceElement) : -1;
    if (listIndex < 0) faceElement = nullptr;  // faces without corners: none are kept

    // 3. Every instance takes at least one value and its line feed.
    TextCursor text(in);
    const int64_t remaining = text.Remaining();
    const int64_t vertexCount = vertexElement ? vertexElement->count : 0;
    const int64_t faceCount = faceElement ? faceElement->count : 0;
    if (!CountFits(vertexCount, 2, remaining, 12) || !CountFits(faceCount, 2, remaining, 4) ||
        vertexCount + faceCount > remaining / 2 + 1) {
        return FailWith(ctx, LoadResult::NotValidPly);
    }

    // 4. The body, element by element, up to the last one this reader needs.
    auto model = NewModel(1);
    SubMesh& mesh = model->subMeshes[0];
    bool verticesRead = !vertexElement, facesRead = !faceElement;
    for (const PlyElement& element : elements) {
        if (verticesRead && facesRead) break;
        if (&element == vertexElement) {
            if (!ReadVertices(text, element, mesh)) return FailWith(ctx, LoadResult::NotValidPly);
            verticesRead = true;
        } else if (&element == faceElement) {
            if (!ReadFaces(text, element, listIndex, mesh)) return FailWith(ctx, LoadResult::NotValidPly);
            facesRead = true;
        } else if (!element.properties.empty()) {
            for (int64_t i = 0; i < element.count && text.SkipToToken(); ++i) text.SkipLine();
        }
    }

    // 5. Corners must name vertices.
    const uint32_t limit = static_cast<uint32_t>(mesh.VertexCount());
    for (uint32_t index : mesh.faceIndices) {
        if (index >= limit) return FailWith(ctx, LoadResult::NotValidPly);
    }
    return model;
}

}  // namespace solvane
