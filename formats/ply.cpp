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
// property values in order (a list as its count followed by that many values). A face element
// whose only property is its index list is read as a stream of integers instead: writers wrap long
// lists. A body that ends early keeps what it holds whole.
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

// How far the body was read: whole, or cut short by the end of the input.
enum class BodyRead { kWhole, kEnded, kBroken };

// One line per vertex; x, y and z are taken from their properties when those come before any list,
// otherwise from the first three values. Values after them are not read; a missing value is 0,
// unless the input ends there (the vertex was cut).
BodyRead ReadVertices(TextCursor& text, const PlyElement& element, SubMesh& mesh)
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

    // Each vertex takes at least two bytes ("0\n").
    mesh.vertices.reserve(ReserveCount(element.count, 2, text.Remaining()) * 3);
    BoundsBuilder bounds;
    std::string_view token;
    BodyRead result = BodyRead::kWhole;
    for (int64_t i = 0; i < element.count; ++i) {
        if (!text.NextToken(token)) {
            result = BodyRead::kEnded;
            break;
        }
        float v[3] = {0, 0, 0};
        int column = 0;
        bool cut = false;  // inside a value
        for (; column < needed && !cut; ++column) {
            if (column > 0 && !text.NextTokenOnLine(token)) break;
            for (int k = 0; k < 3; ++k) {
                if (position[k] != column) continue;
                const char* p = token.data();
                if (!ScanFloat(p, token.data() + token.size(), v[k])) {
                    if (!text.TokenEndedInput()) return BodyRead::kBroken;
                    cut = true;
                }
            }
        }
        if (cut || column < needed) {
            // The line ended early; the cursor has moved on to the next line's first value.
            if (text.AtEnd()) {
                result = BodyRead::kEnded;
                break;
            }
        } else {
            text.SkipLine();
        }
        mesh.vertices.insert(mesh.vertices.end(), v, v + 3);
        bounds.Extend(v[0], v[1], v[2]);
    }
    mesh.bounds = bounds.bounds;
    StoreCentroid(mesh);
    return result;
}

// The faces. When the index list is the element's only property, the faces are one stream of
// integers (a face's list may run over several lines). Otherwise one line per face: the values of
// the properties before the index list are passed over, the list's count and indices are read,
// and the rest of the line (colours, texture coordinates, flags) is dropped.
BodyRead ReadFaces(TextCursor& text, const PlyElement& element, int listIndex, SubMesh& mesh)
{
    const bool stream = element.properties.size() == 1;
    // Each face takes at least two bytes ("0\n").
    mesh.faceOffsets.reserve(ReserveCount(element.count, 2, text.Remaining()) + 1);
    mesh.faceOffsets.push_back(0);
    std::string_view token;
    auto next = [&](bool first) {
        return first || stream ? text.NextToken(token) : text.NextTokenOnLine(token);
    };
    BodyRead result = BodyRead::kWhole;
    for (int64_t f = 0; f < element.count && result == BodyRead::kWhole; ++f) {
        bool whole = true;
        for (int i = 0; i <= listIndex && whole; ++i) {
            if (!(whole = next(i == 0))) break;
            if (!element.properties[static_cast<size_t>(i)].isList) continue;
            const char* p = token.data();
            int64_t count = 0;
            if (!ScanInteger(p, token.data() + token.size(), count)) {
                if (!text.TokenEndedInput()) return BodyRead::kBroken;
                whole = false;
                break;
            }
            if (count < 0) return BodyRead::kBroken;
            if (i == listIndex && count > kMaxFaceCorners) return BodyRead::kBroken;
            for (int64_t k = 0; k < count && whole; ++k) {
                if (!(whole = next(false))) break;
                if (i < listIndex) continue;
                int64_t index = 0;
                const char* q = token.data();
                if (!ScanInteger(q, token.data() + token.size(), index)) {
                    if (!text.TokenEndedInput()) return BodyRead::kBroken;
                    whole = false;
                    break;
                }
                if (index < 0 || index > INT32_MAX) return BodyRead::kBroken;
                mesh.faceIndices.push_back(static_cast<uint32_t>(index));
            }
        }
        if (!whole) {
            // A line short of its values is broken, unless the input ended in it.
            if (!text.AtEnd()) return BodyRead::kBroken;
            mesh.faceIndices.resize(mesh.faceOffsets.back());
            result = BodyRead::kEnded;
            break;
        }
        mesh.faceOffsets.push_back(static_cast<uint32_t>(mesh.faceIndices.size()));
        if (!stream) text.SkipLine();
    }
    if (mesh.faceOffsets.size() == 1) mesh.faceOffsets.clear();
    return result;
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

    // 3. Counts the file cannot hold are cut to what it holds; only arrays beyond the allocation
    // limit are refused.
    TextCursor text(in);
    if (!CountAllowed(vertexElement ? vertexElement->count : 0, 12) ||
        !CountAllowed(faceElement ? faceElement->count : 0, 8)) {
        return FailWith(ctx, LoadResult::NotValidPly);
    }

    // 4. The body, element by element, up to the last one this reader needs. A body that ends
    // early keeps the vertices and faces it holds whole.
    auto model = NewModel(1);
    SubMesh& mesh = model->subMeshes[0];
    bool verticesRead = !vertexElement, facesRead = !faceElement;
    BodyRead read = BodyRead::kWhole;
    for (const PlyElement& element : elements) {
        if ((verticesRead && facesRead) || read != BodyRead::kWhole) break;
        if (&element == vertexElement) {
            read = ReadVertices(text, element, mesh);
            verticesRead = true;
        } else if (&element == faceElement) {
            read = ReadFaces(text, element, listIndex, mesh);
            facesRead = true;
        } else if (!element.properties.empty()) {
            for (int64_t i = 0; i < element.count && text.SkipToToken(); ++i) text.SkipLine();
        }
    }
    if (read == BodyRead::kBroken) return FailWith(ctx, LoadResult::NotValidPly);

    // 5. Corners must name vertices; of a body that ended early, faces naming vertices it never
    // reached are dropped.
    if (read == BodyRead::kEnded || !verticesRead) {
        DropFacesNamingMissingVertices(mesh);
    } else {
        const uint32_t limit = static_cast<uint32_t>(mesh.VertexCount());
        for (uint32_t index : mesh.faceIndices) {
            if (index >= limit) return FailWith(ctx, LoadResult::NotValidPly);
        }
    }
    return model;
}

}  // namespace solvane
