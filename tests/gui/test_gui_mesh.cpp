// The Mesh menu under Xvfb: each command's dialog (accepted, cancelled, refused input), its status
// box, and the model, the status band and the picture afterwards.
#include <gtest/gtest.h>

#include <QListWidget>

#include <GL/gl.h>

#include "app/command_table.h"
#include "app/dialogs.h"
#include "app/image_chooser.h"
#include "app/mesh_dialogs.h"
#include "core/mesh_ops.h"
#include "tests/gui/dialog_driver.h"

namespace solvane {
namespace {

using test::Accept;
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

std::vector<float> FirstVertices(const Session& s)
{
    return s.window->CurrentModel()->subMeshes[0].vertices;
}

// A point of the cube's front (red) face that no axis line crosses, in a straight-on view.
QColor FrontFace(Session& s)
{
    return PixelAt(Picture(s), 0.4, 0.6);
}

// Flat colours (lighting off) and, when asked, texturing on from the start.
void StoreUnlit(bool texturing)
{
    Settings stored = DefaultSettings();
    stored.light = 0;
    stored.texturing = texturing;
    WriteAll(stored);
}

// How red the picture is (red above green, summed), with the cube turned so that its smooth corner normals catch the
// light at the eye (face-on, the corners' normals are square to it).
int64_t RedLight(Session& s)
{
    Viewer& viewer = s.window->View()->viewer();
    viewer.camera.modelRotation = Multiply(RotationMatrix(25, 1, 0, 0), RotationMatrix(35, 0, 1, 0));
    const QImage image = Picture(s);
    int64_t sum = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) sum += image.pixelColor(x, y).red() - image.pixelColor(x, y).green();
    }
    return sum;
}

// ---- Scale -------------------------------------------------------------------------------------

TEST(MeshGui, ScaleByTwoScalesModelCameraAndRecordBehindItsStatusBox)
{
    test::FreshSession s;
    ASSERT_TRUE(s.Load(SamplePath("cube.obj")));
    const std::vector<float> before = FirstVertices(s);
    const float distance = s.window->View()->viewer().camera.viewDistance;
    const float loadScale = s.window->CurrentModel()->loadScale;
    const QImage picture = Picture(s);
    const uint32_t oldList = s.window->CurrentModel()->subMeshes[0].wireList;

    BoxWatcher status("UI_STATUS");
    ModalScript script;
    script.Then("UI_DIALOG_SCALE", [](QWidget* dialog) {
        EXPECT_EQ(dialog->windowTitle(), "Adjust Model Scale...");
        Child<QLineEdit>(dialog, "edit_1002")->setText("2");
        Click(dialog, "ok_1");
    });
    script.Start();
    s.Trigger(command::Scale);
    ASSERT_TRUE(script.Finished());

    const std::vector<float> after = FirstVertices(s);
    ASSERT_EQ(after.size(), before.size());
    for (size_t i = 0; i < after.size(); ++i) EXPECT_FLOAT_EQ(after[i], 2 * before[i]) << i;
    EXPECT_FLOAT_EQ(s.window->View()->viewer().camera.viewDistance, 2 * distance);
    EXPECT_FLOAT_EQ(s.window->CurrentModel()->loadScale, 2 * loadScale);
    EXPECT_FLOAT_EQ(s.window->View()->viewer().box.maxX, 2 * 0.25f);
    EXPECT_NE(s.window->CurrentModel()->subMeshes[0].wireList, oldList);  // both lists rebuilt
    EXPECT_EQ(status.seen, 1);
    EXPECT_EQ(status.title, "Status...");
    EXPECT_EQ(status.texts, QStringList{"Scaling vertices, please wait..."});
    EXPECT_EQ(status.highestProgress, 500);
    EXPECT_EQ(StatusText(), "Status:");
    // Model and camera grew together: the picture keeps its size.
    const QColor background(77, 77, 77);
    EXPECT_NEAR(test::ModelPixels(Picture(s), background), test::ModelPixels(picture, background),
                test::ModelPixels(picture, background) / 50);
}

