#include "formats/lwo.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/load_result.h"
#include "core/reader_input.h"

namespace solvane {
namespace {

// Chunk identifiers in their fixed order. SURF, LUMI, SHDR, CHAN, VMAP and TAMP appear twice; a
// lookup finds the first, so the later positions are never returned.
constexpr std::array<std::string_view, 173> kLwoIds = {
    "LWOB", "LWO2", "FORM", "PNTS", "POLS", "SURF", "COLR", "LUMI", "DIFF", "SPEC", "REFL", "TRAN",
    "GLOS", "RIMG", "RSAN", "RIND", "SMAN", "TAMP", "TIMG", "SRFS", "CRVS", "PCHS", "FLAG", "VLUM",
    "VDIF", "VSPC", "VRFL", "VTRN", "RFLT", "EDGE", "CTEX", "DTEX", "STEX", "RTEX", "TTEX", "LTEX",
    "BTEX", "TFLG", "TSIZ", "TCTR", "TFAL", "TVEL", "TCLR", "TVAL", "TFP0", "TFP1", "TFP2", "TFP3",
    "TFP4", "TFP5", "TFP6", "TFP7", "TFP8", "TFP9", "TIP0", "TIP1", "TIP2", "TIP3", "TIP4", "TIP5",
    "TIP6", "TIP7", "TIP8", "TIP9", "TSP0", "TSP1", "TSP2", "TFRQ", "TALP", "TWRP", "TAAS", "TOPC",
    "SHDR", "SDAT", "IMSQ", "FLYR", "IMCC", "LAYR", "VMAP", "PICK", "WGHT", "MNVW", "TXUV", "RGB ",
    "RGBA", "MORF", "SPOT", "FACE", "CURV", "PTCH", "MBAL", "BONE", "TAGS", "PTAG", "SURF", "PART",
    "SMGP", "VMAD", "ENVL", "TYPE", "PRE ", "POST", "KEY ", "SPAN", "CHAN", "NAME", "CLIP", "STIL",
    "ISEQ", "ANIM", "XREF", "STCC", "TIME", "CONT", "BRIT", "SATR", "HUE ", "GAMM", "NEGA", "IFLT",
    "PFLT", "BBOX", "DESC", "TEXT", "ICON", "LUMI", "TRNL", "SHRP", "BUMP", "SIDE", "RFOP", "TROP",
    "CLRH", "CLRF", "ADTR", "GLOW", "LINE", "ALPH", "BLOK", "IMAP", "PROC", "GRAD", "SHDR", "CHAN",
    "ENAB", "OPAC", "TMAP", "CNTR", "SIZE", "ROTA", "OREF", "FALL", "CSYS", "PROJ", "AXIS", "IMAG",
    "WRAP", "WRPW", "WRPH", "VMAP", "AAST", "PIXB", "STCK", "TAMP", "VALU", "FUNC", "PNAM", "INAM",
    "GRST", "GREN", "GRPT", "FKEY", "IKEY",
};

constexpr int IdIndex(std::string_view id)
{
    for (size_t i = 0; i < kLwoIds.size(); ++i) {
        if (kLwoIds[i] == id) return static_cast<int>(i);
    }
    return -1;
}

constexpr int kIdForm = IdIndex("FORM");
constexpr int kIdLwob = IdIndex("LWOB");
constexpr int kIdLwo2 = IdIndex("LWO2");
constexpr int kIdPnts = IdIndex("PNTS");
constexpr int kIdPols = IdIndex("POLS");
constexpr int kIdSrfs = IdIndex("SRFS");
constexpr int kIdSurf = IdIndex("SURF");
constexpr int kIdTags = IdIndex("TAGS");
constexpr int kIdPtag = IdIndex("PTAG");
constexpr int kIdVmap = IdIndex("VMAP");
constexpr int kIdTxuv = IdIndex("TXUV");
constexpr int kIdClip = IdIndex("CLIP");
constexpr int kIdStil = IdIndex("STIL");
constexpr int kIdFace = IdIndex("FACE");
constexpr int kIdPtch = IdIndex("PTCH");
constexpr int kIdColr = IdIndex("COLR");
constexpr int kIdDiff = IdIndex("DIFF");
constexpr int kIdSpec = IdIndex("SPEC");
constexpr int kIdTran = IdIndex("TRAN");
constexpr int kIdVdif = IdIndex("VDIF");
constexpr int kIdVspc = IdIndex("VSPC");
constexpr int kIdVtrn = IdIndex("VTRN");
constexpr int kIdTimg = IdIndex("TIMG");
constexpr int kIdRimg = IdIndex("RIMG");
constexpr int kIdBlok = IdIndex("BLOK");
constexpr int kIdProj = IdIndex("PROJ");
constexpr int kIdAxis = IdIndex("AXIS");
constexpr int kIdImag = IdIndex("IMAG");
static_assert(kIdSurf == 5 && IdIndex("IKEY") == 172);

// Tags and surface names longer than this are cut; material and texture names have their own
// limits in the model.
constexpr size_t kMaxTagLength = 255;
constexpr size_t kMaxMaterialNameLength = 63;
constexpr size_t kMaxTextureNameLength = 259;
// Face material numbers are 16-bit values in the model.
constexpr size_t kMaxMaterials = 32767;

// Reads the fields of one chunk or sub-chunk without passing its end. A field that does not fit
// reads as 0 and marks the reader short; the caller stops there.
class FieldReader {
public:
    FieldReader(ReaderInput& in, int64_t end) : in_(in), end_(end) {}

