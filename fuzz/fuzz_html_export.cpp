#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "core/file_browsing.h"
#include "core/prepare.h"
#include "core/settings.h"
#include "fuzz/support.h"
#include "load/dispatch.h"
#include "load/model_report.h"
#include "viewer/html_export.h"

// The information report and the web page of whatever the OBJ reader makes of the input (the first
// byte picks the page's options; a 0xFF byte splits the rest into model and material library), and
// the mount table and remembered-folder parsers of the file browser on the same bytes. The page
// must be whole: a doctype first, the closing tag last, and every "<" starting a tag (names from the
// file are escaped).
namespace {

void Fail(const char* what)
{
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

void CheckMarkup(const std::string& page)
{
    if (!page.starts_with("<!DOCTYPE html>\n") || !page.ends_with("</html>\n")) Fail("page not whole");
    const size_t body = page.find("<body>");
    for (size_t at = page.find('<', body); at != std::string::npos; at = page.find('<', at + 1)) {
        const char next = at + 1 < page.size() ? page[at + 1] : '\0';
        if (!(next == '/' || (next >= 'a' && next <= 'z'))) Fail("a '<' that starts no tag");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace solvane;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const MountEntry& mount : ParseMounts(text)) (void)IsUserVolume(mount);
    (void)PlanRestoreWalk(text, {BrowserPlace{"/", "/", BrowserIcon::HardDisk}});
    if (size < 1) return 0;

    const uint8_t flags = data[0];
    size_t split = 1;
    while (split < size && data[split] != 0xFF) ++split;
    FuzzWriteCompanion("model.mtl", data + split + (split < size ? 1 : 0), split + 1 < size ? size - split - 1 : 0);
    const std::string modelPath = FuzzScratchPath("model.obj");
    FILE* file = std::fopen(modelPath.c_str(), "wb");
    if (!file) return 0;
    std::fwrite(data + 1, 1, split - 1, file);
    std::fclose(file);
    LoadContext load;
    std::unique_ptr<Model> model = LoadModelFile(modelPath, load);
    if (!model) return 0;
    PrepareModelData(*model, DefaultSettings());

    for (const ReportForm form : {ReportForm::Initial, ReportForm::Refresh}) {
        const std::string report = BuildModelReport(model.get(), modelPath, form);
        if (!report.ends_with("\r\n")) Fail("report line not ended");
        if (ReportWithLineFeeds(report).find('\r') != std::string::npos) Fail("carriage return left");
    }

    HtmlExportOptions options;
    options.dumpAll = flags & 1;
    options.zoomable = flags & 2;
    options.singleImage = flags & 4;
    options.noImage = flags & 8;
    options.absoluteLinks = flags & 16;
    options.imageWidth = 1 + (flags >> 5 & 3);
    options.imageHeight = 1 + (flags >> 5 & 1);
    const auto capture = [](const HtmlPictureRequest& request) {
        auto picture = std::make_unique<Texture>();
        picture->width = request.width;
        picture->height = request.height;
        picture->pixels.assign(static_cast<size_t>(request.width) * request.height * 3, 0x80);
        return picture;
    };
    const std::string pagePath = FuzzScratchPath("page.htm");
    std::string error;
    if (!WriteHtmlPage(*model, modelPath, options, pagePath, capture, &error)) Fail(error.c_str());
    FILE* page = std::fopen(pagePath.c_str(), "rb");
    if (!page) Fail("no page");
    std::string written;
    char buffer[65536];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, page)) > 0;) written.append(buffer, n);
    std::fclose(page);
    CheckMarkup(written);
    return 0;
}