// Every refused text shows its message in the error box; the dialog stays open with the text.
TEST(MeshGui, ScaleRefusesLettersExtraPointsAndNumbersNotAboveZero)
{
    test::FreshSession s;
    ASSERT_TRUE(s.Load(SamplePath("cube.obj")));
    const std::vector<float> before = FirstVertices(s);
    const std::pair<QString, QString> refused[] = {
        {"abc", kEnterValidNumber}, {"2x", kEnterValidNumber},    {"1e3", kEnterValidNumber},
        {"1.2.3", kEnterValidNumber}, {"1,5,", kEnterValidNumber}, {"1.5.", kEnterValidNumber},
        {"0", kEnterPositiveNumber}, {"-3", kEnterPositiveNumber}, {"", kEnterPositiveNumber},
        {",", kEnterPositiveNumber}, {"-0.0", kEnterPositiveNumber},
    };
    QStringList messages;
    QStringList titles;
    BoxWatcher status("UI_STATUS");
    ModalScript script;
    script.Then("UI_DIALOG_SCALE", [&](QWidget* dialog) {
        auto* edit = Child<QLineEdit>(dialog, "edit_1002");
        for (const auto& [text, message] : refused) {
            edit->setText(text);
            Click(dialog, "ok_1");  // returns once the error box below is answered
            EXPECT_TRUE(dialog->isVisible()) << text.toStdString();
            EXPECT_EQ(edit->text(), text);
        }
        Click(dialog, "cancel_1023");
    });
    for (size_t i = 0; i < std::size(refused); ++i) {
        script.Then("ERRORBOX", [&](QWidget* box) {
            titles << box->windowTitle();
            messages << Child<QLabel>(box, "message_1067")->text();
            static_cast<QDialog*>(box)->accept();
        });
    }
    script.Start();
    s.Trigger(command::Scale);
    ASSERT_TRUE(script.Finished());
    for (size_t i = 0; i < std::size(refused); ++i) {
        EXPECT_EQ(messages.value(static_cast<int>(i)), refused[i].second) << refused[i].first.toStdString();
        EXPECT_EQ(titles.value(static_cast<int>(i)), "Error Encountered...");
    }
    EXPECT_EQ(FirstVertices(s), before);
    EXPECT_EQ(status.seen, 0);
}

TEST(MeshGui, ScaleTakesADecimalCommaAndOneChangesNothing)
{
    test::FreshSession s;
    ASSERT_TRUE(s.Load(SamplePath("cube.obj")));
    const std::vector<float> before = FirstVertices(s);
    auto scaleBy = [&](const QString& text) {
        ModalScript script;
        script.Then("UI_DIALOG_SCALE", [text](QWidget* dialog) {
            Child<QLineEdit>(dialog, "edit_1002")->setText(text);
            Click(dialog, "ok_1");
        });
        script.Start();
        s.Trigger(command::Scale);
        EXPECT_TRUE(script.Finished());
    };
    {
        BoxWatcher status("UI_STATUS");
        const uint32_t list = s.window->CurrentModel()->subMeshes[0].solidList;
        scaleBy("1");
        EXPECT_EQ(FirstVertices(s), before);
        EXPECT_EQ(status.seen, 0);
        EXPECT_EQ(s.window->CurrentModel()->subMeshes[0].solidList, list);  // nothing rebuilt
    }
    scaleBy(" 1,5");
    for (size_t i = 0; i < before.size(); ++i) EXPECT_FLOAT_EQ(FirstVertices(s)[i], 1.5f * before[i]);
    // The parser alone, for the texts users type.
    EXPECT_EQ(ParseScaleText("+2").factor, 2.0f);
    EXPECT_EQ(ParseScaleText(".5").factor, 0.5f);
    EXPECT_EQ(ParseScaleText("3#").factor, 3.0f);
    EXPECT_EQ(ParseScaleText("1 2").factor, 1.0f);
}

