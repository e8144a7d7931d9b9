#include "viewer/html_export.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "core/format_id.h"
#include "core/saturating.h"
#include "core/utf8_text.h"
#include "load/model_report.h"
#include "viewer/headless_context.h"

namespace solvane {
namespace {

namespace fs = std::filesystem;

// A header or footer file is a piece of a page, not a library.
constexpr uintmax_t kMaxIncludeBytes = 16u << 20;
// Texture pictures are shown this wide or high on the page (the longer side).
constexpr int kTextureThumbSide = 128;

struct ViewPicture {
    HtmlView view;
    const char* file;     // base name in the picture folder
    const char* caption;
    const char* alt;
};
constexpr ViewPicture kViews[] = {
    {HtmlView::Current, "view", "View", "The model as the view shows it"},
    {HtmlView::Front, "front", "Front", "The model seen from the front"},
    {HtmlView::Side, "side", "Right side", "The model seen from its right side"},
    {HtmlView::Top, "top", "Top", "The model seen from above"},
};

std::string Escape(std::string_view text)
{
    const std::string utf8 = Utf8Text(text);
    std::string out;
    out.reserve(utf8.size());
    for (const char c : utf8) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default:
            // Control characters other than tab and line feed are not allowed in HTML text.
            if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n') {
                out += ' ';
            } else {
                out += c;
            }
        }
    }
    return out;
}

// A path as a URL path: every byte outside the unreserved set and "/" is percent-encoded.
std::string UrlPath(std::string_view path)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const unsigned char c : path) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                           c == '_' || c == '.' || c == '~' || c == '/';
        if (plain) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

std::string FileUrl(const fs::path& absolutePath)
{
    std::string url = "file://";
    url += UrlPath(absolutePath.generic_string());
    return url;
}

std::string Fixed(double value, int decimals)
{
    char buffer[64];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    return error == std::errc() ? std::string(buffer, end) : std::string("?");
}

// The shortest text that reads back as the same float.
std::string Shortest(float value)
{
    char buffer[32];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return error == std::errc() ? std::string(buffer, end) : std::string("?");
}

std::string HexColor(const std::array<int, 3>& rgb)
{
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out = "#";
    for (const int channel : rgb) {
        const int c = std::clamp(channel, 0, 255);
        out += kHex[c >> 4];
        out += kHex[c & 15];
    }
    return out;
}

std::array<int, 3> Rgb255(const std::array<float, 3>& color)
{
    std::array<int, 3> rgb{};
    for (int k = 0; k < 3; ++k) rgb[k] = std::clamp(TruncateToInt(static_cast<double>(color[k]) * 255.0), 0, 255);
    return rgb;
}

std::string ColorCell(const std::array<float, 3>& color)
{
    const std::array<int, 3> rgb = Rgb255(color);
    std::string cell = "<td><span class=\"swatch\" style=\"background-color:";
    cell += HexColor(rgb);
    cell += "\"></span> ";
    cell += std::to_string(rgb[0]) + ", " + std::to_string(rgb[1]) + ", " + std::to_string(rgb[2]);
    cell += "</td>";
    return cell;
}

bool ReadInclude(const std::string& path, const char* what, std::string& text, std::string* error)
{
    std::error_code code;
    const uintmax_t size = fs::file_size(path, code);
    std::ifstream in(path, std::ios::binary);
    if (code || !in) {
        *error = std::string("The specified ") + what + " file does not exist.";
        return false;
    }
    if (size > kMaxIncludeBytes) {
        *error = std::string("The ") + what + " file is larger than 16 MiB.";
        return false;
    }
    text.assign(static_cast<size_t>(size), '\0');
    in.read(text.data(), static_cast<std::streamsize>(size));
    text.resize(static_cast<size_t>(in.gcount()));
    text = Utf8Text(text);
    return true;
}

