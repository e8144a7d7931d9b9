// Writing from the window: "&Save As..." (and the tool band's Save) in the format of the chosen
// row behind "Saving File Status...", the scene file with the view, failures in the error box,
// nothing while a load runs, Recent Writes and the save reports; "Copy to Clipboard".
#include <gtest/gtest.h>

#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QGuiApplication>
#include <QKeySequence>
#include <QLineEdit>
#include <QProcess>
#include <QStandardPaths>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>

#include "app/command_table.h"
#include "app/usage_ui.h"
#include "image/image.h"
#include "image/image_writer.h"
#include "load/save.h"
#include "net/server/usage_server.h"
#include "tests/gui/dialog_driver.h"
#include "tests/gui/gui_support.h"
#include "tests/net_test_support.h"
#include "viewer/capture.h"
#include "viewer/viewer.h"

namespace solvane {
namespace {

using test::BoxWatcher;
using test::ModalScript;
using test::Session;
using test::WaitUntil;

// The save chooser's row of a writer, by its key; -1 when the chooser has none.
int SaveRow(const char* name)
{
    const WriterEntry* entry = FindWriter(name);
    const auto rows = SaveChooserRows();
    if (!entry || entry < rows.data() || entry >= rows.data() + rows.size()) return -1;
    return static_cast<int>(entry - rows.data());
}

void PickRow(QFileDialog* dialog, int row)
{
    auto* combo = dialog->findChild<QComboBox*>("fileTypeCombo");
    combo->setCurrentIndex(row);
    emit combo->activated(row);
    emit combo->textActivated(combo->currentText());
}

// What a save through the window showed: the chooser, the saving box and the error box.
struct SaveRun {
    bool chooserShown = false;
    QString chooserTitle;
    QString preselected;  // the row selected when the chooser opened
    QString name;         // the name it offered
    int savingBoxes = 0;
    QString savingTitle;
    QStringList savingTexts;
    int savingMaximum = -1;
    int savingHighest = -1;
    QString error;        // the error box's message; empty when none showed
};

// Starts a save with act (a menu item, a button); in the chooser picks row (-1: the preselected
// one) and saves as path, or cancels when path is empty. An error box is answered when expected.
SaveRun SaveVia(const std::function<void()>& act, int row, const QString& path, bool errorExpected = false)
{
    SaveRun run;
    BoxWatcher saving("SAVINGBOX");
    ModalScript script;
    script.Then("file_chooser", [&](QWidget* modal) {
        auto* dialog = static_cast<QFileDialog*>(modal);
        run.chooserShown = true;
        run.chooserTitle = dialog->windowTitle();
        run.preselected = dialog->selectedNameFilter();
        run.name = dialog->findChild<QLineEdit*>("fileNameEdit")->text();
        if (path.isEmpty()) {
            dialog->reject();
            return;
        }
        if (row >= 0) PickRow(dialog, row);
        test::ChooseFile(path)(modal);
    });
    if (errorExpected) {
        script.Then("ERRORBOX", [&](QWidget* box) {
            if (auto* message = box->findChild<QLabel*>("message_1067")) run.error = message->text();
            static_cast<QDialog*>(box)->accept();
        });
    }
    script.Start();
    act();
    EXPECT_TRUE(WaitUntil([&] { return script.Finished() || script.TimedOut(); }));
    QApplication::processEvents();
    run.savingBoxes = saving.seen;
    run.savingTitle = saving.title;
    run.savingTexts = saving.texts;
    run.savingMaximum = saving.progressMaximum;
    run.savingHighest = saving.highestProgress;
    return run;
}

SaveRun SaveAs(Session& s, int row, const QString& path, bool errorExpected = false)
{
    return SaveVia([&] { s.Trigger(command::SaveAs); }, row, path, errorExpected);
}

// The box around every vertex of every sub-mesh: low x, y, z, then high x, y, z.
std::array<float, 6> VertexBox(const Model& model)
{
    constexpr float kHuge = std::numeric_limits<float>::max();
    std::array<float, 6> box = {kHuge, kHuge, kHuge, -kHuge, -kHuge, -kHuge};
    for (const SubMesh& mesh : model.subMeshes) {
        for (size_t i = 0; i + 2 < mesh.vertices.size(); i += 3) {
            for (int axis = 0; axis < 3; ++axis) {
                box[axis] = std::min(box[axis], mesh.vertices[i + axis]);
                box[axis + 3] = std::max(box[axis + 3], mesh.vertices[i + axis]);
            }
        }
    }
    return box;
}

QString Q(const std::filesystem::path& path)
{
    return QString::fromStdString(path.string());
}

std::string CubePath()
{
    return test::SamplePath("cube.obj");
}

TEST(SavingGui, SaveAsStartsOnTheShownModelsRow)
{
    test::ScratchDir dir;
    test::FreshSession s;
    QAction* button = s.window->ToolButton(command::ButtonSave);
    ASSERT_NE(button, nullptr);
    EXPECT_FALSE(button->isEnabled());  // no model yet
    EXPECT_FALSE(s.window->MenuAction(command::SaveAs)->isEnabled());
    EXPECT_EQ(s.window->MenuAction(command::SaveAs)->shortcut(), QKeySequence(QKeySequence::Save));

    // A model read from a PLY file starts on the PLY row, named as the file without its extension.
    const std::string ply = (dir.Path() / "cube.ply").string();
    SaveContext save;
    ASSERT_TRUE(SaveModelFile(*test::Load(CubePath()).model, ply, *FindWriter("ply"), save)) << save.error;
    ASSERT_TRUE(s.Load(ply));
    EXPECT_TRUE(button->isEnabled());
    SaveRun run = SaveVia([&] { button->trigger(); }, -1, QString());
    EXPECT_TRUE(run.chooserShown);
    EXPECT_EQ(run.chooserTitle, "Solvane Save 3D File");
    EXPECT_EQ(run.preselected, "(.ply) Polygon File Format");
    EXPECT_EQ(run.name, "cube");
    EXPECT_EQ(run.savingBoxes, 0);  // cancelled: nothing written
    EXPECT_EQ(s.window->Recent().writes.count, 0);

    // The same through the menu, for the OBJ sample: the OBJ row.
    ASSERT_TRUE(s.Load(CubePath()));
    run = SaveAs(s, -1, QString());
    EXPECT_EQ(run.preselected, "(.obj) Wavefront Object");
    // Nothing but the PLY file written above is in the folder.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

// Each row writes its own format: the file reads back as the model in the file's own size, the
// saving box shows while it is written, and the path heads Recent Writes.
TEST(SavingGui, SaveAsWritesTheChosenRowsFormat)
{
    test::ScratchDir dir;
    test::FreshSession s;
    ASSERT_TRUE(s.Load(CubePath()));
    ASSERT_NE(s.window->CurrentModel()->loadScale, 1.0f);  // the window resized it
    const std::array<float, 6> fileBox = VertexBox(*test::Load(CubePath()).model);
    std::vector<std::string> written;
    for (const WriterEntry& entry : SaveChooserRows()) {
        SCOPED_TRACE(entry.name);
        const std::filesystem::path path = dir.Path() / (std::string("copy-") + entry.name + entry.extension);
        const SaveRun run = SaveAs(s, SaveRow(entry.name), Q(path));
        EXPECT_EQ(run.error, "");
        EXPECT_EQ(run.savingBoxes, 1);
        EXPECT_EQ(run.savingTitle, "Saving File Status...");
        EXPECT_TRUE(run.savingTexts.contains("Saving File, One Moment Please...")) << run.savingTexts.join("|").toStdString();
        EXPECT_EQ(run.savingMaximum, 500);
        EXPECT_EQ(run.savingHighest, 500);
        ASSERT_TRUE(std::filesystem::exists(path));
        const test::LoadOutcome back = test::Load(path.string());
        ASSERT_NE(back.model, nullptr) << "code " << back.code;
        EXPECT_GT(TotalFaces(*back.model), 0);
        // The size of the file's model, not the window's resized one (some formats move the model
        // to where their coordinates can hold it).
        const std::array<float, 6> box = VertexBox(*back.model);
        for (int axis = 0; axis < 3; ++axis) {
            EXPECT_NEAR(box[axis + 3] - box[axis], fileBox[axis + 3] - fileBox[axis], 0.02f) << axis;
        }
        written.insert(written.begin(), path.string());
        if (written.size() > 10) written.pop_back();
        EXPECT_EQ(s.window->Recent().writes.paths[0], path.string());
    }
    EXPECT_EQ(std::vector<std::string>(s.window->Recent().writes.paths.begin(),
                                       s.window->Recent().writes.paths.begin() + s.window->Recent().writes.count),
              written);
    // The model shown is still the one loaded.
    EXPECT_EQ(s.window->windowTitle(), "cube.obj - Solvane Viewer");
}

// A scene file keeps the view it was saved with.
TEST(SavingGui, SceneFileKeepsTheViewAsItWasSaved)
{
    test::ScratchDir dir;
    test::FreshSession s;
    ASSERT_TRUE(s.Load(CubePath()));
    Viewer& viewer = s.window->View()->viewer();
    viewer.camera.pitch = 21;
    viewer.camera.yaw = -35;
    s.settings.depth_cue_factor = 0.5f;
    const std::filesystem::path path = dir.Path() / "desk.svs";
    const SaveRun run = SaveAs(s, SaveRow("svs"), Q(path));
    EXPECT_EQ(run.savingBoxes, 1);
    ASSERT_TRUE(std::filesystem::exists(path));

    s.Trigger(command::ResetView);
    s.settings.depth_cue_factor = 0;
    EXPECT_EQ(viewer.camera.pitch, 0.0f);
    ASSERT_TRUE(s.Load(path.string()));
    EXPECT_EQ(viewer.camera.pitch, 21.0f);
    EXPECT_EQ(viewer.camera.yaw, -35.0f);
    EXPECT_EQ(s.settings.depth_cue_factor, 0.5f);
}

// A folder nobody may write to (not even root): the writer's message in the error box, no file,
// Recent Writes unchanged.
TEST(SavingGui, FailedSaveShowsTheWritersMessage)
{
    test::FreshSession s;
    ASSERT_TRUE(s.Load(CubePath()));
    const QString path = "/proc/solvane-cube.ply";
    const SaveRun run = SaveAs(s, SaveRow("ply"), path, true);
    EXPECT_TRUE(run.error.contains(path)) << run.error.toStdString();
    EXPECT_TRUE(run.error.startsWith("Cannot write")) << run.error.toStdString();
    EXPECT_FALSE(QFileInfo::exists(path));
    EXPECT_EQ(s.window->Recent().writes.count, 0);
    EXPECT_NE(s.window->CurrentModel(), nullptr);
}

// While a load runs neither the menu item nor the button opens the chooser.
TEST(SavingGui, SaveDoesNothingWhileALoadRuns)
{
    test::ScratchDir dir;
    std::string text;
    for (int i = 0; i < 3000000; ++i) text += "v 1.5 2.5 3.5\n";
    const std::string big = dir.Write("big.obj", text);
    test::FreshSession s;
    ASSERT_TRUE(s.Load(CubePath()));
    s.window->StartModelLoad(QString::fromStdString(big));
    ASSERT_TRUE(s.window->LoadRunning());
    bool chooserShown = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal->objectName() == "file_chooser") {
            chooserShown = true;
            static_cast<QDialog*>(modal)->reject();
        }
    });
    watch.start(10);
    // Both return at once: a chooser would have run its own event loop, where the watch sees it.
    s.Trigger(command::SaveAs);
    s.window->ToolButton(command::ButtonSave)->trigger();
    EXPECT_FALSE(chooserShown);
    ASSERT_TRUE(s.window->LoadRunning());
    s.window->Loading()->reject();
    EXPECT_EQ(s.window->Recent().writes.count, 0);
    WaitUntil([] { return LoadJob::LiveWorkers() == 0; });
}