// A load that finishes while a Mesh dialog is open waits for it: the dialog works on the model it
// opened over, and the new model is shown afterwards.
TEST(MeshGui, ALoadFinishingDuringADialogWaitsForIt)
{
    test::FreshSession s;
    ASSERT_TRUE(s.Load(SamplePath("cube.obj")));
    const Model* cube = s.window->CurrentModel();
    const std::vector<float> before = FirstVertices(s);
    bool sameModelDuringDialog = false;
    ModalScript script;
    script.Then("UI_DIALOG_SCALE", [&](QWidget* dialog) {
        s.window->StartModelLoad(QString::fromStdString(SamplePath("teapot.obj")));
        QTest::qWait(1500);  // long enough for the teapot to be read
        sameModelDuringDialog = s.window->CurrentModel() == cube;
        Child<QLineEdit>(dialog, "edit_1002")->setText("2");
        Click(dialog, "ok_1");
    });
    script.Start();
    s.Trigger(command::Scale);
    ASSERT_TRUE(script.Finished());
    EXPECT_TRUE(sameModelDuringDialog);
    EXPECT_EQ(FirstVertices(s)[0], 2 * before[0]);  // the cube was scaled ...
    ASSERT_TRUE(test::WaitUntil([&] { return !s.window->LoadRunning(); }));
    EXPECT_EQ(s.window->CurrentModel()->formatId, Format::Obj);  // ... then the teapot shown
    EXPECT_EQ(TotalVertices(*s.window->CurrentModel()), 1030);
}

// ---- Decimate ----------------------------------------------------------------------------------

int DecimateOnce(Session& s, int position, bool ok, int* openingPosition = nullptr)
{
    ModalScript script;
    script.Then("UI_DIALOG_DECIMATE", [&](QWidget* dialog) {
        EXPECT_EQ(dialog->windowTitle(), "Decimate Model...");
        auto* slider = Child<QSlider>(dialog, "slider_1097");
        EXPECT_EQ(slider->minimum(), 0);
        EXPECT_EQ(slider->maximum(), 100);
        if (openingPosition) *openingPosition = slider->value();
        slider->setValue(position);
        Click(dialog, ok ? "ok_1" : "cancel_1023");
    });
    script.Start();
    s.Trigger(command::Decimate);
    EXPECT_TRUE(script.Finished());
    return s.window->CurrentModel()->subMeshes[0].VertexCount();
}

// The cube's corners lie 0.5 apart (L1) after the load's resize to +-0.25, and the tolerance is
// factor x (sum of the box's six absolute values = 1.5) / 3: 99 % keeps every corner, 100 %
// merges each with its most recently kept neighbour.
TEST(MeshGui, DecimateWeldsByTheModelBoxTolerance)
{
    test::FreshSession s;
    ASSERT_TRUE(s.Load(SamplePath("cube.obj")));
    {
        BoxWatcher status("UI_STATUS");
        EXPECT_EQ(DecimateOnce(s, 99, true), 8);
        EXPECT_EQ(status.seen, 1);
        EXPECT_EQ(status.texts, QStringList{"Decimating vertices, please wait..."});
        EXPECT_EQ(status.highestProgress, 500);
    }
    EXPECT_EQ(DecimateOnce(s, 100, true), 4);
    EXPECT_EQ(s.window->StatusPart(1), "Polygons: 6  Vertices: 4");
    // Kept in order of first appearance: corners 1, 3, 6 and 8 of the file.
    const float q = 0.25f;
    EXPECT_EQ(FirstVertices(s), (std::vector<float>{-q, -q, -q, q, q, -q, q, -q, q, -q, q, q}));
}