// Files the export has made, removed again when it fails.
class WrittenFiles {
public:
    ~WrittenFiles()
    {
        if (kept_) return;
        std::error_code error;
        for (const fs::path& file : files_) fs::remove(file, error);
        if (!createdFolder_.empty()) fs::remove(createdFolder_, error);
    }
    void Add(const fs::path& file) { files_.push_back(file); }
    void FolderCreated(const fs::path& folder) { createdFolder_ = folder; }
    void Keep() { kept_ = true; }

private:
    std::vector<fs::path> files_;
    fs::path createdFolder_;
    bool kept_ = false;
};

// RGB rows bottom first (a texture as the image readers return it) turned top first.
std::vector<uint8_t> TopDown(const Texture& texture)
{
    const size_t row = static_cast<size_t>(texture.width) * 3;
    std::vector<uint8_t> out(texture.pixels.size());
    for (int32_t y = 0; y < texture.height; ++y) {
        std::copy_n(&texture.pixels[static_cast<size_t>(texture.height - 1 - y) * row], row, &out[static_cast<size_t>(y) * row]);
    }
    return out;
}

class PageWriter {
public:
    PageWriter(const Model& model, const std::string& modelPath, const HtmlExportOptions& options,
               const std::string& pagePath)
        : m_(model), modelPath_(modelPath), o_(options), page_(fs::absolute(pagePath)),
          folder_(fs::absolute(HtmlPictureFolder(pagePath)))
    {
    }

    bool Write(const HtmlCapture& capture, std::string* error, const HtmlProgress& progress);

private:
    std::string Link(const fs::path& target) const;
    bool WritePicture(const fs::path& file, int width, int height, const std::vector<uint8_t>& topDown,
                      std::string* error);
    bool Pictures(const HtmlCapture& capture, std::string* error, const std::function<void()>& step);
    void Geometry();
    void Materials();
    bool Textures(std::string* error);
    void Animation();
    void DumpAll();
    bool EnsureFolder(std::string* error);

    const Model& m_;
    std::string modelPath_;
    const HtmlExportOptions& o_;
    fs::path page_;
    fs::path folder_;
    std::string body_;
    WrittenFiles written_;
    bool folderReady_ = false;
};

std::string PageWriter::Link(const fs::path& target) const
{
    if (o_.absoluteLinks) return FileUrl(target);
    const fs::path relative = target.lexically_relative(page_.parent_path());
    return relative.empty() ? FileUrl(target) : UrlPath(relative.generic_string());
}

bool PageWriter::EnsureFolder(std::string* error)
{
    if (folderReady_) return true;
    std::error_code code;
    const bool existed = fs::is_directory(folder_, code);
    if (!existed && !fs::create_directory(folder_, code)) {
        *error = "Cannot create the picture folder " + folder_.string() + ".";
        return false;
    }
    if (!existed) written_.FolderCreated(folder_);
    folderReady_ = true;
    return true;
}

bool PageWriter::WritePicture(const fs::path& file, int width, int height, const std::vector<uint8_t>& topDown,
                              std::string* error)
{
    if (!EnsureFolder(error)) return false;
    written_.Add(file);
    if (!WritePng(file.string(), width, height, topDown)) {
        *error = "Cannot write the picture " + file.string() + ".";
        return false;
    }
    return true;
}

