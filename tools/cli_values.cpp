#include "tools/cli_values.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace solvane::cli {

bool ParseNumber(std::string_view text, double& value)
{
    // std::from_chars takes no "+", so skip one, but not before another sign.
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && text.front() == '-') return false;
    }
    const char* end = text.data() + text.size();
    double parsed = 0;
    const auto [ptr, error] = std::from_chars(text.data(), end, parsed, std::chars_format::general);
    if (text.empty() || error != std::errc() || ptr != end || !std::isfinite(parsed)) return false;
    value = parsed;
    return true;
}

bool ParseNumber(std::string_view text, float& value)
{
    double parsed = 0;
    if (!ParseNumber(text, parsed) || std::fabs(parsed) > std::numeric_limits<float>::max()) return false;
    value = static_cast<float>(parsed);
    return true;
}

bool ParseSwitch(std::string_view text, uint8_t& value)
{
    if (text == "on") value = 1;
    else if (text == "off") value = 0;
    else return false;
    return true;
}

}  // namespace solvane::cli