TEST(MeshGui, DecimateCancelKeepsTheFactorItOpenedWith)
{
    test::FreshSession s;
    ASSERT_TRUE(s.Load(SamplePath("cube.obj")));
    int opening = -1;
    EXPECT_EQ(DecimateOnce(s, 99, true, &opening), 8);
    EXPECT_EQ(DecimateOnce(s, 30, false, &opening), 8);  // cancelled: nothing welded
    EXPECT_EQ(opening, 99);                              // the last factor chosen with OK
    EXPECT_EQ(DecimateOnce(s, 99, true, &opening), 8);
    EXPECT_EQ(opening, 99);  // not the 30 of the cancelled opening
}

// ---- Triangulate, normals, material -------------------------------------------------------------

TEST(MeshGui, TriangulateSplitsQuadsThenReportsTriangles)
{
    test::FreshSession s;
    ASSERT_TRUE(s.Load(SamplePath("cube.obj")));
    {
        BoxWatcher status("UI_STATUS");
        s.Trigger(command::Triangulate);
        EXPECT_EQ(status.texts, QStringList{"Converting all faces to triangles, please wait..."});
        EXPECT_EQ(status.highestProgress, 500);
    }
    EXPECT_EQ(s.window->CurrentModel()->subMeshes[0].FaceCount(), 12);
    EXPECT_EQ(s.window->StatusPart(1), "Polygons: 12  Vertices: 8");

    bool statusOpenWithMessage = true;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString text;
    ModalScript script;
    script.Then("QMessageBox", [&](QWidget* widget) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        text = box->text();
        icon = box->icon();
        statusOpenWithMessage = false;
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (top->objectName() == "UI_STATUS" && top->isVisible()) statusOpenWithMessage = true;
        }
        box->accept();
    });
    script.Start();
    const uint32_t list = s.window->CurrentModel()->subMeshes[0].solidList;
    s.Trigger(command::Triangulate);
    ASSERT_TRUE(script.Finished());
    EXPECT_EQ(script.Titles(), QStringList{"Already 100% Triangles"});
    EXPECT_EQ(text, "This file is triangulated already.");
    EXPECT_EQ(icon, QMessageBox::Information);
    EXPECT_FALSE(statusOpenWithMessage);
    EXPECT_EQ(s.window->CurrentModel()->subMeshes[0].solidList, list);  // nothing rebuilt
}

// With the light at the eye, inverted normals turn the faces away from it: the model goes dark;
// generated normals light it again.
TEST(MeshGui, InvertAndGenerateNormalsRelightTheModel)
{
    test::FreshSession s;
    ASSERT_TRUE(s.Load(SamplePath("cube.obj")));
    const int64_t lit = RedLight(s);
    Viewer& viewer = s.window->View()->viewer();
    {
        BoxWatcher status("UI_STATUS");
        s.Trigger(command::InvertNormals);
        EXPECT_EQ(status.texts, QStringList{"Inverting light direction, please wait..."});
    }
    EXPECT_TRUE(viewer.normalsInverted);
    EXPECT_LT(RedLight(s), lit * 3 / 4);
    {
        BoxWatcher status("UI_STATUS");
        s.Trigger(command::GenerateLightData);
        EXPECT_EQ(status.texts, QStringList{"Generating light data, please wait..."});
        EXPECT_EQ(status.highestProgress, 500);
    }
    EXPECT_NEAR(RedLight(s), lit, lit / 100);
    // Front face (z = +0.25) corners get normals leaning out of the cube.
    const Model& model = *s.window->CurrentModel();
    EXPECT_GT(model.subMeshes[0].normals[3 * 6 + 2], 0.5f);  // vertex 7 (+,+,+)
}

