// Vertex welding. The rule: vertex i maps to the most recently retained vertex that matches it,
// or is retained itself. A plain backward search over the retained vertices is quadratic; here the
// retained vertices are hashed (by exact position for tolerance 0, by grid cell otherwise) so each
// vertex looks only at the few retained vertices that can match it. Same idea as meshoptimizer's
// meshopt_generateVertexRemap (exact) and its simplifier's computeVertexIds (grid).
#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <limits>

#include "core/mesh_ops.h"

namespace solvane {
namespace {

constexpr uint32_t kEmptySlot = std::numeric_limits<uint32_t>::max();

uint32_t FloatBits(float value)
{
    value += 0.0f;  // -0 becomes +0, so both hash alike (they compare equal)
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

uint64_t Mix(uint64_t h)
{
    // Finaliser of MurmurHash3 (Austin Appleby): spreads every input bit over the word.
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdULL;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ULL;
    h ^= h >> 33;
    return h;
}

size_t TableSizeFor(size_t count)
{
    size_t size = 16;
    while (size < count + count / 4 + 1) size *= 2;
    return size;
}

bool IsFinite3(const float* v)
{
    return std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]);
}

// The match test of a positive tolerance, evaluated exactly like the plain backward search does.
bool WithinTolerance(const float* a, const float* b, double tolerance)
{
    const double distance = std::fabs(static_cast<double>(a[0]) - static_cast<double>(b[0])) +
                            std::fabs(static_cast<double>(a[1]) - static_cast<double>(b[1])) +
                            std::fabs(static_cast<double>(a[2]) - static_cast<double>(b[2]));
    return distance <= tolerance;
}

// Moves vertex `from` (and its normal and key-frame positions) to slot `to` <= from.
void MoveVertex(SubMesh& mesh, uint32_t from, uint32_t to)
{
    if (from == to) return;
    const size_t src = 3 * static_cast<size_t>(from), dst = 3 * static_cast<size_t>(to);
    std::memcpy(&mesh.vertices[dst], &mesh.vertices[src], 3 * sizeof(float));
    if (!mesh.normals.empty()) std::memcpy(&mesh.normals[dst], &mesh.normals[src], 3 * sizeof(float));
    for (AnimationFrame& frame : mesh.frames) {
        std::memcpy(&frame.vertices[dst], &frame.vertices[src], 3 * sizeof(float));
    }
}

// Tolerance 0: retained vertices are pairwise different (an equal one would have been merged), so
// the match, if any, is unique and an exact hash finds it.
uint32_t WeldExact(SubMesh& mesh, std::vector<uint32_t>& remap)
{
    const uint32_t n = static_cast<uint32_t>(mesh.VertexCount());
    std::vector<uint32_t> table(TableSizeFor(n), kEmptySlot);
    const size_t mask = table.size() - 1;
    float* v = mesh.vertices.data();
    uint32_t retained = 0;
    for (uint32_t i = 0; i < n; ++i) {
        const float* p = v + 3 * static_cast<size_t>(i);
        if (std::isnan(p[0]) || std::isnan(p[1]) || std::isnan(p[2])) {
            // NaN never compares equal: always retained, never found.
            MoveVertex(mesh, i, retained);
            remap[i] = retained++;
            continue;
        }
        const uint64_t key = (static_cast<uint64_t>(FloatBits(p[0])) << 32 | FloatBits(p[1])) ^
                             Mix(FloatBits(p[2]) + 0x9e3779b97f4a7c15ULL);
        size_t slot = Mix(key) & mask;
        uint32_t match = kEmptySlot;
        for (size_t probe = 1; table[slot] != kEmptySlot; slot = (slot + probe++) & mask) {
            const float* q = v + 3 * static_cast<size_t>(table[slot]);
            if (q[0] == p[0] && q[1] == p[1] && q[2] == p[2]) {
                match = table[slot];
                break;
            }
        }
        if (match != kEmptySlot) {
            remap[i] = match;
            continue;
        }
        table[slot] = retained;  // the probe stopped at the empty slot where it belongs
        MoveVertex(mesh, i, retained);
        remap[i] = retained++;
    }
    return retained;
}

// Grid of a positive tolerance. Cells are kCellTolerances tolerances wide, so two matching vertices
// lie in the same or adjacent cells on every axis, and where a vertex sits in its cell tells whether
// a neighbour can hold a match at all: a vertex farther than a tolerance from the cell's faces
// searches its own cell only. Wider cells mean fewer cells searched (the searches are cache misses)
// but longer per-cell chains; 4 searches 1.5^3 = 3.4 cells on average. The margin covers the
// rounding of the cell coordinate, which stays below 2^-11 cell while it is under 2^40.
// Where a coordinate is so large (or the tolerance so small) that position / cell exceeds 2^40,
// neighbouring floats there are more than a tolerance apart, so a match needs that coordinate to
// be exactly equal: such an axis is keyed by the coordinate's bits and not searched sideways.
struct GridKey {
    int64_t cell[3];
    int low[3];   // -1 when the lower neighbour cell may hold a match, else 0
    int high[3];  // 1 when the upper neighbour cell may hold a match, else 0
};

class WeldGrid {
public:
    WeldGrid(double tolerance, size_t vertexCount) : inverseCell_(1.0 / (kCellTolerances * tolerance))
    {
        if (!std::isfinite(inverseCell_)) inverseCell_ = -1;  // every axis is keyed exactly
        slots_.assign(TableSizeFor(std::min<size_t>(vertexCount, 4096)), Slot{kEmptySlot, 0});
    }

