#include "rhino/rhino_file.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/reader_input.h"

namespace solvane {
namespace {

constexpr char kHeaderText[] = "3D Geometry File Format ";
constexpr size_t kHeaderTextLength = 24;
constexpr size_t kHeaderLength = 32;
// Open chunks nest only a few deep in version-1 files; deeper nesting is a damaged stream.
constexpr size_t kMaxOpenChunks = 64;
// No single string or block of a file is taken beyond this.
constexpr int64_t kMaxBlockBytes = int64_t{1} << 30;

// CRC-16-CCITT table, polynomial 0x1021, most significant bit first.
constexpr std::array<uint16_t, 256> MakeCrcTable()
{
    std::array<uint16_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t r = i << 8;
        for (int bit = 0; bit < 8; ++bit) r = (r & 0x8000) ? ((r << 1) ^ 0x1021) : (r << 1);
        table[i] = static_cast<uint16_t>(r);
    }
    return table;
}
constexpr std::array<uint16_t, 256> kCrcTable = MakeCrcTable();
static_assert(kCrcTable[1] == 0x1021);

uint16_t UpdateCrc(uint16_t r, const uint8_t* bytes, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        r = static_cast<uint16_t>((r << 8) ^ bytes[i] ^ kCrcTable[r >> 8]);
    return r;
}

struct TypecodeName {
    uint32_t typecode;
    const char* name;
};

constexpr TypecodeName kTypecodeNames[] = {
    {0xFFFFFFFFu, "TCODE_ENDOFTABLE"},
    {0x00000001u, "TCODE_COMMENTBLOCK"},
    {0x00000100u, "TCODE_STUFF"},
    {0x00010001u, "TCODE_AG_ASSEMBLY"},
    {0x00010002u, "TCODE_AG_PART"},
    {0x00010003u, "TCODE_AG_SHELL"},
    {0x00010004u, "TCODE_AG_FACE"},
    {0x00010005u, "TCODE_AG_BOUNDARY"},
    {0x00010006u, "TCODE_AG_TEDGE"},
    {0x00010007u, "TCODE_AG_SURFACE"},
    {0x00010008u, "TCODE_AG_CURVE"},
    {0x00010009u, "TCODE_AG_SPLINE"},
    {0x0001000Au, "TCODE_AG_POINT"},
    {0x00010101u, "TCODE_AG_ASSEMBLYSTUFF"},
    {0x00010102u, "TCODE_AG_PARTSTUFF"},
    {0x00010103u, "TCODE_AG_SHELLSTUFF"},
    {0x00010104u, "TCODE_AG_FACESTUFF"},
    {0x00010105u, "TCODE_AG_BOUNDARYSTUFF"},
    {0x00010106u, "TCODE_AG_TEDGESTUFF"},
    {0x00010107u, "TCODE_AG_SURFACESTUFF"},
    {0x00010108u, "TCODE_AG_CURVESTUFF"},
    {0x00010109u, "TCODE_AG_SPLINESTUFF"},
    {0x0001010Au, "TCODE_AG_POINTSTUFF"},
    {0x00020008u, "TCODE_RHINO_OBJECT_NURBS_CURVE"},
    {0x00020009u, "TCODE_RHINO_OBJECT_NURBS_SURFACE"},
    {0x0002FFFEu, "TCODE_RHINO_OBJECT_DATA"},
    {0x0002FFFFu, "TCODE_RHINO_OBJECT_END"},
    {0x00100001u, "TCODE_RH_POINT"},
    {0x00100011u, "TCODE_OLD_RH_TRIMESH"},
    {0x00100012u, "TCODE_OLD_MESH_VERTEX_NORMALS"},
    {0x00100013u, "TCODE_OLD_MESH_UV"},
    {0x00100014u, "TCODE_OLD_FULLMESH"},
    {0x00100015u, "TCODE_MESH_OBJECT"},
    {0x00100017u, "TCODE_COMPRESSED_MESH_GEOMETRY"},
    {0x00400002u, "TCODE_TEXTUREMAP"},
    {0x00400003u, "TCODE_BUMPMAP"},
    {0x00400010u, "TCODE_LAYER"},
    {0x00400011u, "TCODE_LAYERNAME"},
    {0x00400023u, "TCODE_DISP_MAXLENGTH"},
    {0x00800001u, "TCODE_RH_SPOTLIGHT"},
    {0x02000001u, "TCODE_NAME"},
    {0x02000002u, "TCODE_VIEW"},
    {0x02000003u, "TCODE_CPLANE"},
    {0x02000004u, "TCODE_NAMED_CPLANE"},
    {0x02000005u, "TCODE_NAMED_VIEW"},
    {0x02000006u, "TCODE_VIEWPORT"},
    {0x0200000Au, "TCODE_VIEWPORT_POSITION"},
    {0x0200000Bu, "TCODE_VIEWPORT_TRACEINFO"},
    {0x0200000Cu, "TCODE_SNAPSIZE"},
    {0x0200000Du, "TCODE_NEAR_CLIP_PLANE"},
    {0x0200000Eu, "TCODE_HIDE_TRACE"},
    {0x0200000Fu, "TCODE_NOTES"},
    {0x08000001u, "TCODE_TOL_AGFIT"},
    {0x08000002u, "TCODE_TOL_AGANGLE"},
    {0x40000001u, "TCODE_XDATA"},
    {0x80400001u, "TCODE_RGB"},
    {0x80400004u, "TCODE_TRANSPARENCY"},
    {0x80400005u, "TCODE_DISP_AM_RESOLUTION"},
    {0x80400006u, "TCODE_RGBDISPLAY"},
    {0x80400012u, "TCODE_LAYERVISIBLE"},
    {0x80400013u, "TCODE_LAYER_OBSELETE_1"},
    {0x80400014u, "TCODE_LAYER_OBSELETE_2"},
    {0x80400015u, "TCODE_LAYER_OBSELETE_3"},
    {0x80400016u, "TCODE_LAYERON"},
    {0x80400017u, "TCODE_LAYERTHAWED"},
    {0x80400018u, "TCODE_LAYERLOCKED"},
    {0x80400022u, "TCODE_DISP_CPLINES"},
    {0x80400025u, "TCODE_CURRENTLAYER"},
    {0x80400030u, "TCODE_LAYERPICKABLE"},
    {0x80400031u, "TCODE_LAYERSNAPABLE"},
    {0x80400032u, "TCODE_LAYERRENDERABLE"},
    {0x80400033u, "TCODE_LAYERSTATE"},
    {0x82000007u, "TCODE_SHOWGRID"},
    {0x82000008u, "TCODE_SHOWGRIDAXES"},
    {0x82000009u, "TCODE_SHOWWORLDAXES"},
    {0x90000001u, "TCODE_LAYERTABLE"},
    {0xA0000001u, "TCODE_LAYERREF"},
};

// ---- The classes the factory creates ----

// Geometry the converter does not turn into a model: the chunk layer reads the object and its
// data is skipped when its chunk is closed.
#define SOLVANE_RHINO_OBJECT_CLASS(ClassType)                                   \
    class ClassType : public CRhinoObject {                                     \
    public:                                                                     \
        using CRhinoObject::CRhinoObject;                                       \
        const char* ClassName() const override { return #ClassType; }          \
    }

SOLVANE_RHINO_OBJECT_CLASS(CRhinoAgShell);
SOLVANE_RHINO_OBJECT_CLASS(CRhinoAgFace);
SOLVANE_RHINO_OBJECT_CLASS(CRhinoAgSurface);
SOLVANE_RHINO_OBJECT_CLASS(CRhinoAgCurve);
SOLVANE_RHINO_OBJECT_CLASS(CRhinoAgSpline);
SOLVANE_RHINO_OBJECT_CLASS(CRhinoNurbsCurve);
SOLVANE_RHINO_OBJECT_CLASS(CRhinoNurbsSurface);
SOLVANE_RHINO_OBJECT_CLASS(CRhinoBrep);
SOLVANE_RHINO_OBJECT_CLASS(CRhinoPointSet);
SOLVANE_RHINO_OBJECT_CLASS(CRhinoSpotlight);
SOLVANE_RHINO_OBJECT_CLASS(CRhinoViewport);
#undef SOLVANE_RHINO_OBJECT_CLASS

class CRhinoEndOfTable : public CRhinoChunk {
public:
    using CRhinoChunk::CRhinoChunk;
    const char* ClassName() const override { return "CRhinoEndOfTable"; }
};

// The colour of a short RGB chunk: red in the lowest byte.
class CRhinoRGB : public CRhinoChunk {
public:
    using CRhinoChunk::CRhinoChunk;
    const char* ClassName() const override { return "CRhinoRGB"; }
    uint8_t Red() const { return static_cast<uint8_t>(Value()); }
    uint8_t Green() const { return static_cast<uint8_t>(Value() >> 8); }
    uint8_t Blue() const { return static_cast<uint8_t>(Value() >> 16); }
};

class CRhinoTransparency : public CRhinoChunk {
public:
    using CRhinoChunk::CRhinoChunk;
    const char* ClassName() const override { return "CRhinoTransparency"; }
    // The value clamped to 0..255, scaled to 0..1.
    double Transparency() const
    {
        const int64_t raw = static_cast<int32_t>(Value());
        const double t = static_cast<double>(std::clamp<int64_t>(raw, 0, 255)) / 255.0;
        return std::clamp(t, 0.0, 1.0);
    }
};

class CRhinoLayerIndex : public CRhinoChunk {
public:
    using CRhinoChunk::CRhinoChunk;
    const char* ClassName() const override { return "CRhinoLayerIndex"; }
};

// A chunk whose data is one string.
class CRhinoStringChunk : public CRhinoChunk {
public:
    using CRhinoChunk::CRhinoChunk;
    int Read(CRhinoFile& archive) override
    {
        text = archive.ReadString();
        return RhinoStatus::Good;
    }
    std::string text;
};

class CRhinoTextureMap : public CRhinoStringChunk {
public:
    using CRhinoStringChunk::CRhinoStringChunk;
    const char* ClassName() const override { return "CRhinoTextureMap"; }
};

class CRhinoBumpMap : public CRhinoStringChunk {
public:
    using CRhinoStringChunk::CRhinoStringChunk;
    const char* ClassName() const override { return "CRhinoBumpMap"; }
};

class CRhinoName : public CRhinoStringChunk {
public:
    using CRhinoStringChunk::CRhinoStringChunk;
    const char* ClassName() const override { return "CRhinoName"; }
};

// int32 version: 0 no name, 1 a string follows, anything else is skipped with the chunk.
class CRhinoRenderMaterialName : public CRhinoChunk {
public:
    using CRhinoChunk::CRhinoChunk;
    const char* ClassName() const override { return "CRhinoRenderMaterialName"; }
    int Read(CRhinoFile& archive) override
    {
        const int32_t version = archive.ReadInt32();
        if (version == 1) {
            name = archive.ReadString();
            hasName = true;
        }
        return RhinoStatus::Good;
    }
    std::string name;
    bool hasName = false;
};

// User data: the chunk's bytes, kept with the object.
class CRhinoXdata : public CRhinoChunk {
public:
    using CRhinoChunk::CRhinoChunk;
    const char* ClassName() const override { return "CRhinoXdata"; }
    int Read(CRhinoFile& archive) override
    {
        const int64_t size = archive.BytesLeft();
        if (size > kMaxBlockBytes) throw CRhinoException(1);
        bytes.resize(static_cast<size_t>(size));
        archive.ReadBytes(bytes.size(), bytes.data());
        return RhinoStatus::Good;
    }
    std::vector<uint8_t> bytes;
};

template <typename T>
std::unique_ptr<CRhinoChunk> CreateChunk(uint32_t typecode, uint32_t value)
{
    return std::make_unique<T>(typecode, value);
}

double DecodeLittleDouble(const uint8_t* b)
{
    uint64_t bits = 0;
    for (int i = 7; i >= 0; --i) bits = (bits << 8) | b[i];
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

}  // namespace

const char* RhinoTypecodeName(uint32_t typecode)
{
    for (const TypecodeName& entry : kTypecodeNames) {
        if (entry.typecode == typecode) return entry.name;
    }
    return "unknown typecode";
}

bool IsRhinoCrcTypecode(uint32_t typecode)
{
    return typecode > 0x00010100u && typecode < 0x0001010Bu;
}

// ---- CRhinoChunk and the object classes ----

bool CRhinoChunk::IsCrcChunk() const
{
    return !IsShortChunk() && IsRhinoCrcTypecode(typecode_);
}

int CRhinoChunk::Read(CRhinoFile&)
{
    return RhinoStatus::Good;  // the data is skipped when the chunk is closed
}

bool CRhinoChunk::GetBoundingBox(std::array<double, 6>&) const
{
    return false;
}

CRhinoMaterial& CRhinoObject::MaterialRecord()
{
    if (!material_) material_ = std::make_unique<CRhinoMaterial>();
    return *material_;
}

void CRhinoObject::ApplyAttribute(std::unique_ptr<CRhinoChunk> chunk)
{
    switch (chunk->Typecode()) {
    case TCODE_RGB: {
        CRhinoMaterial& material = MaterialRecord();
        material.colors[0] = material.colors[1] = chunk->Value() & 0x00FFFFFFu;
        material.colorExtra = chunk->Value() >> 24;
        break;
    }
    case TCODE_TRANSPARENCY:
        MaterialRecord().transparency = static_cast<const CRhinoTransparency&>(*chunk).Transparency();
        break;
    case TCODE_TEXTUREMAP:
        MaterialRecord().textureMap = static_cast<const CRhinoTextureMap&>(*chunk).text;
        break;
    case TCODE_BUMPMAP:
        MaterialRecord().bumpMap = static_cast<const CRhinoBumpMap&>(*chunk).text;
        break;
    case TCODE_RENDER_MATERIAL_NAME: {
        const auto& record = static_cast<const CRhinoRenderMaterialName&>(*chunk);
        CRhinoMaterial& material = MaterialRecord();
        if (record.hasName) {
            material.materialName = record.name;
            material.hasMaterialName = true;
        }
        break;
    }
    case TCODE_NAME: name_ = static_cast<const CRhinoName&>(*chunk).text; break;
    case TCODE_RGBDISPLAY: displayColor_ = chunk->Value(); break;
    case TCODE_LAYERREF: layerIndex_ = static_cast<int32_t>(chunk->Value()); break;
    case TCODE_XDATA: userData_.push_back(std::move(chunk)); break;
    default: break;
    }
}

int CRhinoObject::ReadAttributes(CRhinoFile& archive, uint32_t endTypecode)
{
    // An end typecode with bits 0x10000 and 0x100 (such as TCODE_ENDOFTABLE) is recognised by
    // looking ahead; any other is read as the block's last chunk.
    const bool lookAhead = (endTypecode & 0x10000u) != 0 && (endTypecode & 0x100u) != 0;
    for (;;) {
        // An object chunk that ends without its end chunk ends its attributes there.
        if (archive.BytesLeft() <= 0) return RhinoStatus::Good;
        if (lookAhead && archive.BytesLeft() >= 4 && archive.PeekTypecode() == endTypecode)
            return RhinoStatus::Good;
        std::unique_ptr<CRhinoChunk> chunk;
        const int status = archive.ReadChunk(chunk);
        if (status == RhinoStatus::EndOfFile) throw CRhinoException(1);
        if (status != RhinoStatus::Good) return status;
        if (!lookAhead && chunk->Typecode() == endTypecode) return RhinoStatus::Good;
        ApplyAttribute(std::move(chunk));
    }
}

int CRhinoMeshGeometry::Read(CRhinoFile& archive)
{
    const int32_t vertexCount = archive.ReadInt32();
    const int32_t faceCount = archive.ReadInt32();
    hasNormals = archive.ReadInt32() != 0;
    hasTexCoords = archive.ReadInt32() != 0;
    archive.ReadDoubles(6, box.data());
    if (vertexCount < 0 || faceCount < 0) return RhinoStatus::BadChunk;

    // Every block must fit in what the chunk holds before anything is allocated.
    const int64_t v = vertexCount, f = faceCount;
    const int64_t indexSize = v < 65536 ? 2 : 4;
    const int64_t needed = v * 6 + f * 4 * indexSize + (hasNormals ? v * 3 : 0) + (hasTexCoords ? v * 4 : 0);
    if (needed > archive.BytesLeft() || v * 12 > kMaxBlockBytes || f * 16 > kMaxBlockBytes)
        return RhinoStatus::BadChunk;

    std::vector<uint8_t> block(static_cast<size_t>(v * 6));
    archive.ReadBytes(block.size(), block.data());
    vertices.resize(static_cast<size_t>(v) * 3);
    for (size_t i = 0; i < vertices.size(); ++i) {
        const size_t axis = i % 3;
        const double q = block[2 * i] | (block[2 * i + 1] << 8);
        vertices[i] = static_cast<float>(box[axis] + q * (box[axis + 3] - box[axis]) / 65535.0);
    }

    block.resize(static_cast<size_t>(f * 4 * indexSize));
    archive.ReadBytes(block.size(), block.data());
    faces.resize(static_cast<size_t>(f) * 4);
    for (size_t i = 0; i < faces.size(); ++i) {
        const uint8_t* b = &block[i * static_cast<size_t>(indexSize)];
        faces[i] = indexSize == 2 ? static_cast<uint32_t>(b[0] | (b[1] << 8))
                                  : (uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 |
                                     uint32_t{b[3]} << 24);
    }

    if (hasNormals) {
        block.resize(static_cast<size_t>(v * 3));
        archive.ReadBytes(block.size(), block.data());
        normals.resize(block.size());
        for (size_t i = 0; i < normals.size(); i += 3) {
            double n[3];
            for (int k = 0; k < 3; ++k) n[k] = static_cast<int8_t>(block[i + k]) / 127.0;
            const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
            for (int k = 0; k < 3; ++k) normals[i + k] = static_cast<float>(length > 0 ? n[k] / length : n[k]);
        }
    }
    if (hasTexCoords) {
        block.resize(static_cast<size_t>(v * 4));
        archive.ReadBytes(block.size(), block.data());
        texCoords.resize(static_cast<size_t>(v) * 2);
        for (size_t i = 0; i < texCoords.size(); ++i)
            texCoords[i] = static_cast<float>((block[2 * i] | (block[2 * i + 1] << 8)) / 65535.0);
    }
    return RhinoStatus::Good;
}

bool CRhinoMeshGeometry::GetBoundingBox(std::array<double, 6>& result) const
{
    if (vertices.empty()) return false;
    result = {vertices[0], vertices[1], vertices[2], vertices[0], vertices[1], vertices[2]};
    for (size_t i = 0; i < vertices.size(); ++i) {
        result[i % 3] = std::min<double>(result[i % 3], vertices[i]);
        result[3 + i % 3] = std::max<double>(result[3 + i % 3], vertices[i]);
    }
    return true;
}

int CRhinoMesh::Read(CRhinoFile& archive)
{
    std::unique_ptr<CRhinoChunk> first;
    const int status = archive.ReadChunk(first);
    if (status == RhinoStatus::EndOfFile) throw CRhinoException(1);
    if (status != RhinoStatus::Good) return status;
    if (first->Typecode() != TCODE_COMPRESSED_MESH_GEOMETRY) return RhinoStatus::BadChunk;
    geometry_.reset(static_cast<CRhinoMeshGeometry*>(first.release()));
    return ReadAttributes(archive, TCODE_ENDOFTABLE);
}

bool CRhinoMesh::GetBoundingBox(std::array<double, 6>& box) const
{
    return geometry_ && geometry_->GetBoundingBox(box);
}

int CRhinoLayer::Read(CRhinoFile& archive)
{
    // Nested chunks up to the layer's end or an end-of-table chunk.
    while (archive.BytesLeft() >= 8) {
        uint32_t typecode = 0, value = 0;
        const int begin = archive.BeginReadChunk(typecode, value);
        if (begin != RhinoStatus::Good) return begin;
        if (typecode == TCODE_LAYERNAME) {
            const int64_t size = archive.BytesLeft();
            if (size > kMaxBlockBytes) throw CRhinoException(1);
            name.assign(static_cast<size_t>(size), '\0');
            archive.ReadBytes(name.size(), name.data());
            name.resize(std::strlen(name.c_str()));
        } else if (typecode == TCODE_RGB) {
            color = value;
        } else if (typecode == TCODE_LAYERSTATE) {
            state = value;
        }
        const int end = archive.EndReadChunk();
        if (end != RhinoStatus::Good) return end;
        if (typecode == TCODE_ENDOFTABLE) break;
    }
    return RhinoStatus::Good;
}

int CRhinoNotes::Read(CRhinoFile& archive)
{
    text = archive.ReadString();
    return RhinoStatus::Good;
}

int CRhinoUnitsAndTolerances::Read(CRhinoFile& archive)
{
    if (archive.BytesLeft() < 4) return RhinoStatus::Good;
    units = archive.ReadInt32();
    fieldsRead = 1;
    double* fields[] = {&unitValues[0], &unitValues[1], &absoluteTolerance, &relativeTolerance,
                        &angleTolerance};
    for (double* field : fields) {
        if (archive.BytesLeft() < 8) break;
        *field = archive.ReadDouble();
        ++fieldsRead;
    }
    return RhinoStatus::Good;
}

// ---- The archive ----

CRhinoFile::CRhinoFile(ReaderInput& in) : in_(in)
{
    stack_.reserve(kMaxOpenChunks);
    RegisterClasses();
    ReadHeader();
}

CRhinoFile::~CRhinoFile()
{
    // Unlink the registrations one by one rather than through a chain of destructors.
    while (registrations_) registrations_ = std::move(registrations_->next);
}

void CRhinoFile::Register(uint32_t typecode, CreateFunction create)
{
    auto registration = std::make_unique<Registration>();
    registration->typecode = typecode;
    registration->create = create;
    registration->next = std::move(registrations_);
    registrations_ = std::move(registration);
}

void CRhinoFile::RegisterClasses()
{
    Register(TCODE_ENDOFTABLE, CreateChunk<CRhinoEndOfTable>);
    Register(TCODE_AG_SHELL, CreateChunk<CRhinoAgShell>);
    Register(TCODE_AG_FACE, CreateChunk<CRhinoAgFace>);
    Register(TCODE_AG_SURFACE, CreateChunk<CRhinoAgSurface>);
    Register(TCODE_AG_CURVE, CreateChunk<CRhinoAgCurve>);
    Register(TCODE_AG_SPLINE, CreateChunk<CRhinoAgSpline>);
    Register(TCODE_RHINO_OBJECT_NURBS_CURVE, CreateChunk<CRhinoNurbsCurve>);
    Register(TCODE_RHINO_OBJECT_NURBS_SURFACE, CreateChunk<CRhinoNurbsSurface>);
    Register(TCODE_RHINO_OBJECT_BREP, CreateChunk<CRhinoBrep>);
    Register(TCODE_RH_POINT, CreateChunk<CRhinoPointSet>);
    Register(TCODE_MESH_OBJECT, CreateChunk<CRhinoMesh>);
    Register(TCODE_COMPRESSED_MESH_GEOMETRY, CreateChunk<CRhinoMeshGeometry>);
    Register(TCODE_TEXTUREMAP, CreateChunk<CRhinoTextureMap>);
    Register(TCODE_BUMPMAP, CreateChunk<CRhinoBumpMap>);
    Register(TCODE_RENDER_MATERIAL_NAME, CreateChunk<CRhinoRenderMaterialName>);
    Register(TCODE_LAYER, CreateChunk<CRhinoLayer>);
    Register(TCODE_RH_SPOTLIGHT, CreateChunk<CRhinoSpotlight>);
    Register(TCODE_NAME, CreateChunk<CRhinoName>);
    Register(TCODE_VIEWPORT, CreateChunk<CRhinoViewport>);
    Register(TCODE_NOTES, CreateChunk<CRhinoNotes>);
    Register(TCODE_UNITS_AND_TOLERANCES, CreateChunk<CRhinoUnitsAndTolerances>);
    Register(TCODE_XDATA, CreateChunk<CRhinoXdata>);
    Register(TCODE_RGB, CreateChunk<CRhinoRGB>);
    Register(TCODE_TRANSPARENCY, CreateChunk<CRhinoTransparency>);
    Register(TCODE_LAYERREF, CreateChunk<CRhinoLayerIndex>);
}

std::unique_ptr<CRhinoChunk> CRhinoFile::Create(uint32_t typecode, uint32_t value) const
{
    for (const Registration* r = registrations_.get(); r; r = r->next.get()) {
        if (r->typecode == typecode) return r->create(typecode, value);
    }
    return std::make_unique<CRhinoChunk>(typecode, value);
}

void CRhinoFile::ReadHeader()
{
    uint8_t header[kHeaderLength];
    ReadRaw(header, kHeaderLength);
    if (std::memcmp(header, kHeaderText, kHeaderTextLength) != 0) throw CRhinoException(1);
    // The version as "%d" reads it from byte 24: blanks, a sign, digits.
    size_t i = kHeaderTextLength;
    while (i < kHeaderLength && (header[i] == ' ' || (header[i] >= '\t' && header[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < kHeaderLength && (header[i] == '+' || header[i] == '-')) negative = header[i++] == '-';
    int64_t version = 0;
    bool anyDigit = false;
    for (; i < kHeaderLength && header[i] >= '0' && header[i] <= '9'; ++i) {
        version = version * 10 + (header[i] - '0');
        anyDigit = true;
    }
    if (!anyDigit || negative || version != 1) throw CRhinoException(1);
}

int64_t CRhinoFile::Limit() const
{
    if (stack_.empty()) return in_.Size();
    const OpenChunk& top = stack_.back();
    return top.end;
}

int64_t CRhinoFile::BytesLeft() const
{
    return Limit() - in_.Tell();
}

void CRhinoFile::ReadRaw(uint8_t* destination, size_t count)
{
    if (count == 0) return;
    if (static_cast<int64_t>(count) > BytesLeft()) throw CRhinoException(1);
    if (in_.ReadBytes(destination, 1, count) != count) throw CRhinoException(1);
    for (OpenChunk& chunk : stack_) {
        if (chunk.hasCrc) chunk.crc = UpdateCrc(chunk.crc, destination, count);
    }
}

void CRhinoFile::SkipRaw(int64_t count)
{
    if (count <= 0) return;
    if (count > BytesLeft()) throw CRhinoException(2);
    const bool anyCrc = std::any_of(stack_.begin(), stack_.end(), [](const OpenChunk& c) { return c.hasCrc; });
    if (!anyCrc) {
        if (!in_.SkipBytes(count, SEEK_CUR)) throw CRhinoException(2);
        return;
    }
    // Bytes skipped inside a CRC chunk still count for its CRC.
    uint8_t buffer[4096];
    while (count > 0) {
        const size_t take = static_cast<size_t>(std::min<int64_t>(count, sizeof buffer));
        ReadRaw(buffer, take);
        count -= static_cast<int64_t>(take);
    }
}

void CRhinoFile::ReadBytes(size_t count, void* destination)
{
    ReadRaw(static_cast<uint8_t*>(destination), count);
}

void CRhinoFile::ReadInt32s(size_t count, int32_t* destination)
{
    for (size_t i = 0; i < count; ++i) {
        uint8_t b[4];
        ReadRaw(b, 4);
        destination[i] = static_cast<int32_t>(uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 |
                                              uint32_t{b[3]} << 24);
    }
}

void CRhinoFile::ReadInt16s(size_t count, int16_t* destination)
{
    for (size_t i = 0; i < count; ++i) {
        uint8_t b[2];
        ReadRaw(b, 2);
        destination[i] = static_cast<int16_t>(b[0] | (b[1] << 8));
    }
}

void CRhinoFile::ReadDoubles(size_t count, double* destination)
{
    for (size_t i = 0; i < count; ++i) {
        uint8_t b[8];
        ReadRaw(b, 8);
        destination[i] = DecodeLittleDouble(b);
    }
}

int32_t CRhinoFile::ReadInt32()
{
    int32_t value = 0;
    ReadInt32s(1, &value);
    return value;
}

double CRhinoFile::ReadDouble()
{
    double value = 0;
    ReadDoubles(1, &value);
    return value;
}

std::string CRhinoFile::ReadString()
{
    const int32_t length = ReadInt32();
    if (length < 0 || length > BytesLeft() || length > kMaxBlockBytes) throw CRhinoException(1);
    std::string text(static_cast<size_t>(length), '\0');
    ReadRaw(reinterpret_cast<uint8_t*>(text.data()), text.size());
    return text;
}

void CRhinoFile::SkipRestOfChunk()
{
    if (!stack_.empty()) SkipRaw(BytesLeft());
}

uint32_t CRhinoFile::PeekTypecode()
{
    if (BytesLeft() < 4) throw CRhinoException(1);
    uint8_t b[4];
    if (in_.ReadBytes(b, 1, 4) != 4) throw CRhinoException(1);
    if (!in_.SkipBytes(-4, SEEK_CUR)) throw CRhinoException(2);
    return uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 | uint32_t{b[3]} << 24;
}

int CRhinoFile::BeginReadChunk(uint32_t& typecode, uint32_t& value)
{
    if (stack_.empty() && in_.AtEnd()) {
        endOfFile_ = true;
        return RhinoStatus::EndOfFile;
    }
    if (stack_.size() >= kMaxOpenChunks) throw CRhinoException(1);
    int32_t header[2];
    ReadInt32s(2, header);
    typecode = static_cast<uint32_t>(header[0]);
    value = static_cast<uint32_t>(header[1]);

    OpenChunk chunk;
    chunk.typecode = typecode;
    const int64_t dataStart = in_.Tell();
    chunk.end = dataStart;
    if ((typecode & kRhinoShortChunkBit) == 0) {
        chunk.length = value;
        chunk.end = dataStart + chunk.length;
        // A long chunk must fit inside the chunk (or the file) around it.
        if (chunk.end > Limit()) throw CRhinoException(1);
        if (IsRhinoCrcTypecode(typecode)) {
            if (chunk.length < 2) throw CRhinoException(1);
            chunk.hasCrc = true;
            chunk.crc = 1;
        }
    }
    stack_.push_back(chunk);
    return RhinoStatus::Good;
}

int CRhinoFile::EndReadChunk()
{
    if (stack_.empty()) throw CRhinoException(2);
    // Data a class did not read is skipped; inside a CRC chunk it still passes through the CRC,
    // up to and including the two CRC bytes that end the chunk.
    SkipRaw(BytesLeft());
    const OpenChunk chunk = stack_.back();
    stack_.pop_back();
    if (chunk.hasCrc && chunk.crc != 0) return RhinoStatus::BadChunk;
    return RhinoStatus::Good;
}

int CRhinoFile::ReadChunk(std::unique_ptr<CRhinoChunk>& object)
{
    object.reset();
    uint32_t typecode = 0, value = 0;
    const int begin = BeginReadChunk(typecode, value);
    if (begin != RhinoStatus::Good) return begin;
    object = Create(typecode, value);
    const int read = object->Read(*this);
    const int end = EndReadChunk();
    return read != RhinoStatus::Good ? read : end;
}

int CRhinoFile::ReadObject(std::unique_ptr<CRhinoChunk>& object)
{
    for (;;) {
        const int status = ReadChunk(object);
        if (status != RhinoStatus::Good) return status;
        if (object->IsGeometryObject()) return status;
        // The file-wide records stay with the archive; everything else is dropped.
        switch (object->Typecode()) {
        case TCODE_LAYER:
            layers.emplace_back(static_cast<CRhinoLayer*>(object.release()));
            break;
        case TCODE_NOTES:
            notes.reset(static_cast<CRhinoNotes*>(object.release()));
            break;
        case TCODE_UNITS_AND_TOLERANCES: {
            const auto& record = static_cast<const CRhinoUnitsAndTolerances&>(*object);
            if (record.fieldsRead >= 1) units = record.units;
            if (record.fieldsRead >= 3) unitValues = record.unitValues;
            if (record.fieldsRead >= 4) absoluteTolerance = record.absoluteTolerance;
            if (record.fieldsRead >= 5) relativeTolerance = record.relativeTolerance;
            if (record.fieldsRead >= 6) angleTolerance = record.angleTolerance;
            break;
        }
        default:
            break;
        }
        object.reset();
    }
}

}  // namespace solvane
