// The chunk stream of Rhino 3DM files of version 1, in the reading direction: the header check,
// long and short chunks with their optional CRC, the stack of open chunks, the class factory that
// turns a typecode into an object, and the loop that hands out one top-level object at a time.
//
// Stream errors (a read past the data, a chunk shorter than its own bookkeeping, a wrong header)
// are thrown as CRhinoException; a CRC mismatch or a class's own failure is status 1.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace solvane {

class ReaderInput;
class CRhinoFile;

// Typecodes. Bit 31 marks a short chunk (its value is the payload).
constexpr uint32_t TCODE_ENDOFTABLE = 0xFFFFFFFFu;
constexpr uint32_t TCODE_COMMENTBLOCK = 0x00000001u;
constexpr uint32_t TCODE_STUFF = 0x00000100u;
constexpr uint32_t TCODE_AG_ASSEMBLY = 0x00010001u;
constexpr uint32_t TCODE_AG_PART = 0x00010002u;
constexpr uint32_t TCODE_AG_SHELL = 0x00010003u;
constexpr uint32_t TCODE_AG_FACE = 0x00010004u;
constexpr uint32_t TCODE_AG_BOUNDARY = 0x00010005u;
constexpr uint32_t TCODE_AG_TEDGE = 0x00010006u;
constexpr uint32_t TCODE_AG_SURFACE = 0x00010007u;
constexpr uint32_t TCODE_AG_CURVE = 0x00010008u;
constexpr uint32_t TCODE_AG_SPLINE = 0x00010009u;
constexpr uint32_t TCODE_AG_POINT = 0x0001000Au;
constexpr uint32_t TCODE_AG_ASSEMBLYSTUFF = 0x00010101u;
constexpr uint32_t TCODE_AG_POINTSTUFF = 0x0001010Au;
constexpr uint32_t TCODE_RHINO_OBJECT_NURBS_CURVE = 0x00020008u;
constexpr uint32_t TCODE_RHINO_OBJECT_NURBS_SURFACE = 0x00020009u;
constexpr uint32_t TCODE_RHINO_OBJECT_BREP = 0x0002000Bu;
constexpr uint32_t TCODE_RHINO_OBJECT_DATA = 0x0002FFFEu;
constexpr uint32_t TCODE_RHINO_OBJECT_END = 0x0002FFFFu;
constexpr uint32_t TCODE_RH_POINT = 0x00100001u;
constexpr uint32_t TCODE_OLD_RH_TRIMESH = 0x00100011u;
constexpr uint32_t TCODE_OLD_MESH_VERTEX_NORMALS = 0x00100012u;
constexpr uint32_t TCODE_OLD_MESH_UV = 0x00100013u;
constexpr uint32_t TCODE_OLD_FULLMESH = 0x00100014u;
constexpr uint32_t TCODE_MESH_OBJECT = 0x00100015u;
constexpr uint32_t TCODE_COMPRESSED_MESH_GEOMETRY = 0x00100017u;
constexpr uint32_t TCODE_TEXTUREMAP = 0x00400002u;
constexpr uint32_t TCODE_BUMPMAP = 0x00400003u;
constexpr uint32_t TCODE_RENDER_MATERIAL_NAME = 0x00400007u;  // has no name of its own
constexpr uint32_t TCODE_LAYER = 0x00400010u;
constexpr uint32_t TCODE_LAYERNAME = 0x00400011u;
constexpr uint32_t TCODE_DISP_MAXLENGTH = 0x00400023u;
constexpr uint32_t TCODE_RH_SPOTLIGHT = 0x00800001u;
constexpr uint32_t TCODE_NAME = 0x02000001u;
constexpr uint32_t TCODE_VIEW = 0x02000002u;
constexpr uint32_t TCODE_VIEWPORT = 0x02000006u;
constexpr uint32_t TCODE_VIEWPORT_POSITION = 0x0200000Au;
constexpr uint32_t TCODE_NOTES = 0x0200000Fu;
constexpr uint32_t TCODE_UNITS_AND_TOLERANCES = 0x02000010u;  // has no name of its own
constexpr uint32_t TCODE_TOL_AGFIT = 0x08000001u;
constexpr uint32_t TCODE_TOL_AGANGLE = 0x08000002u;
constexpr uint32_t TCODE_XDATA = 0x40000001u;
constexpr uint32_t TCODE_RGB = 0x80400001u;
constexpr uint32_t TCODE_TRANSPARENCY = 0x80400004u;
constexpr uint32_t TCODE_DISP_AM_RESOLUTION = 0x80400005u;
constexpr uint32_t TCODE_RGBDISPLAY = 0x80400006u;
constexpr uint32_t TCODE_LAYERSTATE = 0x80400033u;
constexpr uint32_t TCODE_LAYERTABLE = 0x90000001u;
constexpr uint32_t TCODE_LAYERREF = 0xA0000001u;

