// The main window under a real X server (Xvfb): start-up geometry, loading by path and by drop,
// failures, cancel, display commands and their check marks, a trackball drag, show-state restore.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QAction>
#include <QLabel>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QToolBar>
#include <QUrl>

#include <filesystem>
#include <fstream>
#include <functional>
#include <utility>

#include "app/main_window.h"
#include "app/settings_store.h"
#include "app/view_widget.h"
#include "tests/gui/gui_support.h"
#include "tests/test_support.h"

namespace solvane {
namespace {

using test::ModalWatcher;
using test::WaitUntil;

using test::MaximiseQuitRestartRestore;
using test::SamplePath;
using test::Session;

TEST(MainWindowGui, FirstStartLoadsFromTheCommandLinePath)
{
    test::FreshSession s;
    EXPECT_EQ(s.settings.window_x, 650);
    EXPECT_EQ(s.settings.window_y, 480);
    EXPECT_EQ(s.window->frameGeometry().topLeft(), QPoint(150, 150));
    EXPECT_EQ(s.window->windowTitle(), "Solvane Viewer");
    EXPECT_EQ(s.window->StatusPart(0), "No file loaded");
    EXPECT_FALSE(s.window->MenuAction(command::Close)->isEnabled());
    // The status band starts in the top bar, the tool band in the bottom one.
    EXPECT_EQ(s.window->toolBarArea(s.window->StatusBand()), Qt::TopToolBarArea);
    EXPECT_EQ(s.window->toolBarArea(s.window->ToolBand()), Qt::BottomToolBarArea);

    // A quoted path with a blank opens the file it names.
    test::ScratchDir dir;
    const std::string path = dir.Write("my teapot.obj", test::ReadFileBytes(SamplePath("teapot.obj")));
    ASSERT_TRUE(s.Load("\"" + path + "\""));
    ASSERT_NE(s.window->CurrentModel(), nullptr);
    EXPECT_EQ(s.window->windowTitle(), "my teapot.obj - Solvane Viewer");
    EXPECT_EQ(s.window->StatusPart(0), "Wavefront 3D object");
    EXPECT_EQ(s.window->StatusPart(1), "Polygons: 944  Vertices: 1030");
    EXPECT_TRUE(s.window->MenuAction(command::Close)->isEnabled());
    // Lighting is on by default: the loaded model got normals.
    EXPECT_FALSE(s.window->CurrentModel()->subMeshes[0].normals.empty());
}

TEST(MainWindowGui, FailedLoadShowsTheMessageAndKeepsTheModel)
{
    test::FreshSession s;
    ASSERT_TRUE(s.Load(SamplePath("cube.obj")));
    Model* first = s.window->CurrentModel();
    ASSERT_NE(first, nullptr);
    test::ScratchDir dir;
    ModalWatcher watcher;
    watcher.Arm();
    s.window->StartModelLoad(QString::fromStdString(dir.Write("broken.dat", "not a model at all")));
    ASSERT_TRUE(WaitUntil([&] { return watcher.seen && !s.window->LoadRunning(); }));
    EXPECT_EQ(watcher.title, "Error Encountered...");
    EXPECT_TRUE(watcher.text.contains("Could not load file because the file format was not recognized."));
    EXPECT_EQ(s.window->CurrentModel(), first);
    EXPECT_EQ(s.window->windowTitle(), "cube.obj - Solvane Viewer");
}

TEST(MainWindowGui, UnreadableInputShowsWhyInTheErrorBox)
{
    test::FreshSession s;
    test::ScratchDir dir;
    std::filesystem::create_directory(dir.Path() / "folder.obj");
    ASSERT_EQ(::mkfifo((dir.Path() / "pipe.3ds").c_str(), 0644), 0);
    const std::pair<std::string, QString> cases[] = {
        {(dir.Path() / "folder.obj").string(), "Is a directory"},
        {(dir.Path() / "pipe.3ds").string(), "not a regular file"},
    };
    for (const auto& [path, reason] : cases) {
        ModalWatcher watcher;
        watcher.Arm();
        s.window->StartModelLoad(QString::fromStdString(path));
        ASSERT_TRUE(WaitUntil([&] { return watcher.seen && !s.window->LoadRunning(); }, 5000)) << path;
        EXPECT_EQ(watcher.objectName, "ERRORBOX");
        EXPECT_TRUE(watcher.text.contains("The file is not found, it may have been moved or renamed.\n" +
                                          QString::fromStdString(path) + ": " + reason))
            << watcher.text.toStdString();
    }
    EXPECT_EQ(s.window->CurrentModel(), nullptr);
}

TEST(MainWindowGui, DropOpensOneFileAndRefusesTwo)
{
    test::FreshSession s;
    auto drop = [&](const QList<QUrl>& urls) {
        auto* mime = new QMimeData;
        mime->setUrls(urls);
        const QPoint centre = s.window->rect().center();
        QDragEnterEvent enter(centre, Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(s.window.get(), &enter);
        QDropEvent dropEvent(QPointF(centre), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(s.window.get(), &dropEvent);
        delete mime;
    };
    ModalWatcher watcher;
    watcher.Arm();
    drop({QUrl::fromLocalFile(QString::fromStdString(SamplePath("cube.obj"))),
          QUrl::fromLocalFile(QString::fromStdString(SamplePath("teapot.obj")))});
    ASSERT_TRUE(WaitUntil([&] { return watcher.seen; }));
    EXPECT_EQ(watcher.text, "One file at a time, please.");
    EXPECT_FALSE(s.window->LoadRunning());
    EXPECT_EQ(s.window->CurrentModel(), nullptr);

    drop({QUrl::fromLocalFile(QString::fromStdString(SamplePath("cube.obj")))});
    ASSERT_TRUE(WaitUntil([&] { return !s.window->LoadRunning() && s.window->CurrentModel(); }));
    EXPECT_EQ(s.window->windowTitle(), "cube.obj - Solvane Viewer");

    // A URL that is no local file is not read: a note in the status band, no error box, the model kept.
    Model* shown = s.window->CurrentModel();
    ModalWatcher noBox;
    noBox.Arm();
    drop({QUrl("https://example.com/models/teapot.obj")});
    QTest::qWait(300);
    EXPECT_FALSE(noBox.seen) << noBox.text.toStdString();
    EXPECT_FALSE(s.window->LoadRunning());
    EXPECT_EQ(s.window->CurrentModel(), shown);
    EXPECT_EQ(s.window->StatusPart(0), "Not a local file: https://example.com/models/teapot.obj");
    EXPECT_EQ(s.window->windowTitle(), "cube.obj - Solvane Viewer");
}

// Cancel, Esc and the box's close box all cancel the load; nothing is shown, the model stays.
TEST(MainWindowGui, DismissingTheLoadingBoxCancelsTheLoadAndKeepsTheModel)
{
    test::FreshSession s;
    ASSERT_TRUE(s.Load(SamplePath("cube.obj")));
    EXPECT_TRUE(WaitUntil([&] { return s.window->Loading() == nullptr; }, 2000));  // a finished load's box goes
    Model* first = s.window->CurrentModel();
    test::ScratchDir dir;
    std::string text;
    for (int i = 0; i < 3000000; ++i) text += "v 1.5 2.5 3.5\n";
    const std::string big = dir.Write("big.obj", text);
    const std::pair<const char*, std::function<void(LoadingBox*)>> ways[] = {
        {"Cancel", [](LoadingBox* box) { QTest::mouseClick(box->CancelButton(), Qt::LeftButton); }},
        {"Esc", [](LoadingBox* box) { QTest::keyClick(box, Qt::Key_Escape); }},
        {"close box", [](LoadingBox* box) { box->close(); }},
    };
    for (const auto& [way, dismiss] : ways) {
        s.window->StartModelLoad(QString::fromStdString(big));
        ASSERT_TRUE(s.window->Loading());
        dismiss(s.window->Loading());
        EXPECT_FALSE(s.window->LoadRunning()) << way;
        QTest::qWait(200);
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << way;
        EXPECT_EQ(s.window->Loading(), nullptr) << way;  // closed and gone
        EXPECT_EQ(s.window->CurrentModel(), first) << way;
        EXPECT_EQ(s.window->windowTitle(), "cube.obj - Solvane Viewer") << way;
    }
    WaitUntil([] { return LoadJob::LiveWorkers() == 0; });
}

// The status band is one line high before, with and after a model: the view does not jump.
TEST(MainWindowGui, StatusBandKeepsItsHeightAcrossTheFirstLoad)
{
    test::FreshSession s;
    QTest::qWait(100);
    QLabel* counts = s.window->StatusBand()->findChild<QLabel*>("status_part1");
    ASSERT_NE(counts, nullptr);
    EXPECT_LT(counts->height(), 2 * counts->fontMetrics().lineSpacing());
    const int band = s.window->StatusBand()->height();
    const QRect view = s.window->View()->geometry();
    ASSERT_TRUE(s.Load(SamplePath("teapot.obj")));
    QTest::qWait(100);
    EXPECT_EQ(s.window->StatusBand()->height(), band);
    EXPECT_EQ(s.window->View()->geometry(), view);
    s.Trigger(command::Close);
    QTest::qWait(100);
    EXPECT_EQ(s.window->StatusBand()->height(), band);
    EXPECT_EQ(s.window->View()->geometry(), view);
}

TEST(MainWindowGui, DisplayCommandsKeepChecksButtonsAndStateTogether)
{
    test::FreshSession s;
    ASSERT_TRUE(s.Load(SamplePath("teapot.obj")));
    auto agree = [&](int menu, int button, bool expected) {
        EXPECT_EQ(s.window->MenuAction(menu)->isChecked(), expected) << menu;
        if (button) {
            EXPECT_EQ(s.window->ToolButton(button)->isChecked(), expected) << button;
        }
    };
    agree(command::Solid, command::ButtonSolid, true);
    s.Trigger(command::Wireframe);
    EXPECT_TRUE(s.settings.wireframe);
    EXPECT_FALSE(s.settings.solid);
    agree(command::Wireframe, command::ButtonWire, true);
    agree(command::Solid, command::ButtonSolid, false);
    // The toolbar alias does the same as the menu item.
    s.window->ToolButton(command::ButtonLine)->trigger();
    EXPECT_TRUE(s.settings.hidden_lines);
    agree(command::HiddenLines, command::ButtonLine, true);
    agree(command::Wireframe, command::ButtonWire, false);
    s.Trigger(command::Solid);
    s.Trigger(command::Solid);  // choosing the checked mode keeps it
    agree(command::Solid, command::ButtonSolid, true);
    EXPECT_TRUE(s.settings.solid);

    for (auto [menu, button, field] : {std::tuple{command::Axes, command::ButtonAxes, &Settings::axes},
                                       {command::BoundingBox, command::ButtonBox, &Settings::bounding_box},
                                       {command::PivotPoint, command::ButtonPivot, &Settings::show_pivot},
                                       {command::Texturing, command::ButtonTexture, &Settings::texturing},
                                       {command::Lighting, command::ButtonLight, &Settings::light},
                                       {command::Spin, command::ButtonSpin, &Settings::inertial_rotation}}) {
        const bool before = s.settings.*field;
        s.Trigger(menu);
        EXPECT_EQ(s.settings.*field, !before) << menu;
        agree(menu, button, !before);
        s.window->ToolButton(button)->trigger();
        EXPECT_EQ(s.settings.*field, before) << menu;
        agree(menu, button, before);
    }

    s.Trigger(command::DepthCueOff + 2);  // "20%"
    EXPECT_EQ(s.settings.depth_cue_factor, 0.075f);
    EXPECT_TRUE(s.window->MenuAction(command::DepthCueOff + 2)->isChecked());
    EXPECT_FALSE(s.window->MenuAction(command::DepthCueOff)->isChecked());

    s.Trigger(command::FlyMode);
    EXPECT_TRUE(s.settings.fly_mode);
    agree(command::FlyMode, command::ButtonFly, true);
    agree(command::RotateMode, command::ButtonRotate, false);
    s.Trigger(command::RotateMode);
    agree(command::RotateMode, command::ButtonRotate, true);

    s.Trigger(command::Close);
    EXPECT_EQ(s.window->CurrentModel(), nullptr);
    EXPECT_EQ(s.window->StatusPart(1), "Polygons: 0 Vertices: 0");
    EXPECT_FALSE(s.window->MenuAction(command::ResetView)->isEnabled());
}

TEST(MainWindowGui, TrackballDragTurnsTheModel)
{
    test::FreshSession s;
    ASSERT_TRUE(s.Load(SamplePath("teapot.obj")));
    ViewWidget* view = s.window->View();
    QTest::qWait(300);  // let the layout settle after the loading box has gone
    const QImage before = view->grabFramebuffer();
    const QPoint centre = view->rect().center();
    QTest::mousePress(view, Qt::LeftButton, Qt::NoModifier, centre);
    for (int step = 1; step <= 10; ++step) {
        QTest::mouseMove(view, centre + QPoint(step * 12, step * 3));
        QTest::qWait(5);
    }
    QTest::mouseRelease(view, Qt::LeftButton, Qt::NoModifier, centre + QPoint(120, 30));
    QTest::qWait(50);
    const QImage after = view->grabFramebuffer();
    int changed = 0;
    for (int y = 0; y < std::min(before.height(), after.height()); y += 2) {
        for (int x = 0; x < std::min(before.width(), after.width()); x += 2) {
            changed += before.pixel(x, y) != after.pixel(x, y);
        }
    }
    EXPECT_GT(changed, 200);
    EXPECT_FALSE(s.window->View()->viewer().camera.spinning);  // spin is off by default
}

TEST(MainWindowGui, MaximisedAtQuitComesBackMaximisedAndRestoresItsRectangle)
{
    MaximiseQuitRestartRestore(false);
}

TEST(MainWindowGui, SaveSettingsOnExitOffKeepsTheStoreAsItWas)
{
    test::FreshStore store;
    {
        Session s;
        s.Trigger(command::SaveSettingsOnExit);  // off
        s.Trigger(command::SaveAllSettings);     // stored explicitly: save_settings = 0
        s.Trigger(command::Axes);                // changed after that: not stored
        s.window->close();
        if (s.settings.save_settings) WriteAll(s.settings);
    }
    Settings back;
    ReadAll(back);
    EXPECT_EQ(back.save_settings, 0);
    EXPECT_EQ(back.axes, 1);
}

}  // namespace
}  // namespace solvane
