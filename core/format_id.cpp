#include "core/format_id.h"

#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <cstring>

namespace solvane {
namespace {

bool EqualNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

struct ExtensionEntry {
    const char* extension;
    FormatId id;
};

constexpr ExtensionEntry kModelExtensions[] = {
    {"OFF", Format::Off},  {"COB", Format::TrueSpace}, {"SCN", Format::TrueSpace},
    {"PRJ", Format::Studio3ds}, {"MDL", Format::Mdl}, {"MD2", Format::Md2},
    {"MD3", Format::Md3},  {"DXF", Format::Dxf},       {"L3D", Format::L3d},
    {"LWO", Format::LightWave}, {"VTK", Format::Vtk}, {"OBJ", Format::Obj},
    {"SVO", Format::Solvane}, {"SVS", Format::Solvane}, {"NFF", Format::Nff},
    {"PLY", Format::Ply},  {"PRO", Format::PowerRender}, {"X", Format::DirectX},
    {"3DM", Format::Rhino}, {"3D2", Format::StereoCad}, {"3DS", Format::Studio3ds},
};

struct ImageExtension {
    const char* extension;
    FormatId id;
    bool chosen;  // offered by the image choosers (SGI RGB is only ever named by models)
};

constexpr ImageExtension kImageExtensions[] = {
    {"BMP", Format::Bmp, true}, {"IFF", Format::Iff, true}, {"JPG", Format::Jpeg, true},
    {"PCX", Format::Pcx, true}, {"TGA", Format::Tga, true}, {"PPM", Format::Ppm, true},
    {"PNG", Format::Png, true}, {"RGB", Format::SgiRgb, false},
};

FormatId ImageIdOf(std::string_view extension, bool chosenOnly)
{
    for (const ImageExtension& entry : kImageExtensions) {
        if ((entry.chosen || !chosenOnly) && EqualNoCase(extension, entry.extension)) return entry.id;
    }
    return Format::Unknown;
}

std::string_view Unquoted(std::string_view path)
{
    if (path.size() >= 2 && path.front() == '"' && path.back() == '"') return path.substr(1, path.size() - 2);
    return path;
}

struct Description {
    const char* extension;
    const char* text;
};

constexpr Description kDescriptions[] = {
    {"OFF", "GeomView 3D object"},       {"3DM", "Rhino object"},
    {"COB", "Truespace 3D object"},      {"SCN", "Truespace 3D scene"},
    {"PRJ", "3D Studio 3D project"},     {"MDL", "Quake 1 Model"},
    {"MD2", "Quake 2 Model"},            {"MD3", "Quake 3 Arena Model"},
    {"DXF", "AutoCAD 3D object"},        {"L3D", "Black and White Model"},
    {"LWO", "Lightwave 3D object"},      {"VTK", "VTK 3D object"},
    {"NFF", "WorldToolKit 3D object"},   {"OBJ", "Wavefront 3D object"},
    {"SVO", "Solvane 3D object"},        {"SVS", "Solvane 3D scene"},
    {"PLY", "Polygon File Format"},      {"PRO", "Power Render Pro 3D object"},
    {"X", "DirectX 3D object"},          {"3D2", "Stereo CAD-3D 3D object"},
    {"3DS", "3D Studio 3D object"},
};

std::string_view StripDot(std::string_view extension)
{
    if (!extension.empty() && extension.front() == '.') extension.remove_prefix(1);
    return extension;
}

bool IsLetter(uint8_t byte, char upper)
{
    return std::toupper(byte) == upper;
}

}  // namespace

std::string_view PathExtension(std::string_view path)
{
    const size_t n = path.size();
    if (n >= 4 && path[n - 4] == '.') return path.substr(n - 3);
    if (n >= 3 && path[n - 3] == '.') return path.substr(n - 2);
    if (n >= 2 && path[n - 2] == '.') return path.substr(n - 1);
    return {};
}

FormatId FormatFromExtension(std::string_view extension)
{
    extension = StripDot(extension);
    for (const ExtensionEntry& entry : kModelExtensions) {
        if (EqualNoCase(extension, entry.extension)) return entry.id;
    }
    return Format::Unknown;
}

FormatId ImageFormatFromName(std::string_view name)
{
    const std::string_view extension = PathExtension(name);
    return extension.empty() ? Format::Unknown : ImageIdOf(extension, false);
}

FormatId ImageFormatForChosenFile(std::string_view path)
{
    path = Unquoted(path);
    return path.size() < 3 ? Format::Unknown : ImageIdOf(path.substr(path.size() - 3), true);
}

FormatId ImageFormatFromExtension(std::string_view path)
{
    path = Unquoted(path);
    const size_t dot = path.find_last_of('.');
    const size_t slash = path.find_last_of("/\\");
    if (dot == std::string_view::npos || (slash != std::string_view::npos && slash > dot)) return Format::Unknown;
    return ImageIdOf(path.substr(dot + 1), true);
}

FormatId FormatFromMagicBytes(const uint8_t* bytes, size_t count)
{
    // Unread bytes of the 32-byte window hold 0xCD, as the original fill pattern does.
    uint8_t b[32];
    std::memset(b, 0xCD, sizeof b);
    std::memcpy(b, bytes, count < 32 ? count : 32);
    auto starts = [&](const char* text, size_t offset = 0) {
        return std::memcmp(b + offset, text, std::strlen(text)) == 0;
    };
    const unsigned le16 = b[0] | (b[1] << 8);
    if (starts("OFF") || starts("off")) return Format::Off;
    if (starts("Caligari ")) return Format::TrueSpace;
    if (b[0] == 0x3D && b[1] == 0x02) return Format::StereoCad;
    if (le16 == 0x4D4D || le16 == 0xC23D) return Format::Studio3ds;
    const bool idp = IsLetter(b[0], 'I') && IsLetter(b[1], 'D') && IsLetter(b[2], 'P');
    if (idp && IsLetter(b[3], 'O')) return Format::Mdl;
    if (idp && b[3] == '2') return Format::Md2;
    if (idp && b[3] == '3') return Format::Md3;
    if (starts("L3D0")) return Format::L3d;
    if (starts("LWOB", 8)) return Format::LightWave;
    if (starts("# vtk")) return Format::Vtk;
    if (starts("NFF")) return Format::Nff;
    if (starts("nff") || starts("S8") || starts("s8")) return Format::Nff;
    if (starts("Solvaneo") || starts("Solvanes")) return Format::Solvane;
    if (IsLetter(b[0], 'P') && IsLetter(b[1], 'L') && IsLetter(b[2], 'Y')) return Format::Ply;
    if (b[0] == 3 && b[1] == 3) return Format::PowerRender;
    if (starts("xof ")) return Format::DirectX;
    return Format::Unknown;
}

FormatId FormatFromMagic(const char* path)
{
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return Format::Unknown;
    uint8_t bytes[32];
    ssize_t got = 0;
    while (got < 32) {
        const ssize_t n = ::read(fd, bytes + got, sizeof bytes - static_cast<size_t>(got));
        if (n <= 0) break;
        got += n;
    }
    ::close(fd);
    if (got <= 0) return Format::Unknown;
    return FormatFromMagicBytes(bytes, static_cast<size_t>(got));
}

FormatId IdentifyFormat(const char* path)
{
    const std::string_view extension = PathExtension(path);
    if (!extension.empty()) {
        const FormatId id = FormatFromExtension(extension);
        if (id != Format::Unknown) return id;
    }
    return FormatFromMagic(path);
}

const char* FormatShortName(FormatId id)
{
    switch (id) {
    case 0: return "3D Studio format";
    case 1: return "Truespace format";
    case 2: return "AutoCAD 3D object";
    case 3: return "Black and White Model";
    case 4: return "Lightwave 3D object";
    case 5: return "Quake 2 Model";
    case 6: return "Quake 1 Model";
    case 7: return "Wavefront 3D object";
    case 8: return "GeomView 3D object";
    case 9: return "VTK 3D object";
    case 10: return "DirectX 3D object";
    case 13: return "Power Render Pro 3D object";
    case 14: return "Solvane format";
    case 15: return "Stereo CAD-3D 3D object";
    case 16: return "WorldToolKit 3D object";
    case 18: return "Quake 3 Arena Model";
    case 20: return "Polygon File Format";
    case 25: return "Rhino object";
    default: return "Unknown 3D format";
    }
}

const char* ImageFormatName(FormatId id)
{
    switch (id) {
    case 11: return "PC Paintbrush";
    case 12: return "Windows Bitmap";
    case 19: return "TGA";
    case 21: return "Portable RGB";
    case 22: return "JPEG";
    case 23: return "SGI RGB";
    case 24: return "IFF (ILBM) Image";
    case 26: return "PNG";
    default: return "Unknown 2D format";
    }
}

const char* FormatDescriptionForExtension(std::string_view extension)
{
    extension = StripDot(extension);
    for (const Description& entry : kDescriptions) {
        if (EqualNoCase(extension, entry.extension)) return entry.text;
    }
    return "Unknown format";
}

int FormatProgressFactor(FormatId id)
{
    switch (id) {
    case Format::Studio3ds:
    case Format::TrueSpace:
    case Format::Dxf:
    case Format::LightWave:
    case Format::Obj:
    case Format::PowerRender:
    case Format::Nff:
    case Format::Rhino:
        return 2;
    case Format::DirectX:
        return 3;
    default:
        return 1;
    }
}

}  // namespace solvane