bool PageWriter::Pictures(const HtmlCapture& capture, std::string* error, const std::function<void()>& step)
{
    body_ += "<section id=\"pictures\">\n<h2>Pictures</h2>\n";
    const int count = o_.singleImage ? 1 : 4;
    for (int i = 0; i < count; ++i) {
        const ViewPicture& view = kViews[i];
        const fs::path small = folder_ / (std::string(view.file) + ".png");
        const fs::path large = folder_ / (std::string(view.file) + "-large.png");
        for (const bool isLarge : {false, true}) {
            if (isLarge && !o_.zoomable) continue;
            const int scale = isLarge ? 2 : 1;
            const HtmlPictureRequest request{view.view, o_.imageWidth * scale, o_.imageHeight * scale};
            const std::unique_ptr<Texture> picture = capture ? capture(request) : nullptr;
            if (!picture || picture->width != request.width || picture->height != request.height ||
                picture->pixels.size() != static_cast<size_t>(request.width) * request.height * 3) {
                *error = std::string("Could not draw the ") + view.caption + " picture.";
                return false;
            }
            if (!WritePicture(isLarge ? large : small, request.width, request.height, picture->pixels, error)) return false;
            step();
        }
        body_ += "<figure>";
        if (o_.zoomable) body_ += "<a href=\"" + Link(large) + "\">";
        body_ += "<img src=\"" + Link(small) + "\" width=\"" + std::to_string(o_.imageWidth) + "\" height=\"" +
                 std::to_string(o_.imageHeight) + "\" alt=\"" + view.alt + "\">";
        if (o_.zoomable) body_ += "</a>";
        body_ += "<figcaption>";
        body_ += view.caption;
        if (o_.zoomable) body_ += " (select the picture to see it larger)";
        body_ += "</figcaption></figure>\n";
    }
    body_ += "</section>\n";
    return true;
}

void PageWriter::Geometry()
{
    const auto row = [this](const char* name, const std::string& valueHtml, bool number = false) {
        body_ += "<tr><th scope=\"row\">";
        body_ += name;
        body_ += number ? "</th><td class=\"number\">" : "</th><td>";
        body_ += valueHtml;
        body_ += "</td></tr>\n";
    };
    body_ += "<section id=\"geometry\">\n<h2>Geometry</h2>\n<table>\n";
    const std::string name = ReportDisplayName(modelPath_);
    row("File", "<a href=\"" + Link(fs::absolute(modelPath_)) + "\">" + Escape(name) + "</a>");
    row("Location", Escape(ReportLocation(modelPath_)));
    row("Format", Escape(FormatShortName(m_.formatId)));
    std::error_code code;
    const uintmax_t bytes = fs::file_size(modelPath_, code);
    if (!code) row("File size", std::to_string(bytes) + " bytes", true);
    row("Polygons", std::to_string(TotalFaces(m_)), true);
    row("Vertices", std::to_string(TotalVertices(m_)), true);
    row("Sub-meshes", std::to_string(m_.SubMeshCount()), true);
    bool hasBounds = false;
    for (const SubMesh& mesh : m_.subMeshes) hasBounds = hasBounds || mesh.VertexCount() > 0;
    if (hasBounds) {
        // In the file's own units, as the information panel shows them.
        const std::array<float, 6> box = ModelBounds(m_);
        const std::array<float, 3> centre = ModelCentre(m_);
        const auto shown = [this](float value) { return Fixed(value / m_.loadScale, 2); };
        const char* axes[3] = {"X from, to", "Y from, to", "Z from, to"};
        for (int axis = 0; axis < 3; ++axis) row(axes[axis], shown(box[2 * axis]) + ", " + shown(box[2 * axis + 1]));
        row("Centre", shown(centre[0]) + ", " + shown(centre[1]) + ", " + shown(centre[2]));
    }
    body_ += "</table>\n<h3>Sub-meshes</h3>\n<table>\n<thead><tr><th scope=\"col\">Name</th><th scope=\"col\">Polygons"
             "</th><th scope=\"col\">Vertices</th><th scope=\"col\">Normals</th><th scope=\"col\">Texture "
             "coordinates</th></tr></thead>\n<tbody>\n";
    for (const SubMesh& mesh : m_.subMeshes) {
        body_ += "<tr><td>" + Escape(mesh.name) + "</td><td class=\"number\">" + std::to_string(mesh.FaceCount()) +
                 "</td><td class=\"number\">" + std::to_string(mesh.VertexCount()) + "</td><td class=\"number\">" +
                 std::to_string(mesh.NormalCount()) + "</td><td class=\"number\">" +
                 std::to_string(mesh.TexCoordCount()) + "</td></tr>\n";
    }
    body_ += "</tbody>\n</table>\n</section>\n";
}

