#include "load/save.h"

#include <cctype>
#include <cmath>
#include <new>
#include <stdexcept>

#include "core/mesh_ops.h"
#include "formats/cob.h"
#include "formats/dxf.h"
#include "formats/gltf_writer.h"
#include "formats/lwo.h"
#include "formats/native.h"
#include "formats/nff.h"
#include "formats/obj.h"
#include "formats/off.h"
#include "formats/ply.h"
#include "formats/powerrender.h"
#include "formats/quake.h"
#include "formats/quake_mdl_writer.h"
#include "formats/stereo3d2.h"
#include "formats/stl_writer.h"
#include "formats/studio3ds.h"
#include "formats/vtk.h"
#include "formats/xfile.h"

namespace solvane {
namespace {

// Chooser rows first, in the chooser's order (eighteen rows); then the formats only the
// command-line tool writes. Every row also needs its line in the tests' round-trip table.
constexpr WriterEntry kWriters[] = {
    {"svs", ".svs", "(.svs) Solvane Scene", "*.svs", Format::Unknown, "Solvane Scene format", WriteSvsFile, true},
    {"svo", ".svo", "(.svo) Solvane Object", "*.svo", Format::Unknown, "Solvane format", WriteSvoFile},
    {"3d2", ".3d2", "(.3d2) Stereo CAD-3D Object", "*.3d2", Format::StereoCad, "Stereo CAD-3D 3D object",
     Write3d2File},
    {"3ds", ".3ds", "(.3ds) 3D Studio Object", "*.3ds", Format::Studio3ds, "3D Studio 3D object", Write3dsFile},
    {"cob", ".cob", "(.cob) Truespace Object", "*.cob", Format::TrueSpace, "Truespace 3D object", WriteCobFile},
    {"dxf", ".dxf", "(.dxf) AutoCAD Object", "*.dxf", Format::Dxf, "AutoCAD 3D object", WriteDxfFile},
    {"lwo", ".lwo", "(.lwo) Lightwave Object", "*.lwo", Format::LightWave, "Lightwave 3D object", WriteLwoFile},
    {"mdl", ".mdl", "(.mdl) Quake 1 Model", "*.mdl", Format::Mdl, "Quake 1 Model", WriteMdlFile},
    {"md2", ".md2", "(.md2) Quake 2 Model", "*.md2", Format::Md2, "Quake 2 Model", WriteMd2File},
    {"md3", ".md3", "(.md3) Quake 3 Arena Model", "*.md3", Format::Md3, "Quake 3 Arena Model", WriteMd3File},
    {"nff", ".nff", "(.nff) WorldToolKit Object", "*.nff", Format::Nff, "WorldToolKit 3D object", WriteNffFile},
    {"obj", ".obj", "(.obj) Wavefront Object", "*.obj", Format::Obj, "Wavefront 3D object", WriteObjFile},
    {"off", ".off", "(.off) GeomView Object", "*.off", Format::Off, "GeomView 3D object", WriteOffFile},
    {"ply", ".ply", "(.ply) Polygon File Format", "*.ply", Format::Ply, "Polygon File Format", WritePlyFile},
    // The chooser preselects no row for Power Render models.
    {"pro", ".pro", "(.pro) Power Render Pro Object", "*.pro", Format::Unknown, "Power Render Pro 3D object",
     WriteProFile},
    {"vtk", ".vtk", "(.vtk) VTK Object", "*.vtk", Format::Vtk, "VTK 3D object", WriteVtkFile},
    {"x", ".x", "(.x) DirectX Binary Model", "*.x", Format::DirectX, "DirectX 3D object", WriteXBinaryFile},
    {"x-ascii", ".x", "(.x) DirectX ASCII Model", "*.x", Format::Unknown, "DirectX 3D object", WriteXTextFile},
    {"stl", ".stl", nullptr, "*.stl", Format::Unknown, "Binary STL", WriteStlFile},
    {"glb", ".glb", nullptr, "*.glb", Format::Unknown, "glTF 2.0 binary", WriteGlbFile},
};

constexpr size_t ChooserRowCount()
{
    size_t n = 0;
    while (n < std::size(kWriters) && kWriters[n].chooserText) ++n;
    return n;
}

bool EqualNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

}  // namespace

std::span<const WriterEntry> WriterTable()
{
    return kWriters;
}

std::span<const WriterEntry> SaveChooserRows()
{
    return std::span<const WriterEntry>(kWriters, ChooserRowCount());
}

size_t ChooserRowForFormat(FormatId id)
{
    const auto rows = SaveChooserRows();
    if (id == Format::Unknown) return 0;
    for (size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].preselectFor == id) return i;
    }
    return 0;
}

const WriterEntry* FindWriter(std::string_view name)
{
    for (const WriterEntry& entry : kWriters) {
        if (EqualNoCase(entry.name, name)) return &entry;
    }
    return nullptr;
}

const WriterEntry* WriterForPath(std::string_view path)
{
    const size_t slash = path.find_last_of("/\\");
    const std::string_view file = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const size_t dot = file.rfind('.');
    if (dot == std::string_view::npos) return nullptr;
    const std::string_view extension = file.substr(dot);
    // The first row with the extension: ".x" finds DirectX binary before DirectX text.
    for (const WriterEntry& entry : kWriters) {
        if (EqualNoCase(entry.extension, extension)) return &entry;
    }
    return nullptr;
}

bool SaveModelFile(const Model& model, const std::string& path, const WriterEntry& entry, SaveContext& ctx,
                   const SceneRecord* scene)
{
    ctx.done.store(0);
    try {
        // The load step resized the model to fit the view: the file gets the model's own units.
        const float scale = model.loadScale;
        if (scale != 1.0f && std::isfinite(scale) && scale > 0) {
            Model unscaled = model;
            ScaleModel(unscaled, 1.0f / scale);
            unscaled.loadScale = 1.0f;
            return SaveModelFile(unscaled, path, entry, ctx, scene);
        }
        if (entry.withScene && scene) return WriteNativeFile(model, scene, path, ctx);
        return entry.write(model, path, ctx);
    } catch (const std::bad_alloc&) {
        // The writer's output has removed its partial file on the way out.
    } catch (const std::length_error&) {
    }
    std::string message = "Not enough memory to write ";
    message += path;
    message += '.';
    return ctx.Fail(std::move(message));
}

}  // namespace solvane
