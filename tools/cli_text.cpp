// Text that solvane-cli prints: everything it writes is UTF-8. Paths normally are UTF-8 already;
// names inside model files were mostly written in a Windows 8-bit code page.
#include <cstdio>
#include <string>

#include "core/utf8_text.h"
#include "tools/cli.h"

namespace solvane::cli {

std::string Utf8Text(const std::string& text)
{
    return solvane::Utf8Text(text);
}

std::string JsonEscape(const std::string& text)
{
    const std::string utf8 = Utf8Text(text);
    std::string out;
    out.reserve(utf8.size());
    for (unsigned char c : utf8) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20 || c == 0x7F) {
                char buffer[8];
                std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
                out += buffer;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out;
}

}  // namespace solvane::cli
