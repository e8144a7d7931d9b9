#include "load/model_report.h"

#include <charconv>
#include <filesystem>
#include <system_error>

#include "core/format_id.h"
#include "core/saturating.h"

namespace solvane {
namespace {

constexpr size_t kMaxDisplayName = 63;

// "%.2f" without the locale: the window runs under the user's locale, whose decimal mark may be a
// comma, and the report always uses a point. std::to_chars rounds like printf in the C locale.
std::string Fixed2(double value)
{
    char buffer[64];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 2);
    return error == std::errc() ? std::string(buffer, end) : std::string("?");
}

// A colour component or transparency as the refresh form prints it: value x 255, truncated. The
// product of a float and 255 is exact in double precision, so the truncation is of the exact value.
int Times255(float value)
{
    return TruncateToInt(static_cast<double>(value) * 255.0);
}

class ReportText {
public:
    // Appends one line: the pieces, then the end marks.
    template <typename... Pieces>
    void Line(const Pieces&... pieces)
    {
        (text_.append(pieces), ...);
        text_.append("&$");
    }

    std::string Finish()
    {
        for (char& c : text_) {
            if (c == '&') c = '\r';
            else if (c == '$') c = '\n';
        }
        return std::move(text_);
    }

private:
    std::string text_;
};

std::string Number(int64_t value)
{
    return std::to_string(value);
}

std::string Triple(const std::array<float, 3>& value, ReportForm form)
{
    std::string text("(");
    for (int k = 0; k < 3; ++k) {
        if (k > 0) text += ", ";
        text += form == ReportForm::Initial ? Fixed2(value[k]) : Number(Times255(value[k]));
    }
    text += ")";
    return text;
}

std::string FileSizeText(std::string_view path)
{
    std::error_code error;
    const std::filesystem::path file{std::string(path)};
    if (!std::filesystem::is_regular_file(file, error)) return "unknown";
    const uintmax_t bytes = std::filesystem::file_size(file, error);
    if (error) return "unknown";
    std::string text = Fixed2(static_cast<double>(bytes) / 1024.0);
    text += " kb";
    return text;
}

}  // namespace

std::string ReportDisplayName(std::string_view path)
{
    const size_t slash = path.rfind('/');
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    if (name.size() <= kMaxDisplayName) return std::string(name);
    size_t cut = kMaxDisplayName;
    // Never end inside a UTF-8 sequence: step back over continuation bytes to the lead byte, and
    // drop that sequence when it does not fit whole.
    size_t lead = cut;
    while (lead > 0 && (static_cast<unsigned char>(name[lead]) & 0xC0) == 0x80) --lead;
    if (lead < cut || (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) cut = lead;
    return std::string(name.substr(0, cut));
}

std::string ReportLocation(std::string_view path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

std::string BuildModelReport(const Model* model, std::string_view path, ReportForm form)
{
    if (!model || path.size() < 2) return std::string();
    const Model& m = *model;
    const bool refresh = form == ReportForm::Refresh;
    ReportText report;
    report.Line("      NAME: ", ReportDisplayName(path));
    report.Line("  LOCATION: ", ReportLocation(path));
    report.Line("      TYPE: ", std::string(FormatShortName(m.formatId)));
    report.Line(" FILE SIZE: ", FileSizeText(path));
    report.Line("  POLYGONS: ", Number(TotalFaces(m)));
    report.Line("  VERTICES: ", Number(TotalVertices(m)));
    report.Line("SUB-MESHES: ", Number(m.SubMeshCount()));

    // The model-wide box exists when at least one sub-mesh has vertices.
    bool hasBounds = false;
    for (const SubMesh& mesh : m.subMeshes) hasBounds = hasBounds || mesh.VertexCount() > 0;
    if (hasBounds) {
        const std::array<float, 6> box = ModelBounds(m);
        const std::array<float, 3> centre = ModelCentre(m);
        // The refresh form shows the file's own units: the load step resized by loadScale.
        const float scale = refresh ? m.loadScale : 1.0f;
        const auto shown = [scale](float value) -> double { return value / scale; };
        report.Line("X(min,max): (", Fixed2(shown(box[0])), ", ", Fixed2(shown(box[1])), ")");
        report.Line("Y(min,max): (", Fixed2(shown(box[2])), ", ", Fixed2(shown(box[3])), ")");
        report.Line("Z(min,max): (", Fixed2(shown(box[4])), ", ", Fixed2(shown(box[5])), ")");
        report.Line("    CENTER: (", Fixed2(shown(centre[0])), ", ", Fixed2(shown(centre[1])), ", ",
                    Fixed2(shown(centre[2])), ")");
    }

    report.Line(" MATERIALS: ", Number(m.MaterialCount()));
    for (const Material& material : m.materials) {
        report.Line("            ", material.name);
        if (m.hasColor == 1) report.Line("               COLOR: ", Triple(material.color, form));
        const auto diffuse = [&] {
            if (m.hasDiffuse == 1) report.Line("             DIFFUSE: ", Triple(material.diffuse, form));
        };
        const auto specular = [&] {
            if (m.hasSpecular == 1) report.Line("            SPECULAR: ", Triple(material.specular, form));
        };
        if (refresh) {
            diffuse();
            specular();
        } else {
            specular();
            diffuse();
        }
        if (m.hasTransparency == 1) {
            report.Line("               TRANS: ",
                        refresh ? Number(Times255(material.transparency)) : Fixed2(material.transparency));
        }
    }

    report.Line("  TEXTURES: ", Number(m.TextureCount()));
    for (const Texture& texture : m.textures) {
        report.Line("            ", texture.name);
        report.Line("               WIDTH: ", Number(texture.width));
        report.Line("              HEIGHT: ", Number(texture.height));
    }
    return report.Finish();
}

std::string ReportWithLineFeeds(std::string_view report)
{
    std::string out;
    out.reserve(report.size());
    for (size_t i = 0; i < report.size(); ++i) {
        if (report[i] != '\r') {
            out.push_back(report[i]);
            continue;
        }
        out.push_back('\n');
        if (i + 1 < report.size() && report[i + 1] == '\n') ++i;
    }
    return out;
}

}  // namespace solvane