struct Endpoint {
    test::ScratchDir dir;
    std::string log;
    UsageServer server;

    Endpoint()
        : log((dir.Path() / "usage.log").string()), server([&] {
              UsageServerOptions options;
              options.logPath = log;
              return options;
          }())
    {
        std::string error;
        EXPECT_TRUE(server.Start(error)) << error;
    }
    UsageConfig Config() const
    {
        UsageConfig config;
        config.endpoint = {"127.0.0.1", server.Port()};
        config.connected = [] { return true; };
        config.tempDir = dir.Path().string();
        return config;
    }
};

// A window in a fresh store whose reports go to a local usage server, reporting switched on, with
// the cube loaded.
struct ReportingSession {
    test::FreshStore store;
    Endpoint endpoint;
    Session s;
    UsageSession usage{s.settings, endpoint.Config()};

    ReportingSession()
    {
        usage.Attach(*s.window);
        s.settings.enable_BE_stats = 1;
        EXPECT_TRUE(s.Load(CubePath()));
    }
};

// save3d after every save, success or not, with the format's name and the model's counts; nothing
// with usage reporting off.
TEST(SavingGui, SavesAreReportedToTheUsageServer)
{
    test::ScratchDir dir;
    ReportingSession reporting;
    Session& s = reporting.s;
    const Endpoint& endpoint = reporting.endpoint;
    ASSERT_NE(s.window->CurrentModel(), nullptr);
    const Model& model = *s.window->CurrentModel();

    SaveAs(s, SaveRow("ply"), Q(dir.Path() / "cube.ply"));
    SaveAs(s, SaveRow("svs"), Q(dir.Path() / "cube.svs"));
    SaveAs(s, SaveRow("off"), "/proc/cube.off", true);
    ASSERT_TRUE(WaitUntil([&] { return test::LogLines(endpoint.log, "save3d").size() == 3; }));
    const auto saves = test::LogLines(endpoint.log, "save3d");
    EXPECT_EQ(test::Field(saves[0], "success"), "1");
    EXPECT_EQ(test::Field(saves[0], "type"), "Polygon-File-Format");
    EXPECT_EQ(test::Field(saves[0], "version"), "Solvane_Viewer-3-rb5");
    // Whole seconds from the start of the save: a small cube takes well under a second, but the
    // count may cross a second's boundary.
    const std::string seconds = test::Field(saves[0], "savetime");
    EXPECT_TRUE(seconds == "0" || seconds == "1" || seconds == "2") << seconds;
    EXPECT_EQ(test::Field(saves[0], "numsubmeshes"), std::to_string(model.SubMeshCount()));
    EXPECT_EQ(test::Field(saves[0], "numvertices"), std::to_string(TotalVertices(model)));
    EXPECT_EQ(test::Field(saves[0], "numfaces"), std::to_string(TotalFaces(model)));
    EXPECT_EQ(test::Field(saves[0], "numtextures"), "0");
    EXPECT_EQ(test::Field(saves[0], "nummaterials"), std::to_string(model.MaterialCount()));
    EXPECT_EQ(test::Field(saves[1], "type"), "Solvane-Scene-format");
    EXPECT_EQ(test::Field(saves[2], "success"), "0");
    EXPECT_EQ(test::Field(saves[2], "type"), "GeomView-3D-object");
    EXPECT_EQ(test::Field(saves[2], "numvertices"), "0");

    s.settings.enable_BE_stats = 0;
    SaveAs(s, SaveRow("ply"), Q(dir.Path() / "quiet.ply"));
    EXPECT_TRUE(std::filesystem::exists(dir.Path() / "quiet.ply"));
    QTest::qWait(200);
    EXPECT_EQ(test::LogLines(endpoint.log, "save3d").size(), 3u);
}

