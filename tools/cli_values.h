// Values of command-line options, parsed without the locale (std::from_chars) so that a number
// reads the same under every locale. Kept apart from CLI11, whose header is slow to compile.
#pragma once

#include <cstdint>
#include <string_view>

namespace solvane::cli {

// A whole argument as a finite number, read with std::from_chars so that the locale plays no part:
//   number := sign? ( digits ( "." digits? )? | "." digits ) ( ("e" | "E") sign? digits )?
//   sign   := "+" | "-"
// Nothing may follow it: "1,5", "30deg", " 2", "nan" and "inf" are refused. `value` is left
// untouched on failure.
bool ParseNumber(std::string_view text, double& value);
bool ParseNumber(std::string_view text, float& value);

// "on" (1) or "off" (0).
bool ParseSwitch(std::string_view text, uint8_t& value);

}  // namespace solvane::cli