TEST(MeshGui, MaterialGivesEveryMaterialTheChosenColour)
{
    test::FreshStore store;
    StoreUnlit(false);
    Session s;
    ASSERT_TRUE(s.Load(SamplePath("cube.obj")));
    {
        ModalScript script;
        script.Then("QColorDialog", [](QWidget* dialog) { static_cast<QDialog*>(dialog)->reject(); });
        script.Start();
        s.Trigger(command::MaterialDialog);
        EXPECT_TRUE(script.Finished());
        EXPECT_EQ(s.settings.fg_color_b, 1.0f);
        EXPECT_FLOAT_EQ(s.window->CurrentModel()->materials[0].color[0], 0.3f);  // the file's red
    }
    BoxWatcher status("UI_STATUS");
    ModalScript script;
    script.Then("QColorDialog", test::PickColor(QColor(0, 0, 255)));
    script.Start();
    s.Trigger(command::MaterialDialog);
    ASSERT_TRUE(script.Finished());
    EXPECT_EQ(status.texts, QStringList{"Updating material, please wait..."});
    EXPECT_EQ(s.settings.Foreground(), (std::array<float, 3>{0, 0, 1}));
    const Model& model = *s.window->CurrentModel();
    for (const Material& material : model.materials) {
        EXPECT_EQ(material.color, (std::array<float, 3>{0, 0, 1})) << material.name;
        EXPECT_EQ(material.diffuse, (std::array<float, 3>{0, 0, 1}));
        EXPECT_EQ(material.specular, (std::array<float, 3>{1, 1, 1}));
    }
    EXPECT_EQ(model.hasColor, 1);
    const QColor face = FrontFace(s);
    EXPECT_GT(face.blue(), 150);
    EXPECT_LT(face.red(), 60);
}

// ---- Texture map -------------------------------------------------------------------------------

TEST(MeshGui, TextureMapWithoutTextureCoordinatesWarnsInsteadOfOpening)
{
    test::ScratchDir dir;
    const std::string path = dir.Write("plain.off", "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n");
    test::FreshSession s;
    ASSERT_TRUE(s.Load(path));
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    ModalScript script;
    script.Then("QMessageBox", [&](QWidget* widget) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        text = box->text();
        icon = box->icon();
        box->accept();
    });
    script.Start();
    s.Trigger(command::TextureMap);
    ASSERT_TRUE(script.Finished());
    EXPECT_EQ(script.Titles(), QStringList{"Texture Map Image Import Failed"});
    EXPECT_EQ(text, "Importing texture maps requires the current model to have texture coordinates.");
    EXPECT_EQ(icon, QMessageBox::Warning);
    QTest::qWait(100);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);  // no dialog after the box
}

struct ImageReports {
    std::vector<ImageLoadOutcome> outcomes;
    void Attach(Session& s)
    {
        s.window->SetImageLoadedHook([this](const ImageLoadOutcome& outcome) { outcomes.push_back(outcome); });
    }
};