    int64_t Tell() const { return in_.Tell(); }
    int64_t Left() const { return end_ - in_.Tell(); }
    int64_t End() const { return end_; }
    bool IsShort() const { return short_; }
    bool More() const { return !short_ && Left() > 0; }

    uint8_t U1() { return Has(1) ? static_cast<uint8_t>(in_.ReadByte()) : 0; }
    uint16_t U2() { return Has(2) ? in_.ReadBE16() : 0; }
    int16_t I2() { return static_cast<int16_t>(U2()); }
    uint32_t U4() { return Has(4) ? in_.ReadBE32() : 0; }
    float F4() { return Has(4) ? in_.ReadBEFloat() : 0.0f; }
    int Id4() { return Has(4) ? ReadLwoId(in_) : -1; }

    // An index of 2 bytes, or of 4 bytes when the first is 0xFF (which is dropped).
    uint32_t VX()
    {
        if (!Has(2)) return 0;
        const uint32_t first = static_cast<uint32_t>(in_.ReadByte());
        if (first < 0xFF) return (first << 8) | static_cast<uint32_t>(in_.ReadByte());
        if (!Has(3)) return 0;
        uint32_t index = 0;
        for (int i = 0; i < 3; ++i) index = (index << 8) | static_cast<uint32_t>(in_.ReadByte());
        return index;
    }

    // A NUL-terminated string padded to an even length; kept up to kMaxTagLength characters.
    std::string S0()
    {
        std::string text;
        int64_t length = 0;
        while (Left() > 0) {
            const int c = in_.ReadByte();
            ++length;
            if (c <= 0) break;
            if (text.size() < kMaxTagLength) text.push_back(static_cast<char>(c));
        }
        if ((length & 1) != 0 && Left() > 0) in_.ReadByte();
        return text;
    }

    void SeekTo(int64_t position)
    {
        position = std::min(position, end_);
        if (position != in_.Tell()) in_.SkipBytes(position - in_.Tell(), SEEK_CUR);
    }
    void SkipToEnd() { SeekTo(end_); }

private:
    bool Has(int64_t count)
    {
        if (!short_ && Left() >= count) return true;
        short_ = true;
        return false;
    }

