// The file choosers on Qt's own file dialog: titles, filter rows, initial names and options, each
// driven as a user would (type a name, pick a row, accept), and the chosen path and row returned.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMessageBox>

#include "app/choosers.h"
#include "load/save.h"
#include "tests/gui/gui_support.h"

namespace solvane {
namespace {

using test::IsA;
using test::ModalDriver;
using test::WaitUntil;

// What a shown chooser offers.
struct Shown {
    QString title;
    QStringList filters;
    QString selectedFilter;
    QString name;
    QString directory;
    QFileDialog::FileMode fileMode = QFileDialog::AnyFile;
    QFileDialog::AcceptMode acceptMode = QFileDialog::AcceptOpen;
    bool native = true;
    bool confirmsOverwrite = false;
    bool resizable = true;
};

QLineEdit* NameEdit(QFileDialog* dialog)
{
    return dialog->findChild<QLineEdit*>("fileNameEdit");
}

void PickRow(QFileDialog* dialog, int row)
{
    auto* combo = dialog->findChild<QComboBox*>("fileTypeCombo");
    // As a click does: the index, then the signals of the choice.
    combo->setCurrentIndex(row);
    emit combo->activated(row);
    emit combo->textActivated(combo->currentText());
}

Shown Inspect(QFileDialog* dialog)
{
    Shown shown;
    shown.title = dialog->windowTitle();
    shown.filters = dialog->nameFilters();
    shown.selectedFilter = dialog->selectedNameFilter();
    shown.name = NameEdit(dialog)->text();
    shown.directory = dialog->directory().absolutePath();
    shown.fileMode = dialog->fileMode();
    shown.acceptMode = dialog->acceptMode();
    shown.native = !dialog->testOption(QFileDialog::DontUseNativeDialog);
    shown.confirmsOverwrite = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
    shown.resizable = dialog->minimumSize() != dialog->maximumSize();
    return shown;
}

// Runs a chooser; the user looks at it (into *shown), then picks row (when >= 0), types name
// ("=" keeps the name shown) and accepts, or cancels when name is empty.
template <typename Result>
Result Drive(const std::function<Result()>& run, Shown* shown, const QString& name, int row = -1)
{
    ModalDriver driver([&](QWidget* modal) {
        auto* dialog = static_cast<QFileDialog*>(modal);
        *shown = Inspect(dialog);
        if (name.isEmpty()) {
            dialog->reject();
            return;
        }
        if (row >= 0) PickRow(dialog, row);
        if (name != "=") NameEdit(dialog)->setText(name);
        static_cast<QDialog*>(dialog)->accept();
    }, IsA("QFileDialog"));
    Result result = run();
    EXPECT_TRUE(driver.Done());
    return result;
}

// The save chooser's row of a writer, by its key; -1 when the table has no such row.
int SaveRow(const char* name)
{
    const WriterEntry* entry = FindWriter(name);
    const auto rows = SaveChooserRows();
    if (!entry || entry < rows.data() || entry >= rows.data() + rows.size()) return -1;
    return static_cast<int>(entry - rows.data());
}

QStringList Labels(const ChooserSetup& setup)
{
    QStringList labels;
    for (const ChooserRow& row : setup.rows) labels << row.label + " | " + row.patterns;
    return labels;
}

TEST(ChoosersGui, OpenModelOffersEveryFormatAndNeedsAnExistingFile)
{
    test::ScratchDir dir;
    const std::string model = dir.Write("cube.obj", "v 0 0 0\n");
    const QString folder = QString::fromStdString(dir.Path().string());
    Shown shown;
    const auto chosen = Drive<std::optional<QString>>(
        [&] { return ChooseModelToOpen(nullptr, folder); }, &shown, "cube.obj");
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(*chosen, QString::fromStdString(model));
    EXPECT_EQ(shown.title, "Solvane Open 3D File");
    EXPECT_EQ(shown.name, "*.*");
    EXPECT_EQ(shown.directory, folder);
    EXPECT_EQ(shown.fileMode, QFileDialog::ExistingFile);
    EXPECT_EQ(shown.acceptMode, QFileDialog::AcceptOpen);
    EXPECT_FALSE(shown.native);
    ASSERT_EQ(shown.filters.size(), 22);
    // "*.*" lists every file, also those without an extension.
    EXPECT_EQ(shown.filters[0], "All Files (*)");
    EXPECT_EQ(shown.selectedFilter, "All Files");  // the rows show their labels
    EXPECT_EQ(shown.filters[1], "All Supported Files (*.svo *.svs *.3dm *.3d2 *.3ds *.prj *.cob *.scn *.dxf *.lwo *.mdl "
                                "*.md2 *.md3 *.nff *.obj *.off *.ply *.pro *.vtk *.x)");
    EXPECT_EQ(shown.filters[2], "(.svo) Solvane Object (*.svo)");
    EXPECT_EQ(shown.filters[21], "(.x) Microsoft DirectX (*.x)");
    // Every extension of the supported row has its own row, in the same order.
    const ChooserSetup setup = OpenModelChooser(folder);
    const QStringList supported = setup.rows[1].patterns.split(';');
    for (int i = 0; i < supported.size(); ++i) EXPECT_EQ(setup.rows[2 + i].patterns, supported[i]) << i;
}

TEST(ChoosersGui, SaveModelRowsAreTheEighteenWrittenFormats)
{
    const ChooserSetup setup = SaveModelChooser("/models/teapot.obj", Format::Obj);
    EXPECT_EQ(Labels(setup), QStringList({
                                "(.svs) Solvane Scene | *.svs",
                                "(.svo) Solvane Object | *.svo",
                                "(.3d2) Stereo CAD-3D Object | *.3d2",
                                "(.3ds) 3D Studio Object | *.3ds",
                                "(.cob) Truespace Object | *.cob",
                                "(.dxf) AutoCAD Object | *.dxf",
                                "(.lwo) Lightwave Object | *.lwo",
                                "(.mdl) Quake 1 Model | *.mdl",
                                "(.md2) Quake 2 Model | *.md2",
                                "(.md3) Quake 3 Arena Model | *.md3",
                                "(.nff) WorldToolKit Object | *.nff",
                                "(.obj) Wavefront Object | *.obj",
                                "(.off) GeomView Object | *.off",
                                "(.ply) Polygon File Format | *.ply",
                                "(.pro) Power Render Pro Object | *.pro",
                                "(.vtk) VTK Object | *.vtk",
                                "(.x) DirectX Binary Model | *.x",
                                "(.x) DirectX ASCII Model | *.x",
                            }));
    // Each row is its writer's: a chosen row always writes the format it names.
    ASSERT_EQ(setup.rows.size(), SaveChooserRows().size());
    EXPECT_EQ(setup.rows[SaveRow("x-ascii")].label, "(.x) DirectX ASCII Model");
    EXPECT_EQ(setup.rows[SaveRow("obj")].patterns, "*.obj");
}

// The row of the loaded model's format where the list has one; the rest start on the scene row.
TEST(ChoosersGui, SaveModelPreselectsTheLoadedFormatsRow)
{
    const struct {
        FormatId format;
        const char* row;
    } cases[] = {
        {Format::Studio3ds, "3ds"}, {Format::TrueSpace, "cob"}, {Format::Dxf, "dxf"}, {Format::LightWave, "lwo"},
        {Format::Mdl, "mdl"},       {Format::Md2, "md2"},       {Format::Md3, "md3"}, {Format::Nff, "nff"},
        {Format::Obj, "obj"},       {Format::Off, "off"},       {Format::Ply, "ply"}, {Format::Vtk, "vtk"},
        {Format::DirectX, "x"},     {Format::StereoCad, "3d2"},
        // Formats without a row of their own, and none at all.
        {Format::Solvane, "svs"},   {Format::PowerRender, "svs"}, {Format::Rhino, "svs"}, {Format::L3d, "svs"},
        {Format::Unknown, "svs"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SaveModelChooser("/m/model", c.format).selectedRow, SaveRow(c.row)) << c.row;
    }
    EXPECT_EQ(PathWithoutExtension("/m/folder.obj/model"), "/m/folder.obj/model");
    EXPECT_EQ(PathWithoutExtension("/m/a.tar.obj"), "/m/a.tar");
}

// The name box holds the model's name without its extension, in its folder; the preselected
// row's extension is added to a bare name, and picking another row changes a typed extension.
TEST(ChoosersGui, SaveModelStartsFromTheModelsNameAndFollowsTheRow)
{
    test::ScratchDir dir;
    const QString folder = QString::fromStdString(dir.Path().string());
    const QString current = folder + "/teapot.3ds";
    Shown shown;
    auto chosen = Drive<std::optional<ChosenFile>>(
        [&] { return ChooseModelToSave(nullptr, current, Format::Studio3ds); }, &shown, "=");
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(shown.title, "Solvane Save 3D File");
    EXPECT_EQ(shown.name, "teapot");
    EXPECT_EQ(shown.directory, folder);
    EXPECT_EQ(shown.acceptMode, QFileDialog::AcceptSave);
    EXPECT_FALSE(shown.native);
    EXPECT_TRUE(shown.confirmsOverwrite);
    EXPECT_TRUE(shown.resizable);
    EXPECT_EQ(shown.filters.size(), static_cast<qsizetype>(SaveChooserRows().size()));
    EXPECT_EQ(shown.selectedFilter, "(.3ds) 3D Studio Object");
    EXPECT_EQ(chosen->path, folder + "/teapot.3ds");
    EXPECT_EQ(chosen->row, SaveRow("3ds"));

    // Typed "copy.3ds", then the OBJ row: the name follows it.
    ModalDriver driver([&](QWidget* modal) {
        auto* dialog = static_cast<QFileDialog*>(modal);
        NameEdit(dialog)->setText("copy.3ds");
        PickRow(dialog, SaveRow("obj"));
        shown.name = NameEdit(dialog)->text();
        static_cast<QDialog*>(dialog)->accept();
    }, IsA("QFileDialog"));
    chosen = ChooseModelToSave(nullptr, current, Format::Studio3ds);
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(shown.name, "copy.obj");
    EXPECT_EQ(chosen->row, SaveRow("obj"));
    EXPECT_EQ(chosen->path, folder + "/copy.obj");

    // Of the two DirectX rows the one picked comes back.
    chosen = Drive<std::optional<ChosenFile>>([&] { return ChooseModelToSave(nullptr, folder + "/ship.x", Format::DirectX); }, &shown,
                                              "ship.x", SaveRow("x-ascii"));
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(shown.selectedFilter, "(.x) DirectX Binary Model");
    EXPECT_EQ(chosen->row, SaveRow("x-ascii"));
    EXPECT_EQ(chosen->path, folder + "/ship.x");
}

TEST(ChoosersGui, PickingAnotherRowChangesTheTypedExtension)
{
    test::ScratchDir dir;
    const QString folder = QString::fromStdString(dir.Path().string());
    Shown shown;
    ModalDriver driver([&](QWidget* modal) {
        auto* dialog = static_cast<QFileDialog*>(modal);
        NameEdit(dialog)->setText("picture.bmp");
        PickRow(dialog, static_cast<int>(ExportImageRow::Png));
        shown.name = NameEdit(dialog)->text();
        static_cast<QDialog*>(dialog)->accept();
    }, IsA("QFileDialog"));
    const auto chosen = ChooseImageToExport(nullptr, folder + "/model.obj");
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(shown.name, "picture.png");
    EXPECT_EQ(chosen->path, folder + "/picture.png");
    EXPECT_EQ(chosen->row, static_cast<int>(ExportImageRow::Png));
}

TEST(ChoosersGui, WebPageChooserSavesAnHtmlDocument)
{
    test::ScratchDir dir;
    const QString folder = QString::fromStdString(dir.Path().string());
    Shown shown;
    const auto chosen = Drive<std::optional<ChosenFile>>(
        [&] { return ChooseWebPageToSave(nullptr, folder + "/teapot.obj"); }, &shown, "page");
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(shown.title, "Solvane Save HTML File");
    EXPECT_EQ(shown.filters, QStringList({"(.htm) Web Document (*.htm *.html)"}));
    EXPECT_EQ(shown.name, "teapot");
    EXPECT_EQ(shown.directory, folder);
    EXPECT_TRUE(shown.confirmsOverwrite);
    EXPECT_TRUE(shown.resizable);
    EXPECT_EQ(chosen->path, folder + "/page.htm");
    EXPECT_EQ(chosen->row, 0);
}

TEST(ChoosersGui, ExportImageRowsEndWithPngAndTheDialogKeepsItsSize)
{
    EXPECT_EQ(Labels(ExportImageChooser("/m/a.obj")), QStringList({
                                                          "(.bmp) Windows bitmap (24 bit) | *.bmp",
                                                          "(.jpg) JPEG | *.jpg",
                                                          "(.pcx) PC Paintbrush (8-bit) | *.pcx",
                                                          "(.ppm) Portable RGB ASCII (24 bit) | *.ppm",
                                                          "(.ppm) Portable RGB Binary (24 bit) | *.ppm",
                                                          "(.tga) TGA | *.tga",
                                                          "(.png) Portable Network Graphics | *.png",
                                                      }));
    // No model path yet (shorter than 2 characters): "untitled".
    for (const char* current : {"", "a"}) EXPECT_EQ(ExportImageChooser(current).initialName, "untitled") << current;
    EXPECT_EQ(ExportImageChooser("/m/a.obj").initialName, "/m/a");

    test::ScratchDir dir;
    const QString folder = QString::fromStdString(dir.Path().string());
    Shown shown;
    const auto chosen = Drive<std::optional<ChosenFile>>(
        [&] { return ChooseImageToExport(nullptr, folder + "/teapot.obj"); }, &shown, "shot",
        static_cast<int>(ExportImageRow::PpmBinary));
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(shown.title, "Save As");  // the dialog's own title
    EXPECT_EQ(shown.name, "teapot");
    EXPECT_EQ(shown.selectedFilter, "(.bmp) Windows bitmap (24 bit)");
    EXPECT_TRUE(shown.confirmsOverwrite);
    EXPECT_FALSE(shown.resizable);
    EXPECT_FALSE(shown.native);
    EXPECT_EQ(chosen->path, folder + "/shot.ppm");
    EXPECT_EQ(chosen->row, static_cast<int>(ExportImageRow::PpmBinary));
}

TEST(ChoosersGui, AnyFileChooserListsEveryExistingFile)
{
    test::ScratchDir dir;
    const std::string plain = dir.Write("README", "no extension");
    const QString folder = QString::fromStdString(dir.Path().string());
    Shown shown;
    const auto chosen = Drive<std::optional<QString>>(
        [&] {
            ChooserSetup setup = AnyFileChooser();
            EXPECT_TRUE(setup.rows.empty());
            return ChooseAnyFile(nullptr);
        },
        &shown, QString::fromStdString(plain));
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(*chosen, QString::fromStdString(plain));
    EXPECT_EQ(shown.title, "Open");  // the dialog's own title
    EXPECT_EQ(shown.name, "*.*");
    EXPECT_EQ(shown.fileMode, QFileDialog::ExistingFile);
    EXPECT_FALSE(shown.native);
    (void)folder;
}

// Listing a folder never reads its files: /proc/kmsg blocks its reader until the kernel logs
// something, and Qt's own type guess read it (the chooser froze for good).
TEST(ChoosersGui, ListingAFolderNeverReadsItsFiles)
{
    if (!QFile("/proc/kmsg").open(QIODevice::ReadOnly)) GTEST_SKIP() << "/proc/kmsg cannot be opened";
    QString type;
    ModalDriver driver([&](QWidget* modal) {
        auto* model = modal->findChild<QFileSystemModel*>();
        ASSERT_NE(model, nullptr);
        WaitUntil([&] {
            type = model->type(model->index("/proc/kmsg"));
            return !type.isEmpty();
        });
        static_cast<QDialog*>(modal)->reject();
    }, IsA("QFileDialog"));
    EXPECT_FALSE(ChooseModelToOpen(nullptr, "/proc").has_value());
    EXPECT_TRUE(driver.Done());
    EXPECT_FALSE(type.isEmpty());
}

// Choosing a file that exists in a save chooser asks before replacing it; "No" keeps the chooser
// open, "Yes" returns the file.
TEST(ChoosersGui, SaveChoosersAskBeforeReplacingAFile)
{
    test::ScratchDir dir;
    const QString folder = QString::fromStdString(dir.Path().string());
    dir.Write("old.obj", "v 0 0 0\n");
    dir.Write("old.htm", "<html></html>");
    dir.Write("old.bmp", "BM");
    const struct {
        std::function<std::optional<ChosenFile>()> run;
        const char* name;
    } cases[] = {
        {[&] { return ChooseModelToSave(nullptr, folder + "/old.obj", Format::Obj); }, "old.obj"},
        {[&] { return ChooseWebPageToSave(nullptr, folder + "/old.obj"); }, "old.htm"},
        {[&] { return ChooseImageToExport(nullptr, folder + "/old.obj"); }, "old.bmp"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        int asked = 0;
        bool stayedOpen = false;
        QString question;
        ModalDriver chooser([&](QWidget* modal) {
            auto* dialog = static_cast<QFileDialog*>(modal);
            NameEdit(dialog)->setText(c.name);
            {
                ModalDriver no([&](QWidget* box) {
                    ++asked;
                    question = static_cast<QMessageBox*>(box)->text();
                    static_cast<QMessageBox*>(box)->button(QMessageBox::No)->click();
                }, IsA("QMessageBox"));
                static_cast<QDialog*>(dialog)->accept();
            }
            stayedOpen = dialog->isVisible();
            ModalDriver yes([&](QWidget* box) {
                ++asked;
                static_cast<QMessageBox*>(box)->button(QMessageBox::Yes)->click();
            }, IsA("QMessageBox"));
            static_cast<QDialog*>(dialog)->accept();
        }, IsA("QFileDialog"));
        const auto chosen = c.run();
        ASSERT_TRUE(chosen.has_value());
        EXPECT_EQ(chosen->path, folder + "/" + c.name);
        EXPECT_EQ(asked, 2);
        EXPECT_TRUE(stayedOpen);
        EXPECT_TRUE(question.contains(c.name)) << question.toStdString();
    }
}

TEST(ChoosersGui, CancelledChoosersReturnNothing)
{
    Shown shown;
    const QString name;  // empty: cancel
    EXPECT_FALSE(Drive<std::optional<QString>>([] { return ChooseModelToOpen(nullptr, QString()); }, &shown, name));
    EXPECT_FALSE(Drive<std::optional<ChosenFile>>([] { return ChooseModelToSave(nullptr, "/m/a.obj", Format::Obj); }, &shown, name));
    EXPECT_FALSE(Drive<std::optional<ChosenFile>>([] { return ChooseWebPageToSave(nullptr, "/m/a.obj"); }, &shown, name));
    EXPECT_FALSE(Drive<std::optional<ChosenFile>>([] { return ChooseImageToExport(nullptr, ""); }, &shown, name));
    EXPECT_FALSE(Drive<std::optional<QString>>([] { return ChooseAnyFile(nullptr); }, &shown, name));
}

}  // namespace
}  // namespace solvane
