// The web page of Export HTML: every option's effect on the page, read back with an HTML checker
// (tests/tools/html_check.py), and the pictures decoded by our PNG reader; the option checks in
// their order; a failed export leaves nothing behind. Pictures come from a capture that paints each
// view in a colour of its own, so the tests see which picture went where.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "core/format_id.h"
#include "image/readers.h"
#include "tests/test_support.h"
#include "viewer/html_export.h"

namespace solvane {
namespace {

namespace fs = std::filesystem;
using test::AddFace;
using test::ScratchDir;

// The top half of each view's picture is its colour; the bottom half black.
std::array<uint8_t, 3> ViewColor(HtmlView view)
{
    switch (view) {
    case HtmlView::Current: return {255, 0, 0};
    case HtmlView::Front: return {0, 255, 0};
    case HtmlView::Side: return {0, 0, 255};
    case HtmlView::Top: return {255, 255, 255};
    }
    return {0, 0, 0};
}

struct FakeCapture {
    std::vector<HtmlPictureRequest> requests;
    bool fail = false;

    HtmlCapture Callback()
    {
        return [this](const HtmlPictureRequest& request) -> std::unique_ptr<Texture> {
            requests.push_back(request);
            if (fail) return nullptr;
            auto picture = std::make_unique<Texture>();
            picture->width = request.width;
            picture->height = request.height;
            picture->pixels.assign(static_cast<size_t>(request.width) * request.height * 3, 0);
            const auto color = ViewColor(request.view);
            for (int y = 0; y < request.height / 2; ++y) {
                for (int x = 0; x < request.width; ++x) {
                    std::copy(color.begin(), color.end(), &picture->pixels[(static_cast<size_t>(y) * request.width + x) * 3]);
                }
            }
            return picture;
        };
    }
};

// A model with something for every section: two materials (with a name that needs escaping), a
// texture with pixels, a second key frame, texture coordinates; loaded at scale 0.5.
std::unique_ptr<Model> RichModel()
{
    auto model = NewModel(1, 2, 1);
    model->formatId = Format::Md2;
    model->loadScale = 0.5f;
    model->hasColor = model->hasDiffuse = model->hasTextures = 1;
    SubMesh& mesh = model->subMeshes[0];
    mesh.name = "body";
    mesh.vertices = {0, 0, 0, 1, 0, 0, 0, 1, 0.25f};
    mesh.texCoords = {0, 0, 1, 0, 0, 1};
    mesh.ReserveFaces(1, 3, true);
    AddFace(mesh, {0, 1, 2});
    mesh.faceMaterials = {1};
    AnimationFrame frame;
    frame.name = "run1";
    frame.vertices = mesh.vertices;
    mesh.frames.push_back(frame);
    ComputeAllBounds(*model);
    model->materials[0].name = "Skin <&> \"tone\"";
    model->materials[0].color = {1, 0.5f, 0};
    model->materials[0].textureIndex = 0;
    model->materials[1].name = "Metal";
    model->textures[0].name = "skin.pcx";
    model->textures[0].width = 2;
    model->textures[0].height = 2;
    // Rows bottom first: the bottom row red, the top row blue.
    model->textures[0].pixels = {255, 0, 0, 255, 0, 0, 0, 0, 255, 0, 0, 255};
    return model;
}

struct Export {
    ScratchDir dir;
    std::string modelPath;
    std::string pagePath;
    std::string page;
    std::string error;
    bool ok = false;
    FakeCapture capture;

    explicit Export(const HtmlExportOptions& options, const Model* model = nullptr, const std::string& pageName = "page.htm")
    {
        modelPath = dir.Write("models/ogre.md2", std::string(3000, 'x'));
        pagePath = (dir.Path() / "out" / pageName).string();
        fs::create_directories(dir.Path() / "out");
        const std::unique_ptr<Model> rich = model ? nullptr : RichModel();
        ok = WriteHtmlPage(model ? *model : *rich, modelPath, options, pagePath, capture.Callback(), &error);
        page = test::ReadFileBytes(pagePath);
    }

