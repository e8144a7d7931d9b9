// Result codes of a load and their fixed messages.
#pragma once

#include <cstdint>
#include <string>

namespace solvane {

namespace LoadResult {
constexpr int32_t NoError = 100;
constexpr int32_t FormatNotRecognized = 101;
constexpr int32_t FileNotFound = 102;
constexpr int32_t TextureNotFound = 200;
constexpr int32_t DxfNo3dFace = 300;
constexpr int32_t NotValidCob = 400;
constexpr int32_t AsciiCob = 401;
constexpr int32_t NotValidNff = 600;
constexpr int32_t NotValidPro = 700;
constexpr int32_t NotValidOff = 800;
constexpr int32_t NotValid3d2 = 900;
constexpr int32_t NotValid3ds = 1000;
constexpr int32_t NotValidMdl = 1100;
constexpr int32_t NotValidMd2 = 1200;
constexpr int32_t NotValidMd3 = 1300;
constexpr int32_t NotValidLwo = 1400;
constexpr int32_t NotValidSvo = 1500;
constexpr int32_t NotValidVtk = 1600;
constexpr int32_t NotValidX = 1700;
constexpr int32_t CorruptSvo = 1800;
constexpr int32_t NoMd2Skin = 2000;
constexpr int32_t NoMd3Skin = 2100;
constexpr int32_t NotValidPly = 2200;
constexpr int32_t UnsupportedPly = 2201;
constexpr int32_t L3dError = 2300;
constexpr int32_t NoRhinoMeshes = 2400;
// A failure that no reader described; its message is "Unknown error."
constexpr int32_t Unknown = -1;
}  // namespace LoadResult

// The fixed message of a result code ("Unknown error." for codes without one of their own).
const char* ResultMessageFor(int32_t code);
// What a failed load tells the user: the code's message and, when the input could not be read,
// a line "PATH: REASON" (reason as kept by the dispatch, such as "Is a directory").
std::string FailureMessage(int32_t code, const std::string& path, const std::string& reason);

}  // namespace solvane