// "Export 2D Image..." writes the view's picture in the chosen row's format: read back, the
// lossless formats hold the picture exactly and the others its size; each file joins Recent
// Writes and is reported with save2d.
TEST(SavingGui, ExportImageWritesTheViewsPictureInTheChosenFormat)
{
    test::ScratchDir dir;
    ReportingSession reporting;
    Session& s = reporting.s;
    const Endpoint& endpoint = reporting.endpoint;
    ASSERT_NE(s.window->CurrentModel(), nullptr);
    std::unique_ptr<Texture> picture;
    s.window->View()->WithContext([&] { picture = CaptureView(s.window->View()->viewer()); });
    s.window->View()->update();
    ASSERT_NE(picture, nullptr);
    const size_t rowBytes = static_cast<size_t>(picture->width) * 3;
    for (size_t row = 0; row < kImageWriterRows.size(); ++row) {
        const ImageWriterRow& writer = kImageWriterRows[row];
        SCOPED_TRACE(writer.chooserText);
        const std::filesystem::path path = dir.Path() / (std::to_string(row) + "-shot." + writer.extension);
        const SaveRun run = SaveVia([&] { s.Trigger(command::ExportImage); }, static_cast<int>(row), Q(path));
        EXPECT_EQ(run.error, "");
        EXPECT_EQ(run.savingBoxes, 1);
        const std::unique_ptr<Texture> back = LoadImageFile(path.c_str(), writer.formatId);
        ASSERT_NE(back, nullptr);
        ASSERT_EQ(back->width, picture->width);
        ASSERT_EQ(back->height, picture->height);
        const bool lossless = writer.type != ImageFileType::Jpeg && writer.type != ImageFileType::Pcx;
        if (lossless) {
            int differing = 0;
            for (int32_t y = 0; y < picture->height; ++y) {
                const int32_t stored = picture->height - 1 - y;  // these readers keep the bottom row first
                differing += std::memcmp(&back->pixels[static_cast<size_t>(stored) * rowBytes],
                                         &picture->pixels[static_cast<size_t>(y) * rowBytes], rowBytes) != 0;
            }
            EXPECT_EQ(differing, 0);
        }
        EXPECT_EQ(s.window->Recent().writes.paths[0], path.string());
    }
    ASSERT_TRUE(WaitUntil([&] { return test::LogLines(endpoint.log, "save2d").size() == kImageWriterRows.size(); }));
    const auto saves = test::LogLines(endpoint.log, "save2d");
    EXPECT_EQ(test::Field(saves[0], "success"), "1");
    EXPECT_EQ(test::Field(saves[0], "type"), "Windows-Bitmap");
    EXPECT_EQ(test::Field(saves[0], "width"), std::to_string(picture->width));
    EXPECT_EQ(test::Field(saves[0], "height"), std::to_string(picture->height));
    EXPECT_EQ(test::Field(saves[6], "type"), "PNG");
}

