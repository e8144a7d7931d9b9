#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/validate.h"
#include "formats/native.h"
#include "fuzz/support.h"
#include "load/dispatch.h"
#include "load/save.h"
#include "tests/round_trip.h"

// The native object and scene reader: the input as a scene file. A model that loads must hold the
// invariants and come back field for field when written as an object file; a scene part is read
// when its marker was found.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace solvane;
    if (!FuzzWriteCompanion("model.svs", data, size)) return 0;
    const std::string path = FuzzScratchPath("model.svs");
    LoadContext ctx;
    std::unique_ptr<Model> model = LoadModelFile(path, ctx);
    if (!model) return 0;
    const std::string invalid = ValidateModel(*model);
    if (!invalid.empty()) {
        std::fprintf(stderr, "invalid model: %s\n", invalid.c_str());
        std::abort();
    }
    int64_t offset = ctx.sceneOffset.load();
    SceneRecord scene;
    ReadNativeScene(path.c_str(), offset, scene);

    const std::string written = FuzzScratchPath("written.svo");
    SaveContext save;
    if (!SaveModelFile(*model, written, *FindWriter("svo"), save)) {
        std::fprintf(stderr, "write failed: %s\n", save.error.c_str());
        std::abort();
    }
    LoadContext back;
    std::unique_ptr<Model> readBack = LoadModelFile(written, back);
    const std::string problem = readBack ? test::CompareNativeExactly(*model, *readBack) : "read back failed";
    if (!problem.empty()) {
        std::fprintf(stderr, "round trip: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