    fs::path Pictures() const { return HtmlPictureFolder(pagePath); }
    bool Has(const std::string& text) const { return page.find(text) != std::string::npos; }
    size_t Count(const std::string& text) const
    {
        size_t count = 0;
        for (size_t at = page.find(text); at != std::string::npos; at = page.find(text, at + 1)) ++count;
        return count;
    }
};

// The checker's verdict on a page: "ok" or its problems.
std::string CheckPage(const std::string& path)
{
    std::string out;
    const std::string checker = (test::SourceDir() / "tests" / "tools" / "html_check.py").string();
    test::RunCommand("python3 '" + checker + "' '" + path + "' 2>&1", &out);
    return out;
}

// The decoded picture's colour at a row counted from the top (the reader's row 0 is the bottom).
std::array<uint8_t, 3> PixelFromTop(const Texture& picture, int row, int column = 0)
{
    const size_t at = (static_cast<size_t>(picture.height - 1 - row) * picture.width + column) * 3;
    return {picture.pixels[at], picture.pixels[at + 1], picture.pixels[at + 2]};
}

TEST(HtmlExport, DefaultPageHasEverySectionAndFourPicturesOfTheViews)
{
    Export e{HtmlExportOptions{}};
    ASSERT_TRUE(e.ok) << e.error;
    EXPECT_EQ(CheckPage(e.pagePath), "ok\n");
    for (const char* section : {"id=\"pictures\"", "id=\"geometry\"", "id=\"materials\"", "id=\"textures\"",
                                "id=\"animation\""}) {
        EXPECT_TRUE(e.Has(section)) << section;
    }
    EXPECT_FALSE(e.Has("id=\"data\""));
    EXPECT_TRUE(e.Has("<footer><p>This page was written by Solvane Viewer 3.0.</p></footer>"));
    EXPECT_TRUE(e.Has("background-color: #ffffff; color: #000000;"));
    EXPECT_TRUE(e.Has("<title>ogre.md2</title>"));
    ASSERT_EQ(e.capture.requests.size(), 4u);
    const std::pair<const char*, HtmlView> views[] = {
        {"view", HtmlView::Current}, {"front", HtmlView::Front}, {"side", HtmlView::Side}, {"top", HtmlView::Top}};
    for (size_t i = 0; i < 4; ++i) {
        const auto& [name, view] = views[i];
        EXPECT_EQ(e.capture.requests[i].view, view);
        EXPECT_EQ(e.capture.requests[i].width, 200);
        EXPECT_TRUE(e.Has("<img src=\"page_files/" + std::string(name) + ".png\" width=\"200\" height=\"200\""))
            << name;
        const std::unique_ptr<Texture> picture = ReadPngFile((e.Pictures() / (std::string(name) + ".png")).c_str());
        ASSERT_TRUE(picture) << name;
        EXPECT_EQ(picture->width, 200);
        EXPECT_EQ(picture->height, 200);
        EXPECT_EQ(PixelFromTop(*picture, 0), ViewColor(view)) << name;
        EXPECT_EQ(PixelFromTop(*picture, 199), (std::array<uint8_t, 3>{0, 0, 0})) << name;
    }
    // Nothing zoomable without the option.
    EXPECT_FALSE(e.Has("-large.png"));
    EXPECT_FALSE(fs::exists(e.Pictures() / "view-large.png"));
}

// Large totals: digits only, no separators in any locale.
TEST(HtmlExport, TotalsArePlainIntegers)
{
    auto model = NewModel(2, 0, 0);
    for (SubMesh& mesh : model->subMeshes) {
        mesh.vertices.assign(3 * 61728, 0.5f);
        mesh.ReserveFaces(617, 617 * 3, false);
        for (int f = 0; f < 617; ++f) AddFace(mesh, {0, 1, 2});
    }
    ComputeAllBounds(*model);
    HtmlExportOptions options;
    options.noImage = true;
    Export e{options, model.get()};
    ASSERT_TRUE(e.ok) << e.error;
    EXPECT_TRUE(e.Has("<th scope=\"row\">Vertices</th><td class=\"number\">123456</td>"));
    EXPECT_TRUE(e.Has("<th scope=\"row\">Polygons</th><td class=\"number\">1234</td>"));
    EXPECT_TRUE(e.Has("<p>The model has no materials.</p>"));
    EXPECT_EQ(CheckPage(e.pagePath), "ok\n");
}

// Geometry in the file's units and the model linked relatively; materials following the flags with
// escaped names; the texture's picture written upright (the reader's bottom row stays at the
// bottom); the key frames.
TEST(HtmlExport, DefaultPageShowsTheModelInItsSections)
{
    Export e{HtmlExportOptions{}};
    ASSERT_TRUE(e.ok) << e.error;
    for (const char* fragment : {
             "<a href=\"../models/ogre.md2\">ogre.md2</a>",
             "<td>Quake 2 Model</td>",
             "3000 bytes",
             "<th scope=\"row\">Polygons</th><td class=\"number\">1</td>",
             "<th scope=\"row\">Vertices</th><td class=\"number\">3</td>",
             "<th scope=\"row\">X from, to</th><td>0.00, 2.00</td>",
             "<th scope=\"row\">Z from, to</th><td>0.00, 0.50</td>",
             "<td>Skin &lt;&amp;&gt; &quot;tone&quot;</td>",
             "<th scope=\"col\">Colour</th><th scope=\"col\">Diffuse</th><th scope=\"col\">Texture</th>",
             "background-color:#ff7f00\"></span> 255, 127, 0</td>",
             "<td>skin.pcx</td></tr>",
             "<td>none</td></tr>",
             "<img src=\"page_files/texture-1.png\" width=\"128\" height=\"128\" alt=\"The texture skin.pcx\">",
             "<tr><td>body</td><td class=\"number\">2</td><td>body, run1</td></tr>",
         }) {
        EXPECT_TRUE(e.Has(fragment)) << fragment;
    }
    EXPECT_FALSE(e.Has(">Specular<"));
    const std::unique_ptr<Texture> picture = ReadPngFile((e.Pictures() / "texture-1.png").c_str());
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->pixels, RichModel()->textures[0].pixels);
}

// Each "No ..." option takes its section away and leaves the others.
TEST(HtmlExport, EachSectionSwitchRemovesItsSection)
{
    const std::pair<bool HtmlExportOptions::*, const char*> switches[] = {
        {&HtmlExportOptions::noGeometry, "id=\"geometry\""},
        {&HtmlExportOptions::noMaterials, "id=\"materials\""},
        {&HtmlExportOptions::noTextures, "id=\"textures\""},
        {&HtmlExportOptions::noAnimation, "id=\"animation\""},
        {&HtmlExportOptions::noImage, "id=\"pictures\""},
        {&HtmlExportOptions::noMessage, "<footer>"},
    };
    for (const auto& [flag, mark] : switches) {
        SCOPED_TRACE(mark);
        HtmlExportOptions options;
        options.*flag = true;
        Export e{options};
        ASSERT_TRUE(e.ok) << e.error;
        EXPECT_FALSE(e.Has(mark));
        for (const auto& [other, otherMark] : switches) {
            if (other != flag) {
                EXPECT_TRUE(e.Has(otherMark)) << otherMark;
            }
        }
        EXPECT_EQ(CheckPage(e.pagePath), "ok\n");
    }
}

TEST(HtmlExport, NoImageDrawsNothingAndSingleImageDrawsTheViewOnly)
{
    HtmlExportOptions none;
    none.noImage = true;
    none.singleImage = true;
    Export e{none};
    ASSERT_TRUE(e.ok) << e.error;
    EXPECT_TRUE(e.capture.requests.empty());
    EXPECT_FALSE(fs::exists(e.Pictures() / "view.png"));
    // The texture picture still has its place.
    EXPECT_TRUE(fs::exists(e.Pictures() / "texture-1.png"));

    HtmlExportOptions single;
    single.singleImage = true;
    Export s{single};
    ASSERT_TRUE(s.ok) << s.error;
    ASSERT_EQ(s.capture.requests.size(), 1u);
    EXPECT_EQ(s.capture.requests[0].view, HtmlView::Current);
    EXPECT_EQ(s.Count("<figure>"), 1u);
    EXPECT_FALSE(fs::exists(s.Pictures() / "front.png"));
}

// Zoomable pictures link to one twice the size; the page shows the small one.
TEST(HtmlExport, ZoomablePicturesLinkToLargerOnes)
{
    HtmlExportOptions options;
    options.zoomable = true;
    options.singleImage = true;
    options.imageWidth = 320;
    options.imageHeight = 240;
    Export e{options};
    ASSERT_TRUE(e.ok) << e.error;
    ASSERT_EQ(e.capture.requests.size(), 2u);
    EXPECT_EQ(e.capture.requests[1].width, 640);
    EXPECT_EQ(e.capture.requests[1].height, 480);
    EXPECT_TRUE(e.Has("<a href=\"page_files/view-large.png\"><img src=\"page_files/view.png\" width=\"320\" "
                      "height=\"240\""));
    const std::unique_ptr<Texture> large = ReadPngFile((e.Pictures() / "view-large.png").c_str());
    ASSERT_TRUE(large);
    EXPECT_EQ(large->width, 640);
    EXPECT_EQ(large->height, 480);
    EXPECT_EQ(PixelFromTop(*large, 239), ViewColor(HtmlView::Current));
    EXPECT_EQ(PixelFromTop(*large, 240), (std::array<uint8_t, 3>{0, 0, 0}));
    EXPECT_EQ(CheckPage(e.pagePath), "ok\n");
}

TEST(HtmlExport, AbsoluteLinksAreFileAddresses)
{
    HtmlExportOptions options;
    options.absoluteLinks = true;
    options.singleImage = true;
    Export e{options};
    ASSERT_TRUE(e.ok) << e.error;
    const std::string pictures = fs::absolute(e.Pictures()).generic_string();
    EXPECT_TRUE(e.Has("<img src=\"file://" + pictures + "/view.png\"")) << e.page.substr(0, 2000);
    EXPECT_TRUE(e.Has("<a href=\"file://" + fs::absolute(e.modelPath).generic_string() + "\">ogre.md2</a>"));
    EXPECT_FALSE(e.Has("src=\"page_files/"));
}

// Addresses are percent-encoded: blanks and "#" in the page's name do not break them.
TEST(HtmlExport, RelativeLinksArePercentEncoded)
{
    HtmlExportOptions options;
    options.singleImage = true;
    Export e{options, nullptr, "my page#1.html"};
    ASSERT_TRUE(e.ok) << e.error;
    EXPECT_EQ(e.Pictures().filename(), "my page#1_files");
    EXPECT_TRUE(e.Has("<img src=\"my%20page%231_files/view.png\""));
    EXPECT_TRUE(fs::exists(e.Pictures() / "view.png"));
}

TEST(HtmlExport, DumpAllListsEveryValueInTheFilesUnits)
{
    HtmlExportOptions options;
    options.dumpAll = true;
    Export e{options};
    ASSERT_TRUE(e.ok) << e.error;
    EXPECT_TRUE(e.Has("id=\"data\""));
    EXPECT_TRUE(e.Has("<h4>Vertices</h4>\n<pre>0: 0 0 0\n1: 2 0 0\n2: 0 2 0.5\n</pre>"));
    EXPECT_TRUE(e.Has("<h4>Texture coordinates</h4>\n<pre>0: 0 0\n1: 1 0\n2: 0 1\n</pre>"));
    EXPECT_TRUE(e.Has("<pre>0: 0 1 2 / 0 1 2 material 1\n</pre>"));
    EXPECT_FALSE(e.Has("<h4>Normals</h4>"));
    EXPECT_EQ(CheckPage(e.pagePath), "ok\n");
}

TEST(HtmlExport, PageAndTextColours)
{
    HtmlExportOptions options;
    options.pageColor = {25, 30, 43};
    options.textColor = {255, 200, 0};
    options.noImage = true;
    Export e{options};
    ASSERT_TRUE(e.ok) << e.error;
    EXPECT_TRUE(e.Has("body { background-color: #191e2b; color: #ffc800;"));
}

// The header opens the body and the footer ends it, as written (a non-UTF-8 file read as
// Windows-1252).
TEST(HtmlExport, HeaderAndFooterFilesFrameThePage)
{
    ScratchDir files;
    HtmlExportOptions options;
    options.noImage = true;
    options.headerPath = files.Write("header.html", "<nav><a href=\"index.html\">Home</a></nav>\n");
    options.footerPath = files.Write("footer.html", "<p>Caf\xe9 models</p>\n");
    Export e{options};
    ASSERT_TRUE(e.ok) << e.error;
    EXPECT_TRUE(e.Has("<body>\n<nav><a href=\"index.html\">Home</a></nav>\n<h1>"));
    EXPECT_TRUE(e.Has("</footer>\n<p>Caf\xc3\xa9 models</p>\n</body>\n</html>\n"));
    EXPECT_EQ(CheckPage(e.pagePath), "ok\n");
}

// The dialog's checks, in its order: the header, the footer, then the largest and the smallest
// size; the first failure names itself.
TEST(HtmlExport, OptionChecksInTheDialogsOrder)
{
    ScratchDir files;
    const std::string exists = files.Write("part.html", "<p>x</p>");
    const std::string missing = (files.Path() / "missing.html").string();
    struct Case {
        std::string header, footer;
        int width, height;
        const char* problem;
    };
    const Case cases[] = {
        {missing, missing, 1601, 0, "The specified header file does not exist."},
        {exists, missing, 1601, 0, "The specified footer file does not exist."},
        {"", "", 1601, 10, "Maximum image resolution is 1600x1200."},
        {"", "", 10, 1201, "Maximum image resolution is 1600x1200."},
        {"", "", 1601, 0, "Maximum image resolution is 1600x1200."},
        {"", "", 0, 10, "Image resolution must be above zero."},
        {"", "", 10, 0, "Image resolution must be above zero."},
        {exists, exists, 1600, 1200, ""},
        {"", "", 1, 1, ""},
        // A folder is no file to read.
        {files.Path().string(), "", 10, 10, "The specified header file does not exist."},
    };
    for (const Case& c : cases) {
        HtmlExportOptions options;
        options.headerPath = c.header;
        options.footerPath = c.footer;
        options.imageWidth = c.width;
        options.imageHeight = c.height;
        EXPECT_EQ(HtmlOptionsProblem(options), c.problem) << c.width << "x" << c.height;
    }
}

// A failure leaves no page, no picture and no folder behind; the message says what failed.
TEST(HtmlExport, FailedExportLeavesNothingBehind)
{
    ScratchDir dir;
    const std::unique_ptr<Model> model = RichModel();
    const std::string page = (dir.Path() / "page.htm").string();
    FakeCapture capture;
    capture.fail = true;
    std::string error;
    EXPECT_FALSE(WriteHtmlPage(*model, "/no/such/ogre.md2", HtmlExportOptions{}, page, capture.Callback(), &error));
    EXPECT_EQ(error, "Could not draw the View picture.");
    EXPECT_TRUE(fs::is_empty(dir.Path()));

    HtmlExportOptions options;
    options.headerPath = (dir.Path() / "none.html").string();
    EXPECT_FALSE(WriteHtmlPage(*model, "/no/such/ogre.md2", options, page, FakeCapture().Callback(), &error));
    EXPECT_EQ(error, "The specified header file does not exist.");
    EXPECT_TRUE(fs::is_empty(dir.Path()));

    // A page in a folder that does not exist.
    EXPECT_FALSE(WriteHtmlPage(*model, "/no/such/ogre.md2", HtmlExportOptions{}, (dir.Path() / "gone/p.htm").string(),
                               FakeCapture().Callback(), &error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(fs::is_empty(dir.Path()));
}

TEST(HtmlExport, PictureFolderSitsBesideThePage)
{
    EXPECT_EQ(HtmlPictureFolder("/a/b/page.htm"), "/a/b/page_files");
    EXPECT_EQ(HtmlPictureFolder("/a/b.c/page.html"), "/a/b.c/page_files");
    EXPECT_EQ(HtmlPictureFolder("/a/b.c/page"), "/a/b.c/page_files");
    EXPECT_EQ(HtmlPictureFolder("page.htm"), "page_files");
}

TEST(HtmlExport, PictureRequestsFollowTheOptions)
{
    HtmlExportOptions options;
    options.imageWidth = 300;
    options.imageHeight = 100;
    EXPECT_EQ(HtmlPictureRequests(options).size(), 4u);
    options.zoomable = true;
    const std::vector<HtmlPictureRequest> zoomed = HtmlPictureRequests(options);
    ASSERT_EQ(zoomed.size(), 8u);
    EXPECT_EQ(zoomed[7].view, HtmlView::Top);
    EXPECT_EQ(zoomed[7].width, 600);
    EXPECT_EQ(zoomed[7].height, 200);
    options.singleImage = true;
    EXPECT_EQ(HtmlPictureRequests(options).size(), 2u);
    options.noImage = true;
    EXPECT_TRUE(HtmlPictureRequests(options).empty());
}

}  // namespace
}  // namespace solvane