void PageWriter::Materials()
{
    body_ += "<section id=\"materials\">\n<h2>Materials</h2>\n";
    if (m_.materials.empty()) {
        body_ += "<p>The model has no materials.</p>\n</section>\n";
        return;
    }
    // Only the values the model's flags say are meaningful.
    const bool color = m_.hasColor == 1, diffuse = m_.hasDiffuse == 1, specular = m_.hasSpecular == 1;
    const bool transparency = m_.hasTransparency == 1;
    body_ += "<table>\n<thead><tr><th scope=\"col\">Name</th>";
    if (color) body_ += "<th scope=\"col\">Colour</th>";
    if (diffuse) body_ += "<th scope=\"col\">Diffuse</th>";
    if (specular) body_ += "<th scope=\"col\">Specular</th>";
    if (transparency) body_ += "<th scope=\"col\">Transparency</th>";
    body_ += "<th scope=\"col\">Texture</th></tr></thead>\n<tbody>\n";
    for (const Material& material : m_.materials) {
        body_ += "<tr><td>" + Escape(material.name) + "</td>";
        if (color) body_ += ColorCell(material.color);
        if (diffuse) body_ += ColorCell(material.diffuse);
        if (specular) body_ += ColorCell(material.specular);
        if (transparency) body_ += "<td class=\"number\">" + Fixed(material.transparency, 2) + "</td>";
        const bool textured = material.textureIndex >= 0 && material.textureIndex < m_.TextureCount();
        body_ += "<td>" + (textured ? Escape(m_.textures[material.textureIndex].name) : std::string("none")) + "</td>";
        body_ += "</tr>\n";
    }
    body_ += "</tbody>\n</table>\n</section>\n";
}

bool PageWriter::Textures(std::string* error)
{
    body_ += "<section id=\"textures\">\n<h2>Textures</h2>\n";
    if (m_.textures.empty()) {
        body_ += "<p>The model has no textures.</p>\n</section>\n";
        return true;
    }
    body_ += "<table>\n<thead><tr><th scope=\"col\">Name</th><th scope=\"col\">Width</th><th scope=\"col\">Height"
             "</th><th scope=\"col\">Picture</th></tr></thead>\n<tbody>\n";
    for (int32_t i = 0; i < m_.TextureCount(); ++i) {
        const Texture& texture = m_.textures[i];
        body_ += "<tr><td>" + Escape(texture.name) + "</td><td class=\"number\">" + std::to_string(texture.width) +
                 "</td><td class=\"number\">" + std::to_string(texture.height) + "</td><td>";
        const bool drawable = texture.width > 0 && texture.height > 0 &&
                              texture.pixels.size() == static_cast<size_t>(texture.width) * texture.height * 3;
        if (drawable) {
            const fs::path file = folder_ / ("texture-" + std::to_string(i + 1) + ".png");
            if (!WritePicture(file, texture.width, texture.height, TopDown(texture), error)) return false;
            // Shown with its longer side kTextureThumbSide pixels, small textures enlarged.
            const double fit = static_cast<double>(kTextureThumbSide) / std::max(texture.width, texture.height);
            const int w = std::max(1, static_cast<int>(texture.width * fit));
            const int h = std::max(1, static_cast<int>(texture.height * fit));
            body_ += "<img src=\"" + Link(file) + "\" width=\"" + std::to_string(w) + "\" height=\"" + std::to_string(h) +
                     "\" alt=\"The texture " + Escape(texture.name) + "\">";
        } else {
            body_ += "not loaded";
        }
        body_ += "</td></tr>\n";
    }
    body_ += "</tbody>\n</table>\n</section>\n";
    return true;
}

