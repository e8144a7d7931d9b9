// solvane-cli info: loads each file through the dispatch (in parallel when there are several)
// and prints what it holds, as text or as one JSON object per line.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "load/dispatch.h"
#include "core/mesh_ops.h"
#include "tools/cli.h"
#include "tools/cli_options.h"

namespace solvane::cli {
namespace {

struct InfoResult {
    std::string path;
    std::unique_ptr<Model> model;
    int32_t code = 100;
    std::string message;
    FormatId formatId = -1;
    std::vector<std::string> warnings;  // error-box texts of the applied operations
};

// One mesh operation of --apply.
enum class OpKind { Normals, InvertNormals, Triangulate, Tessellate, Weld, Decimate, Scale };

struct MeshOp {
    OpKind kind;
    double value = 0;
};

// Parses "normals,triangulate,weld=0.01,..." onto `ops`; false on an unknown or malformed item,
// which `bad` then holds.
bool ParseOps(std::string_view list, std::vector<MeshOp>& ops, std::string& bad)
{
    size_t begin = 0;
    while (begin <= list.size()) {
        size_t end = list.find(',', begin);
        if (end == std::string::npos) end = list.size();
        const std::string_view item(list.data() + begin, end - begin);
        const size_t equals = item.find('=');
        const std::string_view name = item.substr(0, equals);
        const std::string_view argument = equals == std::string_view::npos ? std::string_view() : item.substr(equals + 1);
        const bool hasArgument = equals != std::string_view::npos;
        MeshOp op{OpKind::Normals};
        bool valid = true;
        if (name == "normals" && !hasArgument) op.kind = OpKind::Normals;
        else if (name == "invert-normals" && !hasArgument) op.kind = OpKind::InvertNormals;
        else if (name == "triangulate" && !hasArgument) op.kind = OpKind::Triangulate;
        else if (name == "tessellate" && !hasArgument) op.kind = OpKind::Tessellate;
        else if (name == "weld" && hasArgument) op.kind = OpKind::Weld;
        else if (name == "decimate" && hasArgument) op.kind = OpKind::Decimate;
        else if (name == "scale" && hasArgument) op.kind = OpKind::Scale;
        else valid = false;
        if (valid && hasArgument) {
            valid = ParseNumber(argument, op.value);
            if (valid && op.kind == OpKind::Scale) valid = op.value > 0;
            if (valid && (op.kind == OpKind::Weld || op.kind == OpKind::Decimate)) valid = op.value >= 0;
        }
        if (!valid) {
            bad = item;
            return false;
        }
        ops.push_back(op);
        begin = end + 1;
    }
    return true;
}

void ApplyOps(Model& model, const std::vector<MeshOp>& ops, std::vector<std::string>& warnings)
{
    for (const MeshOp& op : ops) {
        switch (op.kind) {
        case OpKind::Normals: GenerateNormalsForFormat(model); break;
        case OpKind::InvertNormals: ScaleNormals(model, -1.0f); break;
        case OpKind::Triangulate:
            if (!TriangulateModel(model)) warnings.push_back(kAlreadyTrianglesText);
            break;
        case OpKind::Tessellate: TessellateModel(model, &warnings); break;
        case OpKind::Weld: WeldVertices(model.subMeshes.front(), op.value); break;
        case OpKind::Decimate:
            WeldVertices(model.subMeshes.front(), DecimationTolerance(ModelBounds(model), op.value));
            break;
        case OpKind::Scale: ScaleModel(model, static_cast<float>(op.value)); break;
        }
    }
}

std::string Trimmed(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

// A bound or centre value: "nan", "inf" or "-inf" in the text output, null in JSON (which has no
// such numbers).
std::string Number(double value, bool json)
{
    if (std::isnan(value)) return json ? "null" : "nan";
    if (std::isinf(value)) return json ? "null" : (value < 0 ? "-inf" : "inf");
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.9g", value);
    return buffer;
}

int64_t SumOver(const Model& model, int64_t (*count)(const SubMesh&))
{
    int64_t total = 0;
    for (const SubMesh& mesh : model.subMeshes) total += count(mesh);
    return total;
}

int64_t Corners(const SubMesh& m) { return m.CornerCount(); }
int64_t Normals(const SubMesh& m) { return m.NormalCount(); }
int64_t TexCoords(const SubMesh& m) { return m.TexCoordCount(); }

int32_t Frames(const Model& model)
{
    int32_t frames = 1;
    for (const SubMesh& mesh : model.subMeshes) frames = std::max(frames, mesh.FrameCount());
    return frames;
}

std::string FormatJson(const InfoResult& r)
{
    std::ostringstream out;
    const Model* m = r.model.get();
    out << "{\"path\":\"" << JsonEscape(r.path) << "\",\"ok\":" << (m ? "true" : "false")
        << ",\"result\":" << r.code << ",\"message\":\"" << JsonEscape(r.message) << "\""
        << ",\"formatId\":" << r.formatId << ",\"format\":\"" << JsonEscape(FormatShortName(r.formatId)) << "\"";
    if (!m) {
        out << "}";
        return out.str();
    }
    const auto bounds = ModelBounds(*m);
    const auto centre = ModelCentre(*m);
    out << ",\"subMeshes\":" << m->SubMeshCount() << ",\"vertices\":" << TotalVertices(*m)
        << ",\"faces\":" << TotalFaces(*m) << ",\"corners\":" << SumOver(*m, Corners)
        << ",\"normals\":" << SumOver(*m, Normals) << ",\"texCoords\":" << SumOver(*m, TexCoords)
        << ",\"materials\":" << m->MaterialCount() << ",\"textures\":" << m->TextureCount()
        << ",\"frames\":" << Frames(*m) << ",\"bounds\":[";
    for (int k = 0; k < 6; ++k) out << (k ? "," : "") << Number(bounds[k], true);
    out << "],\"centroid\":[";
    for (int k = 0; k < 3; ++k) out << (k ? "," : "") << Number(centre[k], true);
    out << "],\"meshes\":[";
    for (size_t i = 0; i < m->subMeshes.size(); ++i) {
        const SubMesh& mesh = m->subMeshes[i];
        out << (i ? "," : "") << "{\"name\":\"" << JsonEscape(mesh.name) << "\",\"vertices\":" << mesh.VertexCount()
            << ",\"faces\":" << mesh.FaceCount() << ",\"normals\":" << mesh.NormalCount()
            << ",\"texCoords\":" << mesh.TexCoordCount() << ",\"frames\":" << mesh.FrameCount() << "}";
    }
    out << "],\"materialList\":[";
    for (size_t i = 0; i < m->materials.size(); ++i) {
        out << (i ? "," : "") << "{\"name\":\"" << JsonEscape(m->materials[i].name)
            << "\",\"textureIndex\":" << m->materials[i].textureIndex << "}";
    }
    out << "],\"textureList\":[";
    for (size_t i = 0; i < m->textures.size(); ++i) {
        out << (i ? "," : "") << "{\"name\":\"" << JsonEscape(m->textures[i].name) << "\",\"width\":"
            << m->textures[i].width << ",\"height\":" << m->textures[i].height << "}";
    }
    out << "]}";
    return out.str();
}

std::string FormatText(const InfoResult& r)
{
    std::ostringstream out;
    const Model* m = r.model.get();
    out << r.path << "\n";
    out << "  result:        " << r.code << " " << Trimmed(r.message) << "\n";
    out << "  format:        " << r.formatId << " " << FormatShortName(r.formatId) << "\n";
    if (!m) return out.str();
    const auto b = ModelBounds(*m);
    const auto c = ModelCentre(*m);
    out << "  sub-meshes:    " << m->SubMeshCount() << "\n"
        << "  vertices:      " << TotalVertices(*m) << "\n"
        << "  faces:         " << TotalFaces(*m) << "\n"
        << "  corners:       " << SumOver(*m, Corners) << "\n"
        << "  normals:       " << SumOver(*m, Normals) << "\n"
        << "  tex coords:    " << SumOver(*m, TexCoords) << "\n"
        << "  materials:     " << m->MaterialCount() << "\n"
        << "  textures:      " << m->TextureCount() << "\n"
        << "  frames:        " << Frames(*m) << "\n"
        << "  bounds:        x " << Number(b[0], false) << " .. " << Number(b[1], false) << ", y "
        << Number(b[2], false) << " .. " << Number(b[3], false) << ", z " << Number(b[4], false) << " .. "
        << Number(b[5], false) << "\n"
        << "  centre:        " << Number(c[0], false) << " " << Number(c[1], false) << " " << Number(c[2], false)
        << "\n";
    for (const SubMesh& mesh : m->subMeshes) {
        out << "  mesh \"" << Utf8Text(mesh.name) << "\": " << mesh.VertexCount() << " vertices, " << mesh.FaceCount()
            << " faces, " << mesh.NormalCount() << " normals, " << mesh.TexCoordCount() << " tex coords, "
            << mesh.FrameCount() << " frames\n";
    }
    for (const Material& material : m->materials) {
        out << "  material \"" << Utf8Text(material.name) << "\": texture " << material.textureIndex << "\n";
    }
    for (const Texture& texture : m->textures) {
        out << "  texture \"" << Utf8Text(texture.name) << "\": " << texture.width << "x" << texture.height << "\n";
    }
    return out.str();
}

void LoadOne(InfoResult& r, const std::vector<MeshOp>& ops)
{
    LoadContext ctx;
    r.model = LoadModelFile(r.path, ctx);
    r.message = ResultMessage(ctx, &r.code);
    r.formatId = r.model ? r.model->formatId : IdentifyFormat(r.path.c_str());
    if (r.model && !r.model->subMeshes.empty()) ApplyOps(*r.model, ops, r.warnings);
}

struct InfoOptions {
    std::vector<std::string> paths;
    std::vector<MeshOp> ops;
    bool json = false;
};

int RunInfo(const InfoOptions& options)
{
    const bool json = options.json;
    const std::vector<MeshOp>& ops = options.ops;
    std::vector<InfoResult> results(options.paths.size());
    for (size_t i = 0; i < results.size(); ++i) results[i].path = options.paths[i];

    // Load on all cores; print in argument order.
    std::atomic<size_t> next{0};
    const size_t workers = std::min<size_t>(results.size(), std::max(1u, std::thread::hardware_concurrency()));
    std::vector<std::thread> threads;
    for (size_t w = 0; w < workers; ++w) {
        threads.emplace_back([&] {
            for (size_t i = next++; i < results.size(); i = next++) LoadOne(results[i], ops);
        });
    }
    for (std::thread& thread : threads) thread.join();

    bool allLoaded = true;
    for (const InfoResult& r : results) {
        const std::string text = json ? FormatJson(r) + "\n" : FormatText(r);
        std::fwrite(text.data(), 1, text.size(), stdout);
        for (const std::string& warning : r.warnings) std::fprintf(stderr, "%s: %s\n", r.path.c_str(), warning.c_str());
        allLoaded = allLoaded && r.model;
    }
    return allLoaded ? 0 : 1;
}

}  // namespace

CommandRun AddInfoCommand(CLI::App& command)
{
    auto o = std::make_shared<InfoOptions>();
    AddPathList(command, "FILE", o->paths, "the models to load");
    command.add_flag("--json", o->json, "print one JSON object per file instead of text");
    command
        .add_option_function<std::vector<std::string>>(
            "--apply",
            [o](const std::vector<std::string>& lists) {
                for (const std::string& list : lists) {
                    std::string bad;
                    if (!ParseOps(list, o->ops, bad)) {
                        throw CLI::ValidationError("--apply", "unknown or malformed operation '" + bad +
                                                                  "' (use normals, invert-normals, triangulate, "
                                                                  "tessellate, weld=TOL, decimate=FACTOR, scale=F)");
                    }
                }
            },
            "mesh operations to apply after loading, in order; may be repeated")
        ->type_name("OPS")
        ->allow_extra_args(false);
    command.footer(
        "OPS is a comma-separated list of: normals (generate them), invert-normals, triangulate,\n"
        "tessellate, weld=TOL (merge vertices within TOL), decimate=FACTOR (weld within FACTOR, 0 to 1,\n"
        "times the sum of the bounding box's six coordinates over 3), scale=F (F above 0).");
    return [o] { return RunInfo(*o); };
}

}  // namespace solvane::cli