// The picture goes on the clipboard as an image, the same one the view shows; other programs read
// it as PNG.
TEST(SavingGui, CopyToClipboardPutsThePictureThere)
{
    test::FreshSession s;
    ASSERT_TRUE(s.Load(CubePath()));
    QGuiApplication::clipboard()->clear();
    s.Trigger(command::CopyToClipboard);
    const QImage copied = QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_RGB888);
    ASSERT_FALSE(copied.isNull());
    std::unique_ptr<Texture> picture;
    s.window->View()->WithContext([&] { picture = CaptureView(s.window->View()->viewer()); });
    ASSERT_NE(picture, nullptr);
    ASSERT_EQ(copied.size(), QSize(picture->width, picture->height));
    int differing = 0;
    for (int y = 0; y < copied.height(); ++y) {
        const uint8_t* row = copied.constScanLine(y);
        differing += std::memcmp(row, &picture->pixels[static_cast<size_t>(y) * picture->width * 3],
                                 static_cast<size_t>(picture->width) * 3) != 0;
    }
    EXPECT_EQ(differing, 0);
    // The model is in the picture: more than the background.
    const QColor background = copied.pixelColor(0, 0);
    EXPECT_GT(test::ModelPixels(copied.convertToFormat(QImage::Format_RGB32), background), 100);

    // From outside, as another program pastes it.
    if (QStandardPaths::findExecutable("xclip").isEmpty()) GTEST_SKIP() << "xclip is not installed";
    auto paste = [](const QStringList& arguments) {
        QProcess xclip;
        xclip.start("xclip", arguments);
        // The clipboard's owner is this program: its event loop answers while xclip waits.
        WaitUntil([&] { return xclip.state() == QProcess::NotRunning; }, 10000);
        return xclip.readAllStandardOutput();
    };
    const QByteArray targets = paste({"-selection", "clipboard", "-t", "TARGETS", "-o"});
    EXPECT_TRUE(targets.contains("image/png")) << targets.toStdString();
    const QImage pasted = QImage::fromData(paste({"-selection", "clipboard", "-t", "image/png", "-o"}), "PNG");
    EXPECT_EQ(pasted.convertToFormat(QImage::Format_RGB888), copied);
}

}  // namespace
}  // namespace solvane
