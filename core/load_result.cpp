#include "core/load_result.h"

namespace solvane {

const char* ResultMessageFor(int32_t code)
{
    switch (code) {
    case 100: return "No error.\n";
    case 101: return "Could not load file because the file format was not recognized.\n";
    case 102: return "The file is not found, it may have been moved or renamed.\n";
    case 200: return "A texture file specified by this 3D file was not found.\n";
    case 300: return "Currently Solvane only supports .DXF files with 3DFACE sections.";
    case 400: return "Not a valid Truespace .COB file.";
    case 401: return "ASCII Truespace files not supported at this time.";
    case 600: return "Not a valid WorldToolKit .NFF file.";
    case 700: return "Not a valid Power Render Pro .PRO file.";
    case 800: return "Not a valid .OFF file.";
    case 900: return "Not a valid Stereo CAD-3D .3D2 file.";
    case 1000: return "Not a valid 3D Studio .3DS file.";
    case 1100: return "Not a valid Quake .MDL file.";
    case 1200: return "Not a valid Quake 2 .MD2 file.";
    case 1300: return "Not a valid Quake 3 .MD3 file.";
    case 1400: return "Not a valid Lightwave .LWO file.";
    case 1500: return "Not a valid Solvane .SVO file.";
    case 1600: return "Not a valid Visualization Toolkit .VTK file.";
    case 1700: return "Not a valid DirectX .X file.";
    case 1800: return "This Solvane Object file is corrupt.";
    case 2000: return "Could not find a skin for this Quake 2 .MD2 file.";
    case 2100: return "Could not find a skin for this Quake 3 .MD3 file.";
    case 2200: return "Not a valid .PLY file.";
    case 2201: return "This .PLY file uses an unsupported data format.";
    case 2400: return "File did not contain any Rhino meshes.";
    default: return "Unknown error.";
    }
}

std::string FailureMessage(int32_t code, const std::string& path, const std::string& reason)
{
    std::string text = ResultMessageFor(code);
    if (reason.empty()) return text;
    if (text.empty() || text.back() != '\n') text += '\n';
    text += path;
    text += ": ";
    text += reason;
    return text;
}

}  // namespace solvane