void PageWriter::Animation()
{
    body_ += "<section id=\"animation\">\n<h2>Animation</h2>\n<table>\n<thead><tr><th scope=\"col\">Sub-mesh</th>"
             "<th scope=\"col\">Key frames</th><th scope=\"col\">Frame names</th></tr></thead>\n<tbody>\n";
    for (const SubMesh& mesh : m_.subMeshes) {
        std::string names = Escape(mesh.name);
        for (const AnimationFrame& frame : mesh.frames) names += ", " + Escape(frame.name);
        body_ += "<tr><td>" + Escape(mesh.name) + "</td><td class=\"number\">" + std::to_string(mesh.FrameCount()) +
                 "</td><td>" + names + "</td></tr>\n";
    }
    body_ += "</tbody>\n</table>\n</section>\n";
}

void PageWriter::DumpAll()
{
    body_ += "<section id=\"data\">\n<h2>All data</h2>\n<p>Positions in the file's own units.</p>\n";
    for (const SubMesh& mesh : m_.subMeshes) {
        body_ += "<h3>" + Escape(mesh.name) + "</h3>\n";
        body_ += "<h4>Vertices</h4>\n<pre>";
        for (int32_t v = 0; v < mesh.VertexCount(); ++v) {
            body_ += std::to_string(v) + ": ";
            for (int k = 0; k < 3; ++k) {
                if (k) body_ += ' ';
                body_ += Shortest(mesh.vertices[3 * v + k] / m_.loadScale);
            }
            body_ += '\n';
        }
        body_ += "</pre>\n";
        if (!mesh.normals.empty()) {
            body_ += "<h4>Normals</h4>\n<pre>";
            for (int32_t v = 0; v < mesh.NormalCount(); ++v) {
                body_ += std::to_string(v) + ": " + Shortest(mesh.normals[3 * v]) + ' ' +
                         Shortest(mesh.normals[3 * v + 1]) + ' ' + Shortest(mesh.normals[3 * v + 2]) + '\n';
            }
            body_ += "</pre>\n";
        }
        if (!mesh.texCoords.empty()) {
            body_ += "<h4>Texture coordinates</h4>\n<pre>";
            for (int32_t t = 0; t < mesh.TexCoordCount(); ++t) {
                body_ += std::to_string(t) + ": " + Shortest(mesh.texCoords[2 * t]) + ' ' +
                         Shortest(mesh.texCoords[2 * t + 1]) + '\n';
            }
            body_ += "</pre>\n";
        }
        body_ += "<h4>Polygons</h4>\n<p>Each line: the corners' vertex numbers";
        if (mesh.HasTexCoordIndices()) body_ += ", then after \"/\" their texture coordinates";
        body_ += ", then the material number.</p>\n<pre>";
        for (int32_t f = 0; f < mesh.FaceCount(); ++f) {
            body_ += std::to_string(f) + ":";
            const uint32_t* corners = mesh.FaceIndices(f);
            for (int c = 0; c < mesh.FaceCorners(f); ++c) body_ += ' ' + std::to_string(corners[c]);
            if (const uint32_t* tex = mesh.FaceTexCoordIndices(f)) {
                body_ += " /";
                for (int c = 0; c < mesh.FaceCorners(f); ++c) body_ += ' ' + std::to_string(tex[c]);
            }
            body_ += " material " + std::to_string(mesh.FaceMaterial(f)) + '\n';
        }
        body_ += "</pre>\n";
    }
    body_ += "</section>\n";
}