TEST(MeshGui, TextureMapGivesAnUntexturedModelItsImageUntilCancelled)
{
    test::ScratchDir dir;
    const std::string blue = test::WritePpm(dir.Path() / "blue.ppm", QColor(20, 40, 230), 6, 3);
    test::FreshStore store;
    StoreUnlit(true);
    Session s;
    ImageReports reports;
    reports.Attach(s);
    ASSERT_TRUE(s.Load(SamplePath("cube.obj")));
    const Model& model = *s.window->CurrentModel();
    const std::vector<Material> materials = model.materials;
    const QColor red = FrontFace(s);

    BoxWatcher loading("LOAD2DBOX");
    QColor duringDialog;
    ModalScript script;
    script.Then("UI_DIALOG_TEXTUREMAP", [&](QWidget* dialog) {
        EXPECT_EQ(dialog->windowTitle(), "Texture Map Parameters...");
        EXPECT_EQ(Child<QLineEdit>(dialog, "path_1086")->text(), "<NONE SELECTED>");
        EXPECT_FALSE(Child<QWidget>(dialog, "group_1097")->isEnabled());
        EXPECT_FALSE(Child<QListWidget>(dialog, "list_1024")->isEnabled());
        Click(dialog, "browse_1085");  // the chooser below, then the image is read at once
        EXPECT_EQ(Child<QLineEdit>(dialog, "path_1086")->text(), QString::fromStdString(blue));
        EXPECT_EQ(model.TextureCount(), 1);
        duringDialog = FrontFace(s);
        Click(dialog, "cancel_2");
    });
    script.Then("image_chooser", ChooseFile(QString::fromStdString(blue)));
    script.Start();
    s.Trigger(command::TextureMap);
    ASSERT_TRUE(script.Finished());

    // While the dialog was open the cube showed the image.
    EXPECT_GT(duringDialog.blue(), 150);
    EXPECT_LT(duringDialog.red(), 80);
    EXPECT_EQ(loading.seen, 1);
    EXPECT_EQ(loading.title, "Image Loading Status...");
    EXPECT_EQ(loading.texts, QStringList{"Importing Image Data, One Moment Please..."});
    ASSERT_EQ(reports.outcomes.size(), 1u);
    EXPECT_TRUE(reports.outcomes[0].success);
    EXPECT_EQ(reports.outcomes[0].format, Format::Ppm);
    EXPECT_EQ(reports.outcomes[0].width, 6);
    EXPECT_EQ(reports.outcomes[0].height, 3);
    // Cancelled: no texture, the materials' colours as they were, untextured.
    EXPECT_EQ(model.TextureCount(), 0);
    EXPECT_EQ(model.hasTextures, 0);
    ASSERT_EQ(model.materials.size(), materials.size());
    for (size_t m = 0; m < materials.size(); ++m) {
        EXPECT_EQ(model.materials[m].color, materials[m].color);
        EXPECT_EQ(model.materials[m].diffuse, materials[m].diffuse);
        EXPECT_EQ(model.materials[m].textureIndex, -1);
    }
    EXPECT_NEAR(FrontFace(s).red(), red.red(), 3);
}

TEST(MeshGui, TextureMapReplacesTheSelectedTextureAndOkKeepsIt)
{
    test::FreshStore store;
    StoreUnlit(true);
    test::ScratchDir dir;
    const std::string square = test::WriteTexturedSquare(dir);
    const std::string blue = test::WritePpm(dir.Path() / "blue.ppm", QColor(20, 40, 230), 4, 4);
    Session s;
    ASSERT_TRUE(s.Load(square));
    const Model& model = *s.window->CurrentModel();
    ASSERT_EQ(model.TextureCount(), 2);
    const uint32_t handle = model.textures[1].textureHandle;
    // The green triangle is the upper left one.
    auto upperLeft = [&] { return PixelAt(Picture(s), 0.35, 0.3); };
    EXPECT_GT(upperLeft().green(), 150);

    ModalScript script;
    script.Then("UI_DIALOG_TEXTUREMAP", [&](QWidget* dialog) {
        auto* list = Child<QListWidget>(dialog, "list_1024");
        EXPECT_TRUE(list->isEnabled());
        ASSERT_EQ(list->count(), 2);
        EXPECT_EQ(list->currentRow(), 0);
        EXPECT_EQ(list->item(1)->text(), "green.ppm");
        list->setCurrentRow(1);
        EXPECT_EQ(Child<QLineEdit>(dialog, "path_1086")->text(), "green.ppm");
        Click(dialog, "browse_1085");
        EXPECT_EQ(list->item(1)->text(), QString::fromStdString(blue));
        Click(dialog, "ok_1");
    });
    script.Then("image_chooser", ChooseFile(QString::fromStdString(blue)));
    script.Start();
    s.Trigger(command::TextureMap);
    ASSERT_TRUE(script.Finished());
    EXPECT_EQ(model.textures[1].name, blue);
    EXPECT_EQ(model.textures[1].textureHandle, handle);
    ASSERT_EQ(model.textures[1].pixels.size(), 4u * 4 * 3);
    EXPECT_EQ(model.textures[1].pixels[2], 230);
    EXPECT_EQ(model.textures[0].name, "red.ppm");
    const QColor shown = upperLeft();
    EXPECT_GT(shown.blue(), 150);
    EXPECT_LT(shown.green(), 120);
}