    GridKey KeyOf(const float* p) const
    {
        GridKey key;
        for (int axis = 0; axis < 3; ++axis) {
            const double q = inverseCell_ < 0 ? kExactLimit : static_cast<double>(p[axis]) * inverseCell_;
            if (std::fabs(q) < kExactLimit) {
                const double cell = std::floor(q);
                const double within = q - cell;
                key.cell[axis] = static_cast<int64_t>(cell);
                key.low[axis] = within < 1.0 / kCellTolerances + kMargin ? -1 : 0;
                key.high[axis] = within >= 1.0 - 1.0 / kCellTolerances - kMargin ? 1 : 0;
            } else {
                key.cell[axis] = static_cast<int64_t>(1) << 62 | FloatBits(p[axis]);
                key.low[axis] = 0;
                key.high[axis] = 0;
            }
        }
        return key;
    }

    // Newest retained vertex of the cell, or kEmptySlot.
    uint32_t Head(const int64_t* cell, const float* vertices) const
    {
        const uint64_t hash = Hash(cell);
        const uint32_t tag = static_cast<uint32_t>(hash >> 32);
        for (size_t slot = hash & Mask(), probe = 1; slots_[slot].head != kEmptySlot; slot = (slot + probe++) & Mask()) {
            if (slots_[slot].tag == tag && SameCell(cell, vertices, slots_[slot].head)) return slots_[slot].head;
        }
        return kEmptySlot;
    }

    // Makes `retained` the newest vertex of its cell; returns the previous newest (or kEmptySlot).
    uint32_t Push(const int64_t* cell, const float* vertices, uint32_t retained)
    {
        if (2 * (cells_ + 1) > slots_.size()) Grow(vertices);
        const uint64_t hash = Hash(cell);
        const uint32_t tag = static_cast<uint32_t>(hash >> 32);
        size_t slot = hash & Mask();
        for (size_t probe = 1; slots_[slot].head != kEmptySlot; slot = (slot + probe++) & Mask()) {
            if (slots_[slot].tag == tag && SameCell(cell, vertices, slots_[slot].head)) {
                const uint32_t previous = slots_[slot].head;
                slots_[slot].head = retained;
                return previous;
            }
        }
        slots_[slot] = {retained, tag};
        ++cells_;
        return kEmptySlot;
    }

private:
    struct Slot {
        uint32_t head;
        uint32_t tag;  // high half of the cell's hash: most probes end without touching vertices
    };

    static constexpr double kCellTolerances = 4.0;
    static constexpr double kExactLimit = 1099511627776.0;  // 2^40
    static constexpr double kMargin = 1.0 / 64;

    size_t Mask() const { return slots_.size() - 1; }

    static uint64_t Hash(const int64_t* cell)
    {
        return Mix(static_cast<uint64_t>(cell[0]) * 0x9e3779b97f4a7c15ULL ^
                   static_cast<uint64_t>(cell[1]) * 0xc2b2ae3d27d4eb4fULL ^
                   static_cast<uint64_t>(cell[2]) * 0x165667b19e3779f9ULL);
    }

    bool SameCell(const int64_t* cell, const float* vertices, uint32_t vertex) const
    {
        const GridKey other = KeyOf(vertices + 3 * static_cast<size_t>(vertex));
        return other.cell[0] == cell[0] && other.cell[1] == cell[1] && other.cell[2] == cell[2];
    }

    void Grow(const float* vertices)
    {
        std::vector<Slot> old(slots_.size() * 2, Slot{kEmptySlot, 0});
        old.swap(slots_);
        for (const Slot& entry : old) {
            if (entry.head == kEmptySlot) continue;
            const GridKey key = KeyOf(vertices + 3 * static_cast<size_t>(entry.head));
            size_t slot = Hash(key.cell) & Mask();
            for (size_t probe = 1; slots_[slot].head != kEmptySlot; slot = (slot + probe++) & Mask()) {
            }
            slots_[slot] = entry;
        }
    }

