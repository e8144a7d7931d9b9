// The Scene menu under Xvfb: the image chooser, the background dialog (preview, OK, Cancel,
// unreadable files, the settings that keep the image across a restart), the light colour, and the
// open2d report of a background image.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include "app/command_table.h"
#include "app/image_chooser.h"
#include "app/usage_ui.h"
#include "net/server/usage_server.h"
#include "tests/gui/dialog_driver.h"
#include "tests/net_test_support.h"

namespace solvane {
namespace {

using test::BoxWatcher;
using test::Child;
using test::ChooseFile;
using test::Click;
using test::ModalScript;
using test::Picture;
using test::PixelAt;
using test::Press;
using test::SamplePath;
using test::Session;

const QColor kBackground(77, 77, 77);  // the default background colour, 0.3

// An image of four quadrants: red top left, green top right, blue bottom left, yellow bottom
// right. Full and empty channels come through any gamma unchanged.
std::string WriteQuadrants(const test::ScratchDir& dir, const char* name = "quadrants.ppm")
{
    return test::WritePpm(dir.Path() / name, 8, 8, [](int x, int y) {
        if (y < 4) return x < 4 ? QColor(255, 0, 0) : QColor(0, 255, 0);
        return x < 4 ? QColor(0, 0, 255) : QColor(255, 255, 0);
    });
}

// Whether the picture shows the quadrant image stretched over the whole view (looked at in the
// middle of each quadrant: the image scaling blends neighbouring pixels).
::testing::AssertionResult ShowsQuadrants(const QImage& picture)
{
    const std::pair<QPointF, QColor> corners[] = {{{0.2, 0.2}, QColor(255, 0, 0)},
                                                  {{0.8, 0.2}, QColor(0, 255, 0)},
                                                  {{0.2, 0.8}, QColor(0, 0, 255)},
                                                  {{0.8, 0.8}, QColor(255, 255, 0)}};
    for (const auto& [where, expected] : corners) {
        const QColor got = PixelAt(picture, where.x(), where.y());
        if (std::abs(got.red() - expected.red()) > 40 || std::abs(got.green() - expected.green()) > 40 ||
            std::abs(got.blue() - expected.blue()) > 40) {
            return ::testing::AssertionFailure() << "at " << where.x() << "," << where.y() << " "
                                                 << got.name().toStdString() << ", expected "
                                                 << expected.name().toStdString();
        }
    }
    return ::testing::AssertionSuccess();
}

bool ShowsPlainBackground(const QImage& picture)
{
    return test::ModelPixels(picture, kBackground) == 0;
}

// Steps of one opening of the background dialog: what action does inside it.
void RunBackgroundDialog(Session& s, const std::function<void(QWidget*)>& action,
                         const std::vector<std::pair<QString, ModalScript::Action>>& more = {})
{
    ModalScript script;
    script.Then("UI_BACKGROUND_BOX", action);
    for (const auto& [name, step] : more) script.Then(name, step);
    script.Start();
    s.Trigger(command::BackgroundTexture);
    EXPECT_TRUE(script.Finished());
}

// In the dialog: enable, preview as asked, choose the file (the chooser step follows).
void EnableAndChoose(QWidget* dialog, bool preview)
{
    Child<QCheckBox>(dialog, "enable_1088")->setChecked(true);
    Child<QCheckBox>(dialog, "preview_1069")->setChecked(preview);
    Click(dialog, "browse_1085");
}

// Sets the background image with OK, as a user does.
void SetBackground(Session& s, const std::string& file, int quality)
{
    RunBackgroundDialog(
        s,
        [quality](QWidget* dialog) {
            Child<QSlider>(dialog, "slider_1092")->setValue(quality);
            EnableAndChoose(dialog, false);
            Click(dialog, "ok_1");
        },
        {{"image_chooser", ChooseFile(QString::fromStdString(file))}});
}

TEST(SceneGui, ImageChooserHasItsTitleFiltersAndOptions)
{
    test::FreshSession s;
    RunBackgroundDialog(
        s,
        [](QWidget* dialog) {
            Child<QCheckBox>(dialog, "enable_1088")->setChecked(true);
            Click(dialog, "browse_1085");
            Click(dialog, "cancel_2");
        },
        {{"image_chooser", [](QWidget* widget) {
              auto* chooser = qobject_cast<QFileDialog*>(widget);
              ASSERT_NE(chooser, nullptr);
              EXPECT_EQ(chooser->windowTitle(), "Open");  // the dialog's own title
              EXPECT_EQ(chooser->nameFilters(),
                        QStringList({"(.bmp) Windows Bitmap (24 bit) (*.bmp)", "(.iff) IFF (ILBM) Image (*.iff)",
                                     "(.jpg) JPEG (*.jpg)", "(.pcx) PC Paintbrush (8-bit) (*.pcx)",
                                     "(.ppm) Portable RGB (24 bit) (*.ppm)", "(.tga) TGA (*.tga)",
                                     "(.png) Portable Network Graphics (*.png)"}));
              EXPECT_EQ(chooser->selectedNameFilter(), "(.bmp) Windows Bitmap (24 bit)");  // the first row
              EXPECT_EQ(chooser->acceptMode(), QFileDialog::AcceptOpen);
              EXPECT_EQ(chooser->fileMode(), QFileDialog::ExistingFile);
              EXPECT_TRUE(chooser->testOption(QFileDialog::DontUseNativeDialog));
              EXPECT_EQ(chooser->findChild<QLineEdit*>("fileNameEdit")->text(), "*.*");
              chooser->reject();
          }}});
    EXPECT_EQ(s.settings.using_background_image, 0);  // cancelled
}

TEST(SceneGui, BackgroundDialogStartsFromTheSettingsAndGreysWithoutTheImage)
{
    test::FreshStore store;
    Settings stored = DefaultSettings();
    stored.background_texture_quality = 4;
    WriteAll(stored);
    Session s;
    RunBackgroundDialog(s, [&](QWidget* dialog) {
        EXPECT_EQ(dialog->windowTitle(), "Background Image Parameters...");
        EXPECT_EQ(Child<QLineEdit>(dialog, "path_1086")->text(), "<NONE SELECTED>");
        auto* enable = Child<QCheckBox>(dialog, "enable_1088");
        EXPECT_EQ(enable->text(), "Enable Background Image");
        EXPECT_FALSE(enable->isChecked());
        auto* slider = Child<QSlider>(dialog, "slider_1092");
        EXPECT_EQ(slider->value(), 4);
        EXPECT_EQ(slider->maximum(), 5);
        EXPECT_FALSE(Child<QWidget>(dialog, "path_1086")->isEnabled());
        EXPECT_FALSE(Child<QWidget>(dialog, "browse_1085")->isEnabled());
        EXPECT_FALSE(Child<QWidget>(dialog, "preview_1069")->isEnabled());
        QStringList labels;
        for (QLabel* label : dialog->findChildren<QLabel*>()) {
            labels << label->text();
            EXPECT_FALSE(label->isEnabled()) << label->text().toStdString();
        }
        EXPECT_EQ(labels, QStringList({"Minimal", "Very Low", "Low", "Normal", "High", "Very High"}));
        enable->setChecked(true);
        EXPECT_TRUE(Child<QWidget>(dialog, "browse_1085")->isEnabled());
        EXPECT_TRUE(Child<QWidget>(dialog, "preview_1069")->isEnabled());
        Click(dialog, "cancel_2");
    });
    EXPECT_EQ(s.settings.using_background_image, 0);
    EXPECT_EQ(s.settings.background_texture_quality, 4);
}

// With Preview ticked the chosen image shows at once; OK keeps it, with its quality and file in
// the settings.
TEST(SceneGui, BackgroundPreviewShowsTheImageAtOnceAndOkKeepsIt)
{
    test::ScratchDir dir;
    const std::string file = WriteQuadrants(dir);
    test::FreshSession s;
    std::vector<ImageLoadOutcome> reports;
    s.window->SetImageLoadedHook([&](const ImageLoadOutcome& outcome) { reports.push_back(outcome); });
    BoxWatcher loading("LOAD2DBOX");
    QImage during;
    RunBackgroundDialog(
        s,
        [&](QWidget* dialog) {
            Child<QSlider>(dialog, "slider_1092")->setValue(2);
            EnableAndChoose(dialog, true);
            EXPECT_EQ(Child<QLineEdit>(dialog, "path_1086")->text(), QString::fromStdString(file));
            during = Picture(s);
            Click(dialog, "ok_1");
        },
        {{"image_chooser", ChooseFile(QString::fromStdString(file))}});
    EXPECT_TRUE(ShowsQuadrants(during));
    EXPECT_EQ(loading.seen, 1);
    EXPECT_EQ(loading.title, "Image Loading Status...");
    EXPECT_EQ(loading.texts, QStringList{"Importing Image Data, One Moment Please..."});
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_TRUE(reports[0].success);
    EXPECT_EQ(reports[0].width, 8);
    EXPECT_EQ(reports[0].height, 8);

    EXPECT_EQ(s.settings.using_background_image, 1);
    EXPECT_EQ(s.settings.background_texture_quality, 2);
    EXPECT_EQ(s.settings.background_image_file, file);
    const BackgroundImage& background = s.window->View()->viewer().background;
    EXPECT_TRUE(background.shown);
    EXPECT_EQ(background.quality, 2);
    EXPECT_EQ(background.fileName, file);
    EXPECT_TRUE(ShowsQuadrants(Picture(s)));

    // Behind a model too: the image around it, the model in front.
    ASSERT_TRUE(s.Load(SamplePath("cube.obj")));
    const QImage withModel = Picture(s);
    const QColor corner = PixelAt(withModel, 0.06, 0.08);
    EXPECT_GT(corner.red(), 200);
    EXPECT_LT(corner.green(), 100);
    EXPECT_LT(PixelAt(withModel, 0.5, 0.5).red(), 100);  // the cube's face, not the image
}

TEST(SceneGui, BackgroundWithoutPreviewChangesTheViewOnlyOnOk)
{
    test::ScratchDir dir;
    const std::string file = WriteQuadrants(dir);
    test::FreshSession s;
    QImage during;
    RunBackgroundDialog(
        s,
        [&](QWidget* dialog) {
            EnableAndChoose(dialog, false);
            during = Picture(s);
            Click(dialog, "ok_1");
        },
        {{"image_chooser", ChooseFile(QString::fromStdString(file))}});
    EXPECT_TRUE(ShowsPlainBackground(during));
    EXPECT_TRUE(ShowsQuadrants(Picture(s)));

    // Unticking "Enable Background Image" and OK: the view is plain again, the setting off.
    RunBackgroundDialog(s, [](QWidget* dialog) {
        Child<QCheckBox>(dialog, "enable_1088")->setChecked(false);
        Click(dialog, "ok_1");
    });
    EXPECT_EQ(s.settings.using_background_image, 0);
    EXPECT_TRUE(ShowsPlainBackground(Picture(s)));
}

// Cancel puts back the image, its name and its quality as they were when the dialog opened, even
// after the preview showed another image at another quality.
TEST(SceneGui, BackgroundCancelRestoresTheImageItsNameAndQuality)
{
    test::ScratchDir dir;
    const std::string first = WriteQuadrants(dir);
    const std::string second = test::WritePpm(dir.Path() / "grey.ppm", QColor(128, 128, 128));
    test::FreshSession s;
    SetBackground(s, first, 3);
    const Viewer& viewer = s.window->View()->viewer();
    const auto image = viewer.background.image;
    QImage during;
    RunBackgroundDialog(
        s,
        [&](QWidget* dialog) {
            EXPECT_TRUE(Child<QCheckBox>(dialog, "enable_1088")->isChecked());
            EXPECT_EQ(Child<QLineEdit>(dialog, "path_1086")->text(), QString::fromStdString(first));
            Child<QCheckBox>(dialog, "preview_1069")->setChecked(true);
            Click(dialog, "browse_1085");
            Child<QSlider>(dialog, "slider_1092")->setValue(0);
            during = Picture(s);
            Click(dialog, "cancel_2");
        },
        {{"image_chooser", ChooseFile(QString::fromStdString(second))}});
    EXPECT_FALSE(ShowsQuadrants(during));
    EXPECT_EQ(viewer.background.image, image);
    EXPECT_EQ(viewer.background.fileName, first);
    EXPECT_EQ(viewer.background.quality, 3);
    EXPECT_TRUE(viewer.background.shown);
    EXPECT_EQ(s.settings.background_texture_quality, 3);
    EXPECT_EQ(s.settings.background_image_file, first);
    EXPECT_TRUE(ShowsQuadrants(Picture(s)));
}

// The GL texture of the background image follows the slider at once while previewing.
TEST(SceneGui, BackgroundQualitySliderWithPreviewUploadsAtThatQuality)
{
    test::ScratchDir dir;
    const std::string file = WriteQuadrants(dir);
    test::FreshSession s;
    SetBackground(s, file, 3);
    auto uploadedSize = [&] {
        Picture(s);  // the frame uploads what it draws
        GLint width = 0;
        s.window->View()->WithContext([&] {
            glBindTexture(GL_TEXTURE_2D, s.window->View()->viewer().background.texture);
            glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
            glBindTexture(GL_TEXTURE_2D, 0);
        });
        return width;
    };
    EXPECT_EQ(uploadedSize(), 128);
    std::vector<int> sizes;
    RunBackgroundDialog(s, [&](QWidget* dialog) {
        Child<QCheckBox>(dialog, "preview_1069")->setChecked(true);
        auto* slider = Child<QSlider>(dialog, "slider_1092");
        for (int quality : {0, 5, 1}) {
            slider->setValue(quality);
            sizes.push_back(uploadedSize());
        }
        Click(dialog, "ok_1");
    });
    EXPECT_EQ(sizes, (std::vector<int>{16, 512, 32}));
    EXPECT_EQ(s.settings.background_texture_quality, 1);
    EXPECT_EQ(uploadedSize(), 32);
}

TEST(SceneGui, BackgroundFilesThatCannotBeReadLeaveTheBackgroundAlone)
{
    test::ScratchDir dir;
    const std::string good = WriteQuadrants(dir);
    const std::string gif = dir.Write("photo.gif", "GIF89a");
    const std::string broken = dir.Write("broken.tga", std::string(5, '\0'));
    test::FreshSession s;
    SetBackground(s, good, 3);
    std::vector<ImageLoadOutcome> reports;
    s.window->SetImageLoadedHook([&](const ImageLoadOutcome& outcome) { reports.push_back(outcome); });
    QStringList messages;
    auto recordError = [&](QWidget* box) {
        messages << Child<QLabel>(box, "message_1067")->text();
        static_cast<QDialog*>(box)->accept();
    };
    BoxWatcher loading("LOAD2DBOX");
    RunBackgroundDialog(
        s,
        [&](QWidget* dialog) {
            Child<QCheckBox>(dialog, "preview_1069")->setChecked(true);
            Click(dialog, "browse_1085");
            Click(dialog, "browse_1085");
            EXPECT_EQ(Child<QLineEdit>(dialog, "path_1086")->text(), QString::fromStdString(good));
            Click(dialog, "ok_1");
        },
        {{"image_chooser", ChooseFile(QString::fromStdString(gif))},
         {"ERRORBOX", recordError},
         {"image_chooser", ChooseFile(QString::fromStdString(broken))},
         {"ERRORBOX", recordError}});
    EXPECT_EQ(messages, QStringList({UnknownImageKindMessage(QString::fromStdString(gif)),
                                     UnreadableImageMessage(QString::fromStdString(broken))}));
    EXPECT_EQ(loading.seen, 1);  // the gif was not even read
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_FALSE(reports[0].success);
    EXPECT_EQ(reports[0].format, Format::Tga);
    EXPECT_EQ(s.settings.background_image_file, good);
    EXPECT_TRUE(ShowsQuadrants(Picture(s)));
}

// The image is read again at start-up while "Enable Background Image" is on, not while it is off.
TEST(SceneGui, BackgroundImageIsReadAgainAtStartWhileEnabled)
{
    test::FreshStore store;
    test::ScratchDir dir;
    const std::string file = WriteQuadrants(dir);
    {
        Session s;
        SetBackground(s, file, 1);
        s.Quit();
    }
    {
        BoxWatcher loading("LOAD2DBOX");
        Session s;
        EXPECT_EQ(loading.seen, 1);
        const BackgroundImage& background = s.window->View()->viewer().background;
        EXPECT_EQ(background.fileName, file);
        EXPECT_EQ(background.quality, 1);
        EXPECT_TRUE(ShowsQuadrants(Picture(s)));
        RunBackgroundDialog(s, [](QWidget* dialog) {
            Child<QCheckBox>(dialog, "enable_1088")->setChecked(false);
            Click(dialog, "ok_1");
        });
        s.Quit();
    }
    {
        BoxWatcher loading("LOAD2DBOX");
        Session s;
        EXPECT_EQ(loading.seen, 0);
        EXPECT_EQ(s.window->View()->viewer().background.image, nullptr);
        EXPECT_EQ(s.settings.background_image_file, file);  // kept for the next time it is enabled
        EXPECT_TRUE(ShowsPlainBackground(Picture(s)));
    }
}

// The Mesh and Scene parameter dialogs wear the program's colours and open at the main window's
// bottom-left corner; the image loading box is centred over the main window.
TEST(SceneGui, MeshAndSceneDialogsWearTheProgramsColoursAndOpenAtTheBottomLeft)
{
    test::ScratchDir dir;
    const std::string file = WriteQuadrants(dir);
    test::FreshSession s;
    ASSERT_TRUE(s.Load(SamplePath("cube.obj")));
    MainWindow* window = s.window.get();
    const QPoint corner = ParameterDialogCorner(window, window->ToolBandHeight());
    for (const auto& [command, name] : {std::pair{command::Scale, "UI_DIALOG_SCALE"},
                                        {command::Decimate, "UI_DIALOG_DECIMATE"},
                                        {command::TextureMap, "UI_DIALOG_TEXTUREMAP"},
                                        {command::BackgroundTexture, "UI_BACKGROUND_BOX"}}) {
        SCOPED_TRACE(name);
        ModalScript script;
        script.Then(name, [&, dialogName = QString(name)](QWidget* dialog) {
            test::WaitUntil([] { return false; }, 100);  // the placement settles
            EXPECT_EQ(dialog->frameGeometry().bottomLeft(), corner);
            dialog->repaint();
            EXPECT_EQ(dialog->grab().toImage().pixelColor(3, 3), QColor(25, 30, 43));
            EXPECT_EQ(dialog->palette().color(QPalette::WindowText), QColor(Qt::white));
            if (dialogName == "UI_BACKGROUND_BOX") {
                Child<QCheckBox>(dialog, "enable_1088")->setChecked(true);
                Click(dialog, "browse_1085");
            }
            static_cast<QDialog*>(dialog)->reject();
        });
        if (QString(name) == "UI_BACKGROUND_BOX") {
            script.Then("image_chooser", ChooseFile(QString::fromStdString(file)));
        }
        BoxWatcher loading("LOAD2DBOX");
        QRect loadingFrame;
        QColor loadingColour;
        QTimer probe;
        QObject::connect(&probe, &QTimer::timeout, [&] {
            if (QWidget* box = test::ShownWindow("LOAD2DBOX")) {
                loadingFrame = box->frameGeometry();
                loadingColour = box->grab().toImage().pixelColor(3, 3);
            }
        });
        probe.start(0);
        script.Start();
        s.Trigger(command);
        EXPECT_TRUE(script.Finished());
        if (QString(name) == "UI_BACKGROUND_BOX") {
            EXPECT_EQ(loading.seen, 1);
            EXPECT_EQ(loadingColour, QColor(25, 30, 43));
            EXPECT_NEAR(loadingFrame.center().x(), window->frameGeometry().center().x(), 2);
            EXPECT_NEAR(loadingFrame.center().y(), window->frameGeometry().center().y(), 2);
        }
    }
}

// The light colour becomes light 0's diffuse and specular colour, never its ambient one; the lit
// model takes its hue.
TEST(SceneGui, LightColorTintsTheLitModelAndLeavesAmbientBlack)
{
    test::FreshSession s;
    ASSERT_TRUE(s.Load(SamplePath("teapot.obj")));
    auto light = [&](GLenum which) {
        std::array<float, 4> value{};
        s.window->View()->WithContext([&] { glGetLightfv(GL_LIGHT0, which, value.data()); });
        return value;
    };
    EXPECT_EQ(light(GL_DIFFUSE), (std::array<float, 4>{1, 1, 1, 1}));  // white until chosen
    auto greenOverRed = [&] {
        const QImage image = Picture(s);
        int64_t sum = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) sum += image.pixelColor(x, y).green() - image.pixelColor(x, y).red();
        }
        return sum;
    };
    const int64_t white = greenOverRed();

