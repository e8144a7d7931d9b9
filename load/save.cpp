#include "load/save.h"

#include <cctype>
#include <cmath>
#include <new>
#include <stdexcept>

#include "core/mesh_ops.h"
#include "formats/dxf.h"
#include "formats/native.h"
#include "formats/nff.h"
#include "formats/off.h"
#include "formats/ply.h"
#include "formats/quake_mdl_writer.h"
#include "formats/stereo3d2.h"
#include "formats/stl_writer.h"
#include "formats/vtk.h"

namespace solvane {
namespace {

// Chooser rows first, in the chooser's order; then the formats only the command-line tool writes.
// The chooser's eighteen rows, in order: svs, svo, 3d2, 3ds "(.3ds) 3D Studio Object", cob
// "(.cob) Truespace Object", dxf, lwo "(.lwo) Lightwave Object", mdl, md2 "(.md2) Quake 2 Model",
// md3 "(.md3) Quake 3 Arena Model", nff, obj "(.obj) Wavefront Object", off, ply, pro "(.pro) Power
// Render Pro Object", vtk, x "(.x) DirectX Binary Model", x-ascii "(.x) DirectX ASCII Model"; then
// stl and glb. A format gets its row when its writer is built (each row also needs its line in
// the tests' round-trip table).
constexpr WriterEntry kWriters[] = {
    {"svs", ".svs", "(.svs) Solvane Scene", "*.svs", Format::Unknown, "Solvane Scene format", WriteSvsFile, true},
    {"svo", ".svo", "(.svo) Solvane Object", "*.svo", Format::Unknown, "Solvane format", WriteSvoFile},
    {"3d2", ".3d2", "(.3d2) Stereo CAD-3D Object", "*.3d2", Format::StereoCad, "Stereo CAD-3D 3D object",
     Write3d2File},
    {"dxf", ".dxf", "(.dxf) AutoCAD Object", "*.dxf", Format::Dxf, "AutoCAD 3D object", WriteDxfFile},
    {"mdl", ".mdl", "(.mdl) Quake 1 Model", "*.mdl", Format::Mdl, "Quake 1 Model", WriteMdlFile},
    {"nff", ".nff", "(.nff) WorldToolKit Object", "*.nff", Format::Nff, "WorldToolKit 3D object", WriteNffFile},
    {"off", ".off", "(.off) GeomView Object", "*.off", Format::Off, "GeomView 3D object", WriteOffFile},
    {"ply", ".ply", "(.ply) Polygon File Format", "*.ply", Format::Ply, "Polygon File Format", WritePlyFile},
    {"vtk", ".vtk", "(.vtk) VTK Object", "*.vtk", Format::Vtk, "VTK 3D object", WriteVtkFile},
    {"stl", ".stl", nullptr, "*.stl", Format::Unknown, "Binary STL", WriteStlFile},
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