    double inverseCell_;
    std::vector<Slot> slots_;
    size_t cells_ = 0;
};

uint32_t WeldWithTolerance(SubMesh& mesh, double tolerance, std::vector<uint32_t>& remap)
{
    const uint32_t n = static_cast<uint32_t>(mesh.VertexCount());
    WeldGrid grid(tolerance, n);
    std::vector<uint32_t> older;  // per retained vertex: the previous retained one in its cell
    older.reserve(n / 2 + 16);
    float* v = mesh.vertices.data();
    uint32_t retained = 0;
    for (uint32_t i = 0; i < n; ++i) {
        const float* p = v + 3 * static_cast<size_t>(i);
        if (!IsFinite3(p)) {
            // NaN or infinite differences never pass the test: retained, never matched.
            MoveVertex(mesh, i, retained);
            remap[i] = retained++;
            older.push_back(kEmptySlot);
            continue;
        }
        const GridKey key = grid.KeyOf(p);
        uint32_t best = kEmptySlot;
        int64_t cell[3];
        for (int dx = key.low[0]; dx <= key.high[0]; ++dx) {
            cell[0] = key.cell[0] + dx;
            for (int dy = key.low[1]; dy <= key.high[1]; ++dy) {
                cell[1] = key.cell[1] + dy;
                for (int dz = key.low[2]; dz <= key.high[2]; ++dz) {
                    cell[2] = key.cell[2] + dz;
                    // Newest first: the first match of a chain is the newest match of that cell.
                    for (uint32_t r = grid.Head(cell, v); r != kEmptySlot && (best == kEmptySlot || r > best);
                         r = older[r]) {
                        if (WithinTolerance(p, v + 3 * static_cast<size_t>(r), tolerance)) {
                            best = r;
                            break;
                        }
                    }
                }
            }
        }
        if (best != kEmptySlot) {
            remap[i] = best;
            continue;
        }
        // The grid reads retained positions back, so the vertex must be in place first.
        MoveVertex(mesh, i, retained);
        older.push_back(grid.Push(key.cell, v, retained));
        remap[i] = retained++;
    }
    return retained;
}

// An infinite tolerance: every difference passes except a NaN one, which comes from a NaN position
// or from the same infinity on one axis of both vertices. The retained vertices are grouped by which
// axes hold +inf or -inf (27 groups); a vertex matches the newest retained vertex of any group that
// shares none of its infinities.
uint32_t WeldUnbounded(SubMesh& mesh, std::vector<uint32_t>& remap)
{
    const uint32_t n = static_cast<uint32_t>(mesh.VertexCount());
    uint32_t newest[27];
    std::fill(std::begin(newest), std::end(newest), kEmptySlot);
    const float* v = mesh.vertices.data();
    uint32_t retained = 0;
    for (uint32_t i = 0; i < n; ++i) {
        const float* p = v + 3 * static_cast<size_t>(i);
        if (std::isnan(p[0]) || std::isnan(p[1]) || std::isnan(p[2])) {
            MoveVertex(mesh, i, retained);
            remap[i] = retained++;
            continue;
        }
        int state[3];  // 0 finite, 1 +inf, 2 -inf
        for (int axis = 0; axis < 3; ++axis) state[axis] = std::isinf(p[axis]) ? (p[axis] > 0 ? 1 : 2) : 0;
        uint32_t best = kEmptySlot;
        for (int group = 0; group < 27; ++group) {
            const int groupState[3] = {group % 3, group / 3 % 3, group / 9};
            bool compatible = true;
            for (int axis = 0; axis < 3; ++axis) compatible = compatible && (state[axis] == 0 || groupState[axis] != state[axis]);
            if (compatible && newest[group] != kEmptySlot && (best == kEmptySlot || newest[group] > best)) best = newest[group];
        }
        if (best != kEmptySlot) {
            remap[i] = best;
            continue;
        }
        MoveVertex(mesh, i, retained);
        newest[state[0] + 3 * state[1] + 9 * state[2]] = retained;
        remap[i] = retained++;
    }
    return retained;
}

}  // namespace

int32_t WeldVertices(SubMesh& mesh, double tolerance)
{
    const uint32_t n = static_cast<uint32_t>(mesh.VertexCount());
    if (n == 0) return 0;
    // A negative or NaN tolerance matches nothing: every vertex is kept.
    if (!(tolerance >= 0)) return 0;

    // 1. Walk the vertices, compacting the retained ones in place and recording the mapping.
    std::vector<uint32_t> remap(n);
    const uint32_t retained = tolerance == 0 ? WeldExact(mesh, remap)
                              : std::isinf(tolerance) ? WeldUnbounded(mesh, remap)
                                                      : WeldWithTolerance(mesh, tolerance, remap);

    // 2. Shrink the per-vertex arrays and rewrite the faces.
    const size_t size = 3 * static_cast<size_t>(retained);
    mesh.vertices.resize(size);
    if (!mesh.normals.empty()) mesh.normals.resize(size);
    for (AnimationFrame& frame : mesh.frames) {
        frame.vertices.resize(size);
        BoundsBuilder builder;
        for (size_t k = 0; k < size; k += 3)
            builder.Extend(frame.vertices[k], frame.vertices[k + 1], frame.vertices[k + 2]);
        frame.bounds = builder.bounds;
    }
    for (uint32_t& index : mesh.faceIndices) {
        // Readers never leave an index out of range; keep one in range should it happen.
        index = index < n ? remap[index] : retained - 1;
    }
    ComputeBoundsAndCentroid(mesh);
    return static_cast<int32_t>(n - retained);
}

double DecimationTolerance(const std::array<float, 6>& modelBox, double factor)
{
    double sum = 0;
    for (float value : modelBox) sum += std::fabs(static_cast<double>(value));
    return factor * sum / 3.0;
}

}  // namespace solvane
