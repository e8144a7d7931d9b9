// The anonymous identity sent with the usage reports: 32 characters drawn with the Park-Miller
// minimal standard generator.
#pragma once

#include <cstdint>
#include <string>

namespace solvane {

// Park and Miller, "Random number generators: good ones are hard to find", CACM 31(10), 1988:
// state' = state * 16807 mod (2^31 - 1).
class ParkMiller {
public:
    // The seed with its top bit cleared; 0 becomes 1.
    explicit ParkMiller(uint32_t seed);
    uint32_t Next();
    // low when low == high, else the next state mod (high - low) + low.
    int32_t Draw(int32_t low, int32_t high);

private:
    uint32_t state_;
};

// "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ1234567890".
extern const char kMachineIdAlphabet[];
constexpr int kMachineIdLength = 32;

// The seed from the clocks: high-resolution counter (low XOR high half), millisecond tick,
// calendar seconds and process clock, XORed.
uint32_t MachineIdSeed();
std::string MakeMachineId(uint32_t seed);
inline std::string MakeMachineId() { return MakeMachineId(MachineIdSeed()); }

}  // namespace solvane
