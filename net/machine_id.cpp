#include "net/machine_id.h"

#include <chrono>
#include <ctime>

namespace solvane {

const char kMachineIdAlphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ1234567890";
static_assert(sizeof(kMachineIdAlphabet) == 63);

ParkMiller::ParkMiller(uint32_t seed) : state_(seed & 0x7fffffffu)
{
    if (state_ == 0) state_ = 1;
}

uint32_t ParkMiller::Next()
{
    state_ = static_cast<uint32_t>(uint64_t{state_} * 16807u % 2147483647u);
    return state_;
}

int32_t ParkMiller::Draw(int32_t low, int32_t high)
{
    if (low == high) return low;
    return static_cast<int32_t>(Next() % static_cast<uint32_t>(high - low)) + low;
}

uint32_t MachineIdSeed()
{
    using namespace std::chrono;
    const uint64_t counter = static_cast<uint64_t>(high_resolution_clock::now().time_since_epoch().count());
    const uint64_t tick = static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
    return static_cast<uint32_t>(counter) ^ static_cast<uint32_t>(counter >> 32) ^ static_cast<uint32_t>(tick) ^
           static_cast<uint32_t>(std::time(nullptr)) ^ static_cast<uint32_t>(std::clock());
}

std::string MakeMachineId(uint32_t seed)
{
    ParkMiller generator(seed);
    std::string id(kMachineIdLength, ' ');
    for (char& c : id) c = kMachineIdAlphabet[generator.Draw(0, 62)];
    return id;
}

}  // namespace solvane