// Choosing another entry puts the previous one back; Cancel puts back what the model had.
TEST(MeshGui, TextureMapSwitchingEntriesAndCancelRestoreTheTextures)
{
    test::FreshStore store;
    StoreUnlit(true);
    test::ScratchDir dir;
    const std::string square = test::WriteTexturedSquare(dir);
    const std::string blue = test::WritePpm(dir.Path() / "blue.ppm", QColor(20, 40, 230), 4, 4);
    Session s;
    ASSERT_TRUE(s.Load(square));
    const Model& model = *s.window->CurrentModel();
    const std::vector<uint8_t> red = model.textures[0].pixels;
    const std::vector<uint8_t> green = model.textures[1].pixels;

    ModalScript script;
    script.Then("UI_DIALOG_TEXTUREMAP", [&](QWidget* dialog) {
        auto* list = Child<QListWidget>(dialog, "list_1024");
        Click(dialog, "browse_1085");  // replaces the red texture (row 0)
        EXPECT_EQ(model.textures[0].name, blue);
        list->setCurrentRow(1);
        EXPECT_EQ(model.textures[0].name, "red.ppm");
        EXPECT_EQ(model.textures[0].pixels, red);
        EXPECT_EQ(list->item(0)->text(), "red.ppm");
        Click(dialog, "browse_1085");  // replaces the green texture
        EXPECT_EQ(model.textures[1].name, blue);
        Click(dialog, "cancel_2");
    });
    script.Then("image_chooser", ChooseFile(QString::fromStdString(blue)));
    script.Then("image_chooser", ChooseFile(QString::fromStdString(blue)));
    script.Start();
    s.Trigger(command::TextureMap);
    ASSERT_TRUE(script.Finished());
    EXPECT_EQ(model.textures[0].pixels, red);
    EXPECT_EQ(model.textures[1].name, "green.ppm");
    EXPECT_EQ(model.textures[1].pixels, green);
    EXPECT_GT(PixelAt(Picture(s), 0.35, 0.3).green(), 150);
    EXPECT_GT(PixelAt(Picture(s), 0.65, 0.7).red(), 150);
}

TEST(MeshGui, TextureMapRefusesAnImageThatCannotBeRead)
{
    test::ScratchDir dir;
    const std::string broken = dir.Write("broken.bmp", "BM not really a bitmap");
    test::FreshSession s;
    ImageReports reports;
    reports.Attach(s);
    ASSERT_TRUE(s.Load(SamplePath("cube.obj")));
    QString message;
    ModalScript script;
    script.Then("UI_DIALOG_TEXTUREMAP", [&](QWidget* dialog) {
        Click(dialog, "browse_1085");
        EXPECT_EQ(Child<QLineEdit>(dialog, "path_1086")->text(), "<NONE SELECTED>");
        Click(dialog, "ok_1");
    });
    script.Then("image_chooser", ChooseFile(QString::fromStdString(broken)));
    script.Then("ERRORBOX", [&](QWidget* box) {
        message = Child<QLabel>(box, "message_1067")->text();
        static_cast<QDialog*>(box)->accept();
    });
    script.Start();
    s.Trigger(command::TextureMap);
    ASSERT_TRUE(script.Finished());
    EXPECT_EQ(message, UnreadableImageMessage(QString::fromStdString(broken)));
    EXPECT_EQ(s.window->CurrentModel()->TextureCount(), 0);
    ASSERT_EQ(reports.outcomes.size(), 1u);
    EXPECT_FALSE(reports.outcomes[0].success);
    EXPECT_EQ(reports.outcomes[0].format, Format::Bmp);
}

}  // namespace
}  // namespace solvane