    ReaderInput& in_;
    int64_t end_;
    bool short_ = false;
};

// A sub-chunk inside SURF, CLIP or BLOK: ID4, U2 size, data (no pad byte).
struct SubChunk {
    int id = -1;
    int64_t end = 0;
};

bool NextSubChunk(FieldReader& outer, SubChunk& sub)
{
    if (outer.IsShort() || outer.Left() < 6) return false;
    sub.id = outer.Id4();
    const int64_t size = outer.U2();
    sub.end = std::min<int64_t>(outer.Tell() + size, outer.End());
    return true;
}

// One top-level polygon of a POLS chunk. LWOB detail polygons (announced by a negative surface
// number and a count) follow their polygon and are read past here, not returned.
struct Polygon {
    std::vector<uint32_t> points;  // at most kMaxFaceCorners; further corners are skipped
    int32_t surface = 0;           // LWOB: the surface number as written (1-based)
};

bool ReadPolygon(FieldReader& data, bool lwo2, Polygon& polygon)
{
    polygon.points.clear();
    if (!data.More()) return false;
    if (lwo2) {
        const int corners = data.U2() & 0x3FF;
        for (int i = 0; i < corners; ++i) {
            const uint32_t point = data.VX();
            if (static_cast<int>(polygon.points.size()) < kMaxFaceCorners) polygon.points.push_back(point);
        }
        return !data.IsShort();
    }
    const int corners = data.U2();
    for (int i = 0; i < corners && !data.IsShort(); ++i) {
        const uint32_t point = data.U2();
        if (static_cast<int>(polygon.points.size()) < kMaxFaceCorners) polygon.points.push_back(point);
    }
    int32_t surface = data.I2();
    int64_t details = 0;
    if (surface < 0) {
        surface = -surface;
        details = data.U2();
    }
    polygon.surface = surface;
    // Detail polygons may announce details of their own: count them down without recursion.
    while (details > 0 && !data.IsShort()) {
        --details;
        const int detailCorners = data.U2();
        data.SeekTo(data.Tell() + 2 * static_cast<int64_t>(detailCorners));
        if (data.I2() < 0) details += data.U2();
    }
    return !data.IsShort();
}

struct LwoReader {
    explicit LwoReader(ReaderInput& input) : in(input) {}

    ReaderInput& in;
    bool lwo2 = false;
    int64_t formEnd = 0;

    // Pass 1.
    int32_t polygonLists = 0;
    std::vector<std::string> tags;
    std::vector<std::string> surfaceNames;  // one per material, in material order
    std::unordered_map<std::string, int32_t> surfaceByName;
    std::vector<std::string> imageNames;     // LWOB surface images, each once
    int32_t clipImages = 0;