bool PageWriter::Write(const HtmlCapture& capture, std::string* error, const HtmlProgress& progress)
{
    std::string header, footer;
    if (!o_.headerPath.empty() && !ReadInclude(o_.headerPath, "header", header, error)) return false;
    if (!o_.footerPath.empty() && !ReadInclude(o_.footerPath, "footer", footer, error)) return false;

    // Steps: each picture, then the page.
    const int total = (o_.noImage ? 0 : static_cast<int>(HtmlPictureRequests(o_).size())) + 1;
    int done = 0;
    const auto step = [&] {
        ++done;
        if (progress) progress(done, total);
    };

    const std::string title = Escape(ReportDisplayName(modelPath_));
    body_ += header;
    body_ += "<h1>" + title + "</h1>\n";
    if (!o_.noImage && !Pictures(capture, error, step)) return false;
    if (!o_.noGeometry) Geometry();
    if (!o_.noMaterials) Materials();
    if (!o_.noTextures && !Textures(error)) return false;
    if (!o_.noAnimation) Animation();
    if (o_.dumpAll) DumpAll();
    if (!o_.noMessage) body_ += "<footer><p>This page was written by Solvane Viewer 3.0.</p></footer>\n";
    body_ += footer;

    std::string page = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                       "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
                       "<meta name=\"generator\" content=\"Solvane Viewer 3.0\">\n<title>";
    page += title;
    page += "</title>\n<style>\nbody { background-color: ";
    page += HexColor(o_.pageColor);
    page += "; color: ";
    page += HexColor(o_.textColor);
    page += "; font-family: sans-serif; margin: 1.5em; }\n"
            "a { color: inherit; }\n"
            "table { border-collapse: collapse; margin: 0.5em 0 1.5em; }\n"
            "th, td { border: 1px solid; padding: 0.2em 0.6em; text-align: left; vertical-align: top; }\n"
            "td.number { text-align: right; }\n"
            "figure { display: inline-block; margin: 0 1em 1em 0; }\n"
            ".swatch { display: inline-block; width: 1em; height: 1em; border: 1px solid; vertical-align: middle; }\n"
            "pre { font-size: 0.85em; }\n"
            "</style>\n</head>\n<body>\n";
    page += body_;
    page += "</body>\n</html>\n";

    // The page goes in whole or not at all: written beside its place, then renamed over it.
    const fs::path temporary = page_.string() + ".part";
    written_.Add(temporary);
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(page.data(), static_cast<std::streamsize>(page.size()));
        out.close();
        if (!out) {
            *error = "Cannot write the page " + page_.string() + ".";
            return false;
        }
    }
    std::error_code code;
    fs::rename(temporary, page_, code);
    if (code) {
        *error = "Cannot write the page " + page_.string() + ".";
        return false;
    }
    written_.Keep();
    step();
    return true;
}

}  // namespace

std::string HtmlOptionsProblem(const HtmlExportOptions& options)
{
    const auto readable = [](const std::string& path) {
        std::error_code code;
        return fs::is_regular_file(path, code) && std::ifstream(path, std::ios::binary).good();
    };
    if (!options.headerPath.empty() && !readable(options.headerPath)) return "The specified header file does not exist.";
    if (!options.footerPath.empty() && !readable(options.footerPath)) return "The specified footer file does not exist.";
    if (options.imageWidth > kMaxHtmlImageWidth || options.imageHeight > kMaxHtmlImageHeight) {
        return "Maximum image resolution is 1600x1200.";
    }
    if (options.imageWidth <= 0 || options.imageHeight <= 0) return "Image resolution must be above zero.";
    return std::string();
}

std::string HtmlPictureFolder(const std::string& pagePath)
{
    fs::path folder(pagePath);
    folder.replace_extension();
    return folder.string() + "_files";
}

std::vector<HtmlPictureRequest> HtmlPictureRequests(const HtmlExportOptions& options)
{
    std::vector<HtmlPictureRequest> requests;
    if (options.noImage) return requests;
    const int count = options.singleImage ? 1 : 4;
    for (int i = 0; i < count; ++i) {
        requests.push_back({kViews[i].view, options.imageWidth, options.imageHeight});
        if (options.zoomable) requests.push_back({kViews[i].view, options.imageWidth * 2, options.imageHeight * 2});
    }
    return requests;
}

bool WriteHtmlPage(const Model& model, const std::string& modelPath, const HtmlExportOptions& options,
                   const std::string& pagePath, const HtmlCapture& capture, std::string* error,
                   const HtmlProgress& progress)
{
    std::string ignored;
    if (!error) error = &ignored;
    const std::string problem = HtmlOptionsProblem(options);
    if (!problem.empty()) {
        *error = problem;
        return false;
    }
    PageWriter writer(model, modelPath, options, pagePath);
    return writer.Write(capture, error, progress);
}

}  // namespace solvane
