// Text from model files as UTF-8. Paths are normally UTF-8 already; names inside model files were
// mostly written in a Windows 8-bit code page.
#pragma once

#include <string>
#include <string_view>

namespace solvane {

// Well-formed UTF-8 (RFC 3629): no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsUtf8(std::string_view text);
// The text as UTF-8: unchanged when it is well-formed UTF-8, otherwise read as Windows-1252.
std::string Utf8Text(std::string_view text);

}  // namespace solvane
