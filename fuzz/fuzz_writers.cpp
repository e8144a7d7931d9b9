#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/validate.h"
#include "fuzz/support.h"
#include "load/dispatch.h"
#include "load/save.h"
#include "tests/round_trip.h"

// The model writers on whatever a reader makes of the input: the first byte picks the reader (by the
// extension of the file the rest is written to); a model that loads is written in every format of
// the writer table and read back. A write may only be refused for the format's limits; a file written
// must load, hold the invariants and keep the counts the format keeps.
namespace {

constexpr const char* kInputNames[] = {"model.obj", "model.off", "model.ply", "model.vtk", "model.nff",
                                       "model.dxf", "model.3d2", "model.3ds", "model.cob", "model.lwo",
                                       "model.mdl", "model.md2", "model.md3", "model.x",   "model.pro",
                                       "model.l3d", "model.svo", "model.3dm"};

[[noreturn]] void Fail(const char* writer, const std::string& problem)
{
    std::fprintf(stderr, "%s: %s\n", writer, problem.c_str());
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace solvane;
    if (size < 1) return 0;
    const char* inputName = kInputNames[data[0] % std::size(kInputNames)];
    if (!FuzzWriteCompanion(inputName, data + 1, size - 1)) return 0;
    LoadContext ctx;
    std::unique_ptr<Model> model = LoadModelFile(FuzzScratchPath(inputName), ctx);
    if (!model) return 0;

    for (const WriterEntry& entry : WriterTable()) {
        const test::RoundTripLevel* level = test::RoundTripLevelFor(entry.name);
        if (!level) Fail(entry.name, "no round-trip row");
        const std::string path = FuzzScratchPath("written") + entry.extension;
        SaveContext save;
        if (!SaveModelFile(*model, path, entry, save)) {
            const bool limit = save.error.find("exceeds the format's limit") != std::string::npos;
            if (!limit && !test::RoundTripRefuses(*model, *level)) Fail(entry.name, "write failed: " + save.error);
            continue;
        }
        if (!level->readBack) continue;
        LoadContext back;
        std::unique_ptr<Model> readBack = LoadModelFile(path, back);
        if (!readBack) Fail(entry.name, "read back failed with " + std::to_string(back.result.load()));
        const std::string invalid = ValidateModel(*readBack);
        if (!invalid.empty()) Fail(entry.name, "invalid model read back: " + invalid);
        const std::string problem = test::CompareRoundTrip(*model, *readBack, *level, true);
        if (!problem.empty()) Fail(entry.name, problem);
    }
    return 0;
}
