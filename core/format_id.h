// Format identification: by extension first, by magic bytes second, and the names of formats.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace solvane {

using FormatId = int32_t;

namespace Format {
constexpr FormatId Unknown = -1;
constexpr FormatId Studio3ds = 0;
constexpr FormatId TrueSpace = 1;
constexpr FormatId Dxf = 2;
constexpr FormatId L3d = 3;
constexpr FormatId LightWave = 4;
constexpr FormatId Md2 = 5;
constexpr FormatId Mdl = 6;
constexpr FormatId Obj = 7;
constexpr FormatId Off = 8;
constexpr FormatId Vtk = 9;
constexpr FormatId DirectX = 10;
constexpr FormatId Pcx = 11;
constexpr FormatId Bmp = 12;
constexpr FormatId PowerRender = 13;
constexpr FormatId Solvane = 14;
constexpr FormatId StereoCad = 15;
constexpr FormatId Nff = 16;
constexpr FormatId Md3 = 18;
constexpr FormatId Tga = 19;
constexpr FormatId Ply = 20;
constexpr FormatId Ppm = 21;
constexpr FormatId Jpeg = 22;
constexpr FormatId SgiRgb = 23;
constexpr FormatId Iff = 24;
constexpr FormatId Rhino = 25;
constexpr FormatId Png = 26;
}  // namespace Format

// The extension of a path as identification sees it: the last 3, 2 or 1 characters after a "."
// at n-4, n-3 or n-2; empty when there is none.
std::string_view PathExtension(std::string_view path);

FormatId IdentifyFormat(const char* path);
// Model id of an extension (with or without a leading "."), -1 for anything else.
FormatId FormatFromExtension(std::string_view extension);
// Model id from the first 32 bytes of the file, -1 when nothing matches or it cannot be read.
FormatId FormatFromMagic(const char* path);
// The same test on bytes already read (at most the first 32 are looked at).
FormatId FormatFromMagicBytes(const uint8_t* bytes, size_t count);
// The image ids by name. One table serves every place that names an image file: BMP 12, IFF 24,
// JPG 22, PCX 11, TGA 19, PPM 21, PNG 26, and for texture names also RGB 23 (named, not read).
//
// A texture name that a model gives: its extension as identification finds it, -1 otherwise.
FormatId ImageFormatFromName(std::string_view name);
// A file chosen in an image chooser (background, eye filter): surrounding double quotes removed,
// its last three characters in either case; RGB and anything else give -1.
FormatId ImageFormatForChosenFile(std::string_view path);
// The texture-map import's chosen file: quotes removed, the text after its last "." (none when a
// folder separator follows it); RGB and anything else give -1.
FormatId ImageFormatFromExtension(std::string_view path);

const char* FormatShortName(FormatId id);
const char* ImageFormatName(FormatId id);
const char* FormatDescriptionForExtension(std::string_view extension);

// The progress factor (number of passes) of a model id; 1 for ids without one of their own.
int FormatProgressFactor(FormatId id);

}  // namespace solvane