    // Pass 2.
    Model* model = nullptr;
    std::vector<std::string> materialNames;  // the names matched by SURF, as copied so far
    std::vector<int32_t> tagMaterial;        // per tag: its material, -1 for none
    int32_t current = 0;                     // the sub-mesh being built
    int32_t texturesFilled = 0;
    int32_t namesFilled = 0;
    bool lastWasPols = false;
    int32_t projectionMode = 0;
    int32_t axis = 0;
};

void AddSurfaceName(LwoReader& reader, const std::string& name, bool unique)
{
    if (unique && reader.surfaceByName.count(name) != 0) return;
    if (reader.surfaceNames.size() >= kMaxMaterials) return;
    reader.surfaceByName.emplace(name, static_cast<int32_t>(reader.surfaceNames.size()));
    reader.surfaceNames.push_back(name);
}

// ---- Pass 1: counting ----

void CountChunk(LwoReader& reader, int id, FieldReader& data)
{
    if (id == kIdPols) {
        if (!reader.lwo2) {
            ++reader.polygonLists;
        } else {
            const int type = data.Id4();
            if (type == kIdFace || type == kIdPtch) ++reader.polygonLists;
        }
    } else if (id == kIdSrfs && !reader.lwo2) {
        while (data.More()) AddSurfaceName(reader, data.S0(), false);
    } else if (id == kIdTags && reader.lwo2) {
        while (data.More()) reader.tags.push_back(data.S0());
    } else if (id == kIdPtag && reader.lwo2) {
        if (data.Id4() != kIdSurf) return;
        while (data.More()) {
            data.VX();
            const uint32_t tag = data.U2();
            if (data.IsShort()) break;
            if (tag < reader.tags.size()) AddSurfaceName(reader, reader.tags[tag], true);
        }
    } else if (id == kIdSurf && !reader.lwo2) {
        data.S0();
        SubChunk sub;
        while (NextSubChunk(data, sub)) {
            if (sub.id == kIdTimg || sub.id == kIdRimg) {
                FieldReader field(reader.in, sub.end);
                const std::string image = field.S0();
                if (std::find(reader.imageNames.begin(), reader.imageNames.end(), image) ==
                    reader.imageNames.end())
                    reader.imageNames.push_back(image);
            }
            data.SeekTo(sub.end);
        }
    } else if (id == kIdClip && reader.lwo2) {
        data.U4();
        SubChunk sub;
        while (NextSubChunk(data, sub)) {
            if (sub.id == kIdStil) ++reader.clipImages;
            data.SeekTo(sub.end);
        }
    }
}

// ---- Pass 2: filling ----

void ReadPoints(LwoReader& reader, FieldReader& data)
{
    reader.lastWasPols = false;
    if (reader.current >= reader.model->SubMeshCount()) return;
    SubMesh& mesh = reader.model->subMeshes[static_cast<size_t>(reader.current)];
    const int64_t count = data.Left() / 12;
    mesh.vertices.assign(static_cast<size_t>(count) * 3, 0.0f);
    BoundsBuilder bounds;
    double sum[3] = {0, 0, 0};
    for (int64_t i = 0; i < count; ++i) {
        float* v = &mesh.vertices[static_cast<size_t>(i) * 3];
        for (int k = 0; k < 3; ++k) {
            v[k] = data.F4();
            sum[k] += v[k];
        }
        bounds.Extend(v[0], v[1], v[2]);
    }
    mesh.bounds = bounds.bounds;
    mesh.centroid = {0, 0, 0};
    if (count > 0) {
        for (int k = 0; k < 3; ++k) mesh.centroid[k] = static_cast<float>(sum[k] / static_cast<double>(count));
    }
}

void ReadPolygons(LwoReader& reader, FieldReader& data)
{
    if (reader.lwo2) {
        const int type = data.Id4();
        if (type != kIdFace && type != kIdPtch) return;
    }
    if (reader.current >= reader.model->SubMeshCount()) return;
    SubMesh& mesh = reader.model->subMeshes[static_cast<size_t>(reader.current)];
    ++reader.current;
    reader.lastWasPols = true;
    mesh.ClearFaces();
    const int64_t vertexCount = mesh.VertexCount();
    // A polygon list without points of its own has nothing its corners could refer to.
    if (vertexCount == 0) return;

    // Count first, so the face arrays are allocated once.
    const int64_t start = data.Tell();
    Polygon polygon;
    int64_t faces = 0, corners = 0;
    {
        FieldReader counter(reader.in, data.End());
        while (ReadPolygon(counter, reader.lwo2, polygon)) {
            ++faces;
            corners += static_cast<int64_t>(polygon.points.size());
        }
    }
    data.SeekTo(start);

    mesh.ReserveFaces(faces, corners, false);
    mesh.faceMaterials.assign(static_cast<size_t>(faces), -1);
    const int64_t materialCount = reader.model->MaterialCount();
    for (int64_t f = 0; f < faces && ReadPolygon(data, reader.lwo2, polygon); ++f) {
        for (uint32_t& point : polygon.points) {
            if (point >= vertexCount) point = static_cast<uint32_t>(vertexCount - 1);
        }
        mesh.AppendFace(polygon.points.data(), static_cast<int>(polygon.points.size()));
        if (!reader.lwo2 && polygon.surface >= 1 && polygon.surface <= materialCount)
            mesh.faceMaterials[static_cast<size_t>(f)] = polygon.surface - 1;
    }
    // The second walk sees the same bytes; should it end early, the rest stay empty faces.
    while (mesh.FaceCount() < faces) mesh.AppendFace(nullptr, 0);
}

void ReadPolygonTags(LwoReader& reader, FieldReader& data)
{
    if (data.Id4() != kIdSurf || reader.current == 0) return;
    SubMesh& mesh = reader.model->subMeshes[static_cast<size_t>(reader.current - 1)];
    const uint32_t faces = static_cast<uint32_t>(mesh.FaceCount());
    while (data.More()) {
        const uint32_t polygon = data.VX();
        const uint32_t tag = data.U2();
        if (data.IsShort()) break;
        if (polygon < faces && tag < reader.tagMaterial.size() && reader.tagMaterial[tag] >= 0)
            mesh.faceMaterials[polygon] = reader.tagMaterial[tag];
    }
}

void ReadVertexMap(LwoReader& reader, FieldReader& data)
{
    if (data.Id4() != kIdTxuv) return;
    const int dimension = data.U2();
    data.S0();
    const int32_t target = reader.lastWasPols ? reader.current - 1 : reader.current;
    reader.lastWasPols = false;
    if (target < 0 || target >= reader.model->SubMeshCount()) return;
    SubMesh& mesh = reader.model->subMeshes[static_cast<size_t>(target)];
    const uint32_t vertexCount = static_cast<uint32_t>(mesh.VertexCount());
    mesh.texCoords.assign(static_cast<size_t>(vertexCount) * 2, 0.0f);
    while (data.More()) {
        const uint32_t point = data.VX();
        float uv[2] = {0, 0};
        for (int k = 0; k < dimension && !data.IsShort(); ++k) {
            const float value = data.F4();
            if (k < 2) uv[k] = value;
        }
        if (data.IsShort()) break;
        if (point < vertexCount) {
            mesh.texCoords[static_cast<size_t>(point) * 2] = uv[0];
            mesh.texCoords[static_cast<size_t>(point) * 2 + 1] = uv[1];
        }
    }
}

void ReadClip(LwoReader& reader, FieldReader& data)
{
    data.U4();
    SubChunk sub;
    while (NextSubChunk(data, sub)) {
        if (sub.id == kIdStil && reader.texturesFilled < reader.model->TextureCount()) {
            FieldReader field(reader.in, sub.end);
            std::string name = field.S0();
            if (name.size() > kMaxTextureNameLength) name.resize(kMaxTextureNameLength);
            reader.model->textures[static_cast<size_t>(reader.texturesFilled++)].name = std::move(name);
        }
        data.SeekTo(sub.end);
    }
}

// A surface level: LWOB a U2 n giving (n - 1) / 255; LWO2 an F4 (outside 0..1 taken as 1) and an
// envelope index.
float ReadLevel(LwoReader& reader, FieldReader& field)
{
    if (!reader.lwo2) return (static_cast<float>(field.U2()) - 1.0f) / 255.0f;
    float level = field.F4();
    field.VX();
    if (!(level >= 0.0f && level <= 1.0f)) level = 1.0f;
    return level;
}

void SetPlanes(Texture& texture, int32_t axis)
{
    using Plane = std::array<float, 4>;
    const Plane x{1, 0, 0, 0}, y{0, 1, 0, 0}, z{0, 0, 1, 0};
    switch (axis) {
    case 0: texture.planeS = x; texture.planeT = y; texture.planeR = z; break;
    case 1: texture.planeS = y; texture.planeT = x; texture.planeR = z; break;
    case 2: texture.planeS = z; texture.planeT = x; texture.planeR = y; break;
    default: break;
    }
}

void ReadBlock(LwoReader& reader, FieldReader& block, Material& material)
{
    SubChunk sub;
    while (NextSubChunk(block, sub)) {
        FieldReader field(reader.in, sub.end);
        if (sub.id == kIdProj) {
            const uint16_t projection = field.U2();
            reader.projectionMode = projection == 0 ? 3 : (projection == 2 ? 4 : 0);
            reader.axis = 0;
        } else if (sub.id == kIdAxis) {
            reader.axis = field.U2();
        } else if (sub.id == kIdImag) {
            const uint32_t clip = field.VX();
            if (!field.IsShort() && clip != 0 && clip <= static_cast<uint32_t>(reader.model->TextureCount())) {
                material.textureIndex = static_cast<int32_t>(clip - 1);
                Texture& texture = reader.model->textures[clip - 1];
                texture.mappingMode = reader.projectionMode;
                SetPlanes(texture, reader.axis);
            }
        }
        block.SeekTo(sub.end);
    }
}

void ReadSurfaceImage(LwoReader& reader, FieldReader& field, Material& material)
{
    std::string name = field.S0();
    if (name.size() > kMaxTextureNameLength) name.resize(kMaxTextureNameLength);
    Model& model = *reader.model;
    for (int32_t t = 0; t < reader.texturesFilled; ++t) {
        if (model.textures[static_cast<size_t>(t)].name == name) {
            material.textureIndex = t;
            return;
        }
    }
    if (reader.texturesFilled >= model.TextureCount()) return;
    Texture& texture = model.textures[static_cast<size_t>(reader.texturesFilled)];
    texture.name = std::move(name);
    texture.mappingMode = 3;
    material.textureIndex = reader.texturesFilled++;
}

void ReadSurface(LwoReader& reader, FieldReader& data)
{
    const std::string name = data.S0();
    if (reader.lwo2) data.S0();  // the source surface
    int32_t index = -1;
    for (size_t m = reader.materialNames.size(); m-- > 0;) {
        if (reader.materialNames[m] == name) {
            index = static_cast<int32_t>(m);
            break;
        }
    }
    if (index < 0) return;
    Model& model = *reader.model;
    Material& material = model.materials[static_cast<size_t>(index)];
    SubChunk sub;
    while (NextSubChunk(data, sub)) {
        FieldReader field(reader.in, sub.end);
        const int id = sub.id;
        if (id == kIdColr) {
            if (reader.lwo2) {
                for (float& channel : material.color) channel = field.F4();
                field.VX();
            } else {
                for (float& channel : material.color) channel = static_cast<float>(field.U1()) / 255.0f;
            }
            model.hasColor = 1;
        } else if (id == kIdDiff || (id == kIdVdif && !reader.lwo2)) {
            float level = id == kIdDiff ? ReadLevel(reader, field) : field.F4();
            if (id == kIdVdif && !(level >= 0.0f && level <= 1.0f)) level = 1.0f;
            for (int k = 0; k < 3; ++k) material.diffuse[k] = level * material.color[k];
            model.hasDiffuse = 1;
        } else if (id == kIdSpec || (id == kIdVspc && !reader.lwo2)) {
            float level = id == kIdSpec ? ReadLevel(reader, field) : field.F4();
            if (id == kIdVspc && !(level >= 0.0f && level <= 1.0f)) level = 1.0f;
            for (int k = 0; k < 3; ++k) material.specular[k] = level * material.color[k];
            model.hasSpecular = 1;
        } else if (id == kIdTran) {
            material.transparency = ReadLevel(reader, field);
            model.hasTransparency = 1;
        } else if (id == kIdVtrn && !reader.lwo2) {
            material.transparency = field.F4();
            model.hasTransparency = 1;
        } else if ((id == kIdTimg || id == kIdRimg) && !reader.lwo2) {
            ReadSurfaceImage(reader, field, material);
        } else if (id == kIdBlok && reader.lwo2) {
            ReadBlock(reader, field, material);
        }
        data.SeekTo(sub.end);
    }
}

void FillChunk(LwoReader& reader, int id, FieldReader& data)
{
    Model& model = *reader.model;
    if (id == kIdPnts) {
        ReadPoints(reader, data);
    } else if (id == kIdPols) {
        ReadPolygons(reader, data);
    } else if (id == kIdSrfs && !reader.lwo2) {
        while (data.More() && reader.namesFilled < model.MaterialCount()) {
            const std::string name = data.S0();
            const size_t m = static_cast<size_t>(reader.namesFilled++);
            reader.materialNames[m] = name;
            model.materials[m].name = name.substr(0, kMaxMaterialNameLength);
        }
    } else if (id == kIdPtag && reader.lwo2) {
        ReadPolygonTags(reader, data);
    } else if (id == kIdVmap && reader.lwo2) {
        ReadVertexMap(reader, data);
    } else if (id == kIdClip && reader.lwo2) {
        ReadClip(reader, data);
    } else if (id == kIdSurf) {
        ReadSurface(reader, data);
    }
}

// Walks the top-level chunks of the FORM, handing each one's data to the pass.
template <typename Handler>
void WalkChunks(LwoReader& reader, Handler handle)
{
    ReaderInput& in = reader.in;
    while (in.Tell() + 8 <= reader.formEnd) {
        const int id = ReadLwoId(in);
        const int64_t size = in.ReadBE32();
        const int64_t start = in.Tell();
        const int64_t next = std::min(start + size + (size & 1), reader.formEnd);
        FieldReader data(in, std::min(start + size, reader.formEnd));
        handle(id, data);
        in.SkipBytes(next - in.Tell(), SEEK_CUR);
    }
}

// Brings the faces' texture-coordinate indices in line with the coordinates each sub-mesh has.
void FinishSubMeshes(Model& model)
{
    for (SubMesh& mesh : model.subMeshes) {
        mesh.faceTexCoordIndices.clear();
        if (mesh.texCoords.empty() || mesh.faceIndices.empty()) continue;
        const uint32_t last = static_cast<uint32_t>(mesh.TexCoordCount() - 1);
        mesh.faceTexCoordIndices = mesh.faceIndices;
        for (uint32_t& index : mesh.faceTexCoordIndices) index = std::min(index, last);
    }
}

}  // namespace

int ReadLwoId(ReaderInput& in)
{
    char id[4];
    if (in.ReadBytes(id, 1, 4) != 4) return -1;
    const std::string_view text(id, 4);
    for (size_t i = 0; i < kLwoIds.size(); ++i) {
        if (kLwoIds[i] == text) return static_cast<int>(i);
    }
    return -1;
}

std::unique_ptr<Model> ReadLwoFile(const char* path, LoadContext& ctx)
{
    ReaderInput in(ctx);
    if (!in.Open(path)) return nullptr;
    const auto fail = [&ctx] {
        ctx.result.store(LoadResult::NotValidLwo);
        return std::unique_ptr<Model>();
    };

    // FORM, its size (counted from the type), LWOB or LWO2.
    LwoReader reader(in);
    if (ReadLwoId(in) != kIdForm) return fail();
    const int64_t formSize = in.ReadBE32();
    const int type = ReadLwoId(in);
    if (type != kIdLwob && type != kIdLwo2) return fail();
    reader.lwo2 = type == kIdLwo2;
    reader.formEnd = std::min<int64_t>(8 + formSize, in.Size());
    const int64_t bodyStart = in.Tell();

    // Pass 1: count polygon lists, surfaces and images.
    WalkChunks(reader, [&reader](int id, FieldReader& data) { CountChunk(reader, id, data); });

    // A file without polygon lists still keeps its points in one sub-mesh.
    const int32_t subMeshCount = std::max(reader.polygonLists, 1);
    const int64_t textureCount = static_cast<int64_t>(reader.imageNames.size()) + reader.clipImages;
    auto model = NewModel(subMeshCount, static_cast<int32_t>(reader.surfaceNames.size()),
                          static_cast<int32_t>(textureCount));
    for (Material& material : model->materials) material.textureIndex = -1;
    reader.model = model.get();
    reader.materialNames.assign(reader.surfaceNames.size(), std::string());
    if (reader.lwo2) {
        // LWO2 surfaces are named by the tags the polygons use.
        for (size_t m = 0; m < reader.surfaceNames.size(); ++m) {
            reader.materialNames[m] = reader.surfaceNames[m];
            model->materials[m].name = reader.surfaceNames[m].substr(0, kMaxMaterialNameLength);
        }
        reader.tagMaterial.assign(reader.tags.size(), -1);
        for (size_t t = 0; t < reader.tags.size(); ++t) {
            const auto found = reader.surfaceByName.find(reader.tags[t]);
            if (found != reader.surfaceByName.end()) reader.tagMaterial[t] = found->second;
        }
    }

    // Pass 2: fill.
    in.SkipBytes(bodyStart, SEEK_SET);
    WalkChunks(reader, [&reader](int id, FieldReader& data) { FillChunk(reader, id, data); });

    FinishSubMeshes(*model);
    return model;
}

}  // namespace solvane