constexpr uint32_t kRhinoShortChunkBit = 0x80000000u;

// The typecode's name ("TCODE_MESH_OBJECT"), or "unknown typecode".
const char* RhinoTypecodeName(uint32_t typecode);
// Whether a long chunk of this typecode ends with a CRC (the kernel-data chunks 0x10101-0x1010A).
bool IsRhinoCrcTypecode(uint32_t typecode);

// A stream error: code 1 when a read fails, 2 when positioning fails.
class CRhinoException {
public:
    explicit CRhinoException(int code) : code_(code) {}
    int Code() const { return code_; }

private:
    int code_;
};

// Status values of the chunk operations.
namespace RhinoStatus {
constexpr int Good = 0;
constexpr int BadChunk = 1;
constexpr int EndOfFile = 2;
}  // namespace RhinoStatus

// The base of everything read: a chunk that keeps its typecode and value. Its data, if it has
// any, is skipped when the chunk is closed.
class CRhinoChunk {
public:
    CRhinoChunk(uint32_t typecode, uint32_t value) : typecode_(typecode), value_(value) {}
    virtual ~CRhinoChunk() = default;
    CRhinoChunk(const CRhinoChunk&) = delete;
    CRhinoChunk& operator=(const CRhinoChunk&) = delete;

    virtual bool IsCrcChunk() const;
    virtual bool IsGeometryObject() const { return false; }
    virtual bool IsValid() const { return true; }
    virtual const char* ClassName() const { return "CRhinoChunk"; }
    // Reads the chunk's data (the archive has opened the chunk); returns a status.
    virtual int Read(CRhinoFile& archive);
    // Fills the box (min x, y, z, max x, y, z) of geometry that has one.
    virtual bool GetBoundingBox(std::array<double, 6>& box) const;

    uint32_t Typecode() const { return typecode_; }
    uint32_t Value() const { return value_; }
    bool IsShortChunk() const { return (typecode_ & kRhinoShortChunkBit) != 0; }

private:
    uint32_t typecode_;
    uint32_t value_;
};

// The material attributes of an object: four colour slots (0x00BBGGRR), a transparency and the
// names of its texture map, bump map and render material.
struct CRhinoMaterial {
    std::array<uint32_t, 4> colors{0, 0, 0, 0};
    uint32_t colorExtra = 0;  // the top byte of the RGB value
    double transparency = 0;
    std::string textureMap;
    std::string bumpMap;
    std::string materialName;
    bool hasMaterialName = false;
};

// A geometry object: geometry first, then attribute chunks up to an end typecode.
class CRhinoObject : public CRhinoChunk {
public:
    using CRhinoChunk::CRhinoChunk;
    bool IsGeometryObject() const override { return true; }
    const char* ClassName() const override { return "CRhinoObject"; }

    // Reads attribute chunks until one with the end typecode (see the implementation for how
    // the end is recognised); returns a status.
    int ReadAttributes(CRhinoFile& archive, uint32_t endTypecode);

    const std::string& Name() const { return name_; }
    const CRhinoMaterial* Material() const { return material_.get(); }
    uint32_t DisplayColor() const { return displayColor_; }
    int32_t LayerIndex() const { return layerIndex_; }
    size_t UserDataCount() const { return userData_.size(); }

private:
    CRhinoMaterial& MaterialRecord();
    void ApplyAttribute(std::unique_ptr<CRhinoChunk> chunk);

    std::string name_;
    std::unique_ptr<CRhinoMaterial> material_;
    uint32_t displayColor_ = 0;
    int32_t layerIndex_ = -1;
    std::vector<std::unique_ptr<CRhinoChunk>> userData_;
};

// The data of a compressed mesh: positions quantised to 16 bits inside a box, faces of four
// corners, optional normals of three signed bytes and coordinates of two 16-bit values.
class CRhinoMeshGeometry : public CRhinoChunk {
public:
    using CRhinoChunk::CRhinoChunk;
    const char* ClassName() const override { return "CRhinoMeshGeometry"; }
    int Read(CRhinoFile& archive) override;
    bool IsValid() const override { return !vertices.empty(); }
    bool GetBoundingBox(std::array<double, 6>& box) const override;

    std::array<double, 6> box{0, 0, 0, 0, 0, 0};  // min x, y, z, max x, y, z
    std::vector<float> vertices;                   // x, y, z per vertex
    std::vector<uint32_t> faces;                   // a, b, c, d per face
    std::vector<float> normals;                    // empty, or x, y, z per vertex
    std::vector<float> texCoords;                  // empty, or u, v per vertex
    bool hasNormals = false;
    bool hasTexCoords = false;
};

