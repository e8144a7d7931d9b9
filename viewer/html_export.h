// The web page written by Export HTML (and `solvane-cli html`): an HTML5 page at the chosen path
// describing the model, with its pictures in a folder beside it ("<page name>_files/") linked by
// relative addresses (or absolute file: addresses when asked). The pictures of the view come from
// a capture callback, so the window and the command line draw them each in their own way.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/model.h"

namespace solvane {

// The options of the "HTML Export..." dialog, kept for the run; the initial values are the
// dialog's.
struct HtmlExportOptions {
    bool noImage = false;        // "No Image": no pictures of the view
    bool singleImage = false;    // "Single Image View": the view as shown only, not the three sides
    bool absoluteLinks = false;  // "Absolute Links": file: addresses instead of relative ones
    bool noGeometry = false;     // "No Geometry Info"
    bool noMaterials = false;    // "No Material(s) Info"
    bool noTextures = false;     // "No Texture(s) Info"
    bool noAnimation = false;    // "No Animation Info"
    bool dumpAll = false;        // "Dump All Data": every vertex, normal, coordinate and face
    std::array<int, 3> pageColor{255, 255, 255};
    std::array<int, 3> textColor{0, 0, 0};
    int imageWidth = 200;
    int imageHeight = 200;
    std::string headerPath;      // a file whose contents open the page's body; empty: none
    std::string footerPath;      // a file whose contents end it
    bool noMessage = false;      // "No Solvane Message": no line naming the program
    bool zoomable = false;       // "Zoomable Images": each picture links to one twice its size
};

constexpr int kMaxHtmlImageWidth = 1600;
constexpr int kMaxHtmlImageHeight = 1200;
// Longest header or footer path the dialog takes.
constexpr size_t kMaxHtmlIncludePath = 259;

// The dialog's checks after its numbers have been read, in its order: the header file, the footer
// file, the largest and the smallest picture. The message for the first that fails, or empty.
std::string HtmlOptionsProblem(const HtmlExportOptions& options);

// The pictures of the view: as it is shown, and from the front, the right side and the top.
enum class HtmlView { Current, Front, Side, Top };

struct HtmlPictureRequest {
    HtmlView view = HtmlView::Current;
    int width = 0;
    int height = 0;
};
// Draws the view's picture at the requested size: RGB, top row first. Null when it cannot.
using HtmlCapture = std::function<std::unique_ptr<Texture>(const HtmlPictureRequest& request)>;
// Progress through the page's steps (done of total).
using HtmlProgress = std::function<void(int done, int total)>;

// The folder the pictures go in: the page's path without its extension, plus "_files".
std::string HtmlPictureFolder(const std::string& pagePath);

// The pictures a page takes, in order: each view's request (and, when zoomable, its large one).
std::vector<HtmlPictureRequest> HtmlPictureRequests(const HtmlExportOptions& options);

// Writes the page for model (loaded from modelPath) at pagePath, with its pictures. False with a
// message in *error when the header or footer cannot be read, a picture cannot be drawn, or a file
// cannot be written; nothing of a failed export is left behind.
bool WriteHtmlPage(const Model& model, const std::string& modelPath, const HtmlExportOptions& options,
                   const std::string& pagePath, const HtmlCapture& capture, std::string* error,
                   const HtmlProgress& progress = {});

}  // namespace solvane