    ModalScript cancelled;
    cancelled.Then("QColorDialog", [](QWidget* dialog) { static_cast<QDialog*>(dialog)->reject(); });
    cancelled.Start();
    s.Trigger(command::LightColor);
    ASSERT_TRUE(cancelled.Finished());
    EXPECT_EQ(s.window->View()->viewer().lightColor, (std::array<float, 3>{1, 1, 1}));

    ModalScript script;
    script.Then("QColorDialog", test::PickColor(QColor(0, 255, 0)));
    script.Start();
    s.Trigger(command::LightColor);
    ASSERT_TRUE(script.Finished());
    EXPECT_EQ(light(GL_DIFFUSE), (std::array<float, 4>{0, 1, 0, 1}));
    EXPECT_EQ(light(GL_SPECULAR), (std::array<float, 4>{0, 1, 0, 1}));
    EXPECT_EQ(light(GL_AMBIENT), (std::array<float, 4>{0, 0, 0, 1}));
    EXPECT_GT(greenOverRed(), white + 1000);
    // Lighting off and on again keeps the colour.
    s.Trigger(command::Lighting);
    s.Trigger(command::Lighting);
    EXPECT_EQ(light(GL_DIFFUSE), (std::array<float, 4>{0, 1, 0, 1}));
}

// The whole path of the report: the usage session of the program sends open2d for a background
// image, with the image format's name and size.
TEST(SceneGui, BackgroundImageIsReportedAsOpen2d)
{
    test::FreshStore store;
    test::ScratchDir dir;
    const std::string file = WriteQuadrants(dir);
    UsageServerOptions options;
    options.logPath = (dir.Path() / "usage.log").string();
    UsageServer server(options);
    std::string error;
    ASSERT_TRUE(server.Start(error)) << error;
    UsageConfig config;
    config.endpoint = {"127.0.0.1", server.Port()};
    config.connected = [] { return true; };
    Session s;
    UsageSession usage(s.settings, config);
    usage.Attach(*s.window);
    SetBackground(s, file, 3);
    ASSERT_TRUE(test::WaitUntil([&] {
        return test::LogLines(options.logPath, "open2d").size() == 1 && usage.Client().LiveThreads() == 0;
    }));
    const std::string line = test::LogLines(options.logPath, "open2d").at(0);
    EXPECT_EQ(test::Field(line, "success"), "1");
    EXPECT_EQ(test::Field(line, "type"), "Portable-RGB");
    EXPECT_EQ(test::Field(line, "width"), "8");
    EXPECT_EQ(test::Field(line, "height"), "8");
}

}  // namespace
}  // namespace solvane