// A mesh object: its compressed geometry chunk, then its attributes.
class CRhinoMesh : public CRhinoObject {
public:
    using CRhinoObject::CRhinoObject;
    const char* ClassName() const override { return "CRhinoMesh"; }
    int Read(CRhinoFile& archive) override;
    bool IsValid() const override { return geometry_ && geometry_->IsValid(); }
    bool GetBoundingBox(std::array<double, 6>& box) const override;

    const CRhinoMeshGeometry* Geometry() const { return geometry_.get(); }

private:
    std::unique_ptr<CRhinoMeshGeometry> geometry_;
};

// A layer record: name, colour and state from its nested chunks.
class CRhinoLayer : public CRhinoChunk {
public:
    using CRhinoChunk::CRhinoChunk;
    const char* ClassName() const override { return "CRhinoLayer"; }
    int Read(CRhinoFile& archive) override;

    std::string name;
    uint32_t color = 0;
    uint32_t state = 0;
};

// The notes of the file: a string.
class CRhinoNotes : public CRhinoChunk {
public:
    using CRhinoChunk::CRhinoChunk;
    const char* ClassName() const override { return "CRhinoNotes"; }
    int Read(CRhinoFile& archive) override;

    std::string text;
};

// Units and tolerances: int32 unit system, two doubles of the unit, then the absolute, relative
// and angle tolerances (doubles). A shorter record supplies the leading fields only.
class CRhinoUnitsAndTolerances : public CRhinoChunk {
public:
    using CRhinoChunk::CRhinoChunk;
    const char* ClassName() const override { return "CRhinoUnitsAndTolerances"; }
    int Read(CRhinoFile& archive) override;

    int32_t units = 0;
    std::array<double, 2> unitValues{0, 0};
    int fieldsRead = 0;  // how many of the six fields the record held
    double absoluteTolerance = 0;
    double relativeTolerance = 0;
    double angleTolerance = 0;
};

// The archive in the reading direction, over a reader input positioned at the file's start.
class CRhinoFile {
public:
    // Registers the classes and checks the header; throws CRhinoException for a wrong header or
    // a version other than 1.
    explicit CRhinoFile(ReaderInput& in);
    ~CRhinoFile();
    CRhinoFile(const CRhinoFile&) = delete;
    CRhinoFile& operator=(const CRhinoFile&) = delete;

    int BeginReadChunk(uint32_t& typecode, uint32_t& value);
    int EndReadChunk();
    // Opens a chunk, makes its object with the factory, reads it and closes the chunk.
    int ReadChunk(std::unique_ptr<CRhinoChunk>& object);
    // The next top-level geometry object; the file-wide records on the way are kept or dropped.
    int ReadObject(std::unique_ptr<CRhinoChunk>& object);

    void ReadInt32s(size_t count, int32_t* destination);
    void ReadInt16s(size_t count, int16_t* destination);
    void ReadDoubles(size_t count, double* destination);
    void ReadBytes(size_t count, void* destination);
    int32_t ReadInt32();
    double ReadDouble();
    // An int32 length n and n bytes.
    std::string ReadString();
    void SkipRestOfChunk();
    // The typecode of the next chunk, without consuming it.
    uint32_t PeekTypecode();
    // Data bytes left in the innermost open chunk (0 in a short chunk; the rest of the file at
    // the top level).
    int64_t BytesLeft() const;
    int Depth() const { return static_cast<int>(stack_.size()); }
    bool AtEndOfFile() const { return endOfFile_; }

    double absoluteTolerance = 0.01;
    double relativeTolerance = 0.01;
    double angleTolerance = 0.0523598775598;  // pi / 60
    int32_t units = 0;
    std::array<double, 2> unitValues{0, 0};
    std::unique_ptr<CRhinoNotes> notes;
    std::vector<std::unique_ptr<CRhinoLayer>> layers;

private:
    struct OpenChunk {
        uint32_t typecode = 0;
        int64_t length = 0;
        int64_t end = 0;
        bool hasCrc = false;
        uint16_t crc = 0;
    };
    using CreateFunction = std::unique_ptr<CRhinoChunk> (*)(uint32_t typecode, uint32_t value);
    struct Registration {
        uint32_t typecode;
        CreateFunction create;
        std::unique_ptr<Registration> next;
    };

    void RegisterClasses();
    void Register(uint32_t typecode, CreateFunction create);
    std::unique_ptr<CRhinoChunk> Create(uint32_t typecode, uint32_t value) const;
    void ReadHeader();
    // Reads bytes of the innermost chunk, passing them through every open CRC.
    void ReadRaw(uint8_t* destination, size_t count);
    // Moves over bytes of the innermost chunk (read through the CRC when one is open).
    void SkipRaw(int64_t count);
    int64_t Limit() const;

    ReaderInput& in_;
    bool endOfFile_ = false;
    std::vector<OpenChunk> stack_;
    std::unique_ptr<Registration> registrations_;
};

}  // namespace solvane
