#include "load/dispatch.h"

#include <sys/stat.h>

#include <cstdio>
#include <new>
#include <stdexcept>

#include "core/reader_input.h"
#include "formats/cob.h"
#include "formats/dxf.h"
#include "formats/l3d.h"
#include "formats/lwo.h"
#include "formats/native.h"
#include "formats/nff.h"
#include "formats/obj.h"
#include "formats/off.h"
#include "formats/ply.h"
#include "formats/powerrender.h"
#include "formats/quake.h"
#include "formats/stereo3d2.h"
#include "formats/studio3ds.h"
#include "formats/vtk.h"
#include "formats/xfile.h"
#include "image/texture_search.h"
#include "rhino/rhino_model.h"

namespace solvane {
namespace {

using ModelReader = std::unique_ptr<Model> (*)(const char* path, LoadContext& ctx);
// A step run on a successfully read model before it is handed over (textures, skins, welding).
using FinishStep = void (*)(Model& model, const std::string& path, LoadContext& ctx);

struct ReaderEntry {
    FormatId id;
    ModelReader read;
    FinishStep finish;    // null when the format needs none
    int32_t failureCode;  // reported when the reader fails without a code of its own
};

// One row per model format with a reader. Identification (extensions, magic, progress factor)
// is in core/format_id.
constexpr ReaderEntry kReaders[] = {
    {Format::Studio3ds, Read3dsFile, ResolveModelTextures, LoadResult::NotValid3ds},
    {Format::TrueSpace, ReadCobFile, ResolveModelTextures, LoadResult::NotValidCob},
    {Format::Dxf, ReadDxfFile, FinishDxfModel, LoadResult::DxfNo3dFace},
    {Format::L3d, ReadL3dFile, nullptr, LoadResult::L3dError},
    {Format::LightWave, ReadLwoFile, ResolveModelTextures, LoadResult::NotValidLwo},
    {Format::Md2, ReadMd2File, FinishMd2Model, LoadResult::NotValidMd2},
    {Format::Mdl, ReadMdlFile, nullptr, LoadResult::NotValidMdl},
    {Format::Obj, ReadObjFile, ResolveModelTextures, LoadResult::Unknown},
    {Format::Off, ReadOffFile, nullptr, LoadResult::NotValidOff},
    {Format::Vtk, ReadVtkFile, nullptr, LoadResult::NotValidVtk},
    {Format::DirectX, ReadXFile, ResolveModelTextures, LoadResult::NotValidX},
    {Format::PowerRender, ReadProFile, LoadProTextures, LoadResult::NotValidPro},
    {Format::Solvane, ReadNativeFile, nullptr, LoadResult::NotValidSvo},
    {Format::StereoCad, Read3d2File, nullptr, LoadResult::NotValid3d2},
    {Format::Nff, ReadNffFile, nullptr, LoadResult::NotValidNff},
    {Format::Md3, ReadMd3File, FinishMd3Model, LoadResult::NotValidMd3},
    {Format::Ply, ReadPlyFile, nullptr, LoadResult::NotValidPly},
    {Format::Rhino, ReadRhinoFile, ResolveModelTextures, LoadResult::NoRhinoMeshes},
};

const ReaderEntry* ReaderFor(FormatId id)
{
    for (const ReaderEntry& entry : kReaders) {
        if (entry.id == id) return &entry;
    }
    return nullptr;
}

}  // namespace

int32_t DefaultFailureCode(FormatId id)
{
    const ReaderEntry* entry = ReaderFor(id);
    return entry ? entry->failureCode : LoadResult::Unknown;
}

void LoadModelFile(LoadRequest& request, LoadContext& ctx)
{
    request.model.reset();
    ctx.result.store(LoadResult::NoError);
    ctx.sceneOffset.store(-1);
    const auto finish = [&ctx] { ctx.done.store(-1, std::memory_order_release); };

    // 1. Identify.
    const FormatId id = IdentifyFormat(request.path.c_str());
    if (id == Format::Unknown) {
        ctx.result.store(LoadResult::FormatNotRecognized);
        finish();
        return;
    }
    // 2. The file's size is the progress total.
    struct stat info {};
    if (::stat(request.path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        ctx.result.store(LoadResult::FileNotFound);
        finish();
        return;
    }
    FILE* probe = std::fopen(request.path.c_str(), "rb");
    if (!probe) {
        ctx.result.store(LoadResult::FileNotFound);
        finish();
        return;
    }
    std::fclose(probe);
    // 3. Ids without a reader.
    const ReaderEntry* reader = ReaderFor(id);
    if (!reader) {
        ctx.result.store(DefaultFailureCode(id));
        finish();
        return;
    }
    // 4. Read.
    int64_t expected = 0;
    if (!ctx.total.compare_exchange_strong(expected, static_cast<int64_t>(info.st_size) * FormatProgressFactor(id))) {
        if (expected == -1) return;  // cancelled before it began
        ctx.total.store(static_cast<int64_t>(info.st_size) * FormatProgressFactor(id));
    }
    std::unique_ptr<Model> model;
    try {
        model = reader->read(request.path.c_str(), ctx);
        if (model) {
            // 5. Per-format finishing.
            if (reader->finish) reader->finish(*model, request.path, ctx);
            // 6. Names of unnamed sub-meshes.
            for (size_t i = 0; i < model->subMeshes.size(); ++i) {
                SubMesh& mesh = model->subMeshes[i];
                if (mesh.name.empty()) mesh.name = "Mesh" + std::to_string(i + 1);
            }
            // 7. The format.
            model->formatId = id;
        }
    } catch (const LoadCancelled&) {
        return;  // the canceller has set both counters to -1; nothing built escapes
    } catch (const std::bad_alloc&) {
        model.reset();
    } catch (const std::length_error&) {
        model.reset();
    }
    if (ctx.Cancelled()) return;
    if (!model || model->subMeshes.empty()) {
        model.reset();
        if (ctx.result.load() == LoadResult::NoError) ctx.result.store(DefaultFailureCode(id));
        finish();
        return;
    }
    // 9. Hand over.
    request.model = std::move(model);
    finish();
}

std::unique_ptr<Model> LoadModelFile(const std::string& path, LoadContext& ctx)
{
    ResetProgress(ctx);
    LoadRequest request;
    request.path = path;
    LoadModelFile(request, ctx);
    return std::move(request.model);
}

}  // namespace solvane
