// solvane-cli info: loads each file through the dispatch (in parallel when there are several)
// and prints what it holds, as text or as one JSON object per line.
#include <algorithm>
#include <atomic>
#include <charconv>
#include <cstdio>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "load/dispatch.h"
#include "core/mesh_ops.h"
#include "tools/cli.h"

namespace solvane::cli {
namespace {

struct InfoResult {
    std::string path;
    std::unique_ptr<Model> model;
    int32_t code = 100;
    std::string message;
    std::string reason;  // why the file could not be read, when it could not
    FormatId formatId = -1;
    std::vector<std::string> warnings;  // error-box texts of the applied operations
};

// One mesh operation of --apply.
enum class OpKind { Normals, InvertNormals, Triangulate, Tessellate, Weld, Decimate, Scale };

struct MeshOp {
    OpKind kind;
    double value = 0;
};

bool ParseNumber(std::string_view text, double& value)
{
    // std::from_chars ignores the locale, unlike strtod.
    const char* end = text.data() + text.size();
    const auto [ptr, error] = std::from_chars(text.data(), end, value);
    return error == std::errc() && ptr == end && !text.empty();
}

// Parses "normals,triangulate,weld=0.01,..."; false (with a message) on anything unknown.
bool ParseOps(const std::string& list, std::vector<MeshOp>& ops)
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
            std::fprintf(stderr,
                         "solvane-cli info: unknown or malformed operation '%.*s' (use normals, invert-normals, "
                         "triangulate, tessellate, weld=TOL, decimate=FACTOR, scale=F)\n",
                         static_cast<int>(item.size()), item.data());
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

std::string Number(double value)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.9g", value);
    std::string text(buffer);
    if (text == "nan" || text == "-nan" || text == "inf" || text == "-inf") return "null";
    return text;
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
        << ",\"result\":" << r.code << ",\"message\":\"" << JsonEscape(r.message) << "\"";
    if (!r.reason.empty()) out << ",\"reason\":\"" << JsonEscape(r.reason) << "\"";
    out << ",\"formatId\":" << r.formatId << ",\"format\":\"" << JsonEscape(FormatShortName(r.formatId)) << "\"";
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
    for (int k = 0; k < 6; ++k) out << (k ? "," : "") << Number(bounds[k]);
    out << "],\"centroid\":[";
    for (int k = 0; k < 3; ++k) out << (k ? "," : "") << Number(centre[k]);
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
    if (!r.reason.empty()) out << "  reason:        " << r.reason << "\n";
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
        << "  bounds:        x " << Number(b[0]) << " .. " << Number(b[1]) << ", y " << Number(b[2]) << " .. "
        << Number(b[3]) << ", z " << Number(b[4]) << " .. " << Number(b[5]) << "\n"
        << "  centre:        " << Number(c[0]) << " " << Number(c[1]) << " " << Number(c[2]) << "\n";
    for (const SubMesh& mesh : m->subMeshes) {
        out << "  mesh \"" << mesh.name << "\": " << mesh.VertexCount() << " vertices, " << mesh.FaceCount()
            << " faces, " << mesh.NormalCount() << " normals, " << mesh.TexCoordCount() << " tex coords, "
            << mesh.FrameCount() << " frames\n";
    }
    for (const Material& material : m->materials) {
        out << "  material \"" << material.name << "\": texture " << material.textureIndex << "\n";
    }
    for (const Texture& texture : m->textures) {
        out << "  texture \"" << texture.name << "\": " << texture.width << "x" << texture.height << "\n";
    }
    return out.str();
}

void LoadOne(InfoResult& r, const std::vector<MeshOp>& ops)
{
    LoadContext ctx;
    r.model = LoadModelFile(r.path, ctx);
    r.message = ResultMessage(ctx, &r.code);
    r.reason = ctx.reason;
    r.formatId = r.model ? r.model->formatId : IdentifyFormat(r.path.c_str());
    if (r.model && !r.model->subMeshes.empty()) ApplyOps(*r.model, ops, r.warnings);
}

}  // namespace

std::string JsonEscape(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20 || c >= 0x7F) {
                char buffer[8];
                std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
                out += buffer;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out;
}

int RunInfo(const std::vector<std::string>& args)
{
    bool json = false;
    std::vector<InfoResult> results;
    std::vector<MeshOp> ops;
    for (size_t a = 0; a < args.size(); ++a) {
        const std::string& arg = args[a];
        if (arg == "--json") {
            json = true;
        } else if (arg == "--apply" || arg.rfind("--apply=", 0) == 0) {
            if (arg == "--apply" && a + 1 >= args.size()) {
                std::fprintf(stderr, "solvane-cli info: --apply needs a list of operations\n");
                return 2;
            }
            if (!ParseOps(arg == "--apply" ? args[++a] : arg.substr(8), ops)) return 2;
        } else if (!arg.empty() && arg[0] == '-' && arg.size() > 1) {
            std::fprintf(stderr, "solvane-cli info: unknown option '%s'\n", arg.c_str());
            return 2;
        } else {
            results.emplace_back().path = arg;
        }
    }
    if (results.empty()) {
        std::fprintf(stderr, "usage: solvane-cli info [--json] [--apply OPS] FILE...\n");
        return 2;
    }

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

}  // namespace solvane::cli
