// Snapshots, printing and the eye filter in the window: the commands' menu places and states, the
// thumbnails' corner buttons and dragging with the real pointer, the full box, closing the model,
// the snapshot sizes, a print to PDF read back with pdftoppm, and the eye filter dialog.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSlider>
#include <QStandardPaths>

#include <cstdlib>
#include <filesystem>
#include <functional>

#include "app/command_table.h"
#include "app/eye_filter_dialog.h"
#include "app/print_view.h"
#include "tests/gui/dialog_driver.h"
#include "tests/gui/gui_support.h"
#include "viewer/capture.h"
#include "viewer/headless_context.h"
#include "viewer/snapshots.h"

namespace solvane {
namespace {

using test::ModalWatcher;
using test::SamplePath;
using test::Session;
using test::WaitUntil;

// Runs `answer` on the next modal dialog once it is open (from a timer, while the caller's dialog
// runs its own loop).
class ModalHandler {
public:
    explicit ModalHandler(std::function<void(QWidget*)> answer) : answer_(std::move(answer)) { Arm(); }
    ~ModalHandler() { *alive_ = false; }
    bool Seen() const { return seen_; }

private:
    void Arm()
    {
        QTimer::singleShot(30, [this, alive = alive_] {
            if (!*alive) return;
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal || !modal->isVisible()) {
                Arm();
                return;
            }
            seen_ = true;
            answer_(modal);
        });
    }

    std::function<void(QWidget*)> answer_;
    bool seen_ = false;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// A session with the teapot shown.
struct ModelSession : Session {
    ModelSession() { EXPECT_TRUE(Load(SamplePath("teapot.obj"))); }

    ViewWidget* View() { return window->View(); }
    Viewer& viewer() { return View()->viewer(); }
    SnapshotSet& snapshots() { return viewer().snapshots; }
    // A view position in device pixels as the widget's own (logical) position.
    QPoint Logical(int x, int y)
    {
        const qreal ratio = View()->devicePixelRatioF();
        return QPoint(static_cast<int>(x / ratio), static_cast<int>(y / ratio));
    }
    void Click(int x, int y) { QTest::mouseClick(View(), Qt::LeftButton, {}, Logical(x, y)); }
    bool Checked(int command) { return window->MenuAction(command)->isChecked(); }
    bool Enabled(int command) { return window->MenuAction(command)->isEnabled(); }
};

QMenu* TopMenu(MainWindow& window, const QString& title)
{
    for (QAction* action : window.menuBar()->actions()) {
        if (action->text() == title) return action->menu();
    }
    return nullptr;
}

// The texts of a menu's entries, "-" for separators.
QStringList MenuTexts(QMenu* menu)
{
    QStringList texts;
    for (QAction* action : menu->actions()) texts << (action->isSeparator() ? QString("-") : action->text());
    return texts;
}

TEST(SnapshotsGui, CommandsSitInTheirMenusWithTheirStates)
{
    test::FreshSession s;
    QMenu* display = TopMenu(*s.window, "&Display");
    ASSERT_TRUE(display);
    const QStringList texts = MenuTexts(display);
    const qsizetype reset = texts.indexOf("Reset View");
    ASSERT_GE(reset, 0);
    EXPECT_EQ(texts.mid(reset, 3), (QStringList{"Reset View", "Take Scene Snapshot", "Clear All Snapshots"}));
    EXPECT_EQ(texts.indexOf("Eye Filter..."), texts.indexOf("Bounding Box") + 1);
    QMenu* file = TopMenu(*s.window, "&File");
    ASSERT_TRUE(file);
    EXPECT_TRUE(MenuTexts(file).contains("Export To Printer..."));
    QMenu* options = TopMenu(*s.window, "&Options");
    ASSERT_TRUE(options);
    QMenu* sizes = nullptr;
    for (QAction* action : options->actions()) {
        if (action->text() == "Snapshot Size") sizes = action->menu();
    }
    ASSERT_TRUE(sizes);
    EXPECT_EQ(MenuTexts(sizes), (QStringList{"Lar&gest", "&Larger", "&Normal", "&Smaller", "Sm&allest"}));

    // No model, no snapshot: both snapshot commands are greyed; the eye filter and printing are not.
    EXPECT_FALSE(s.window->MenuAction(command::TakeSnapshot)->isEnabled());
    EXPECT_FALSE(s.window->MenuAction(command::ClearSnapshots)->isEnabled());
    EXPECT_TRUE(s.window->MenuAction(command::EyeFilter)->isEnabled());
    EXPECT_TRUE(s.window->MenuAction(command::ExportToPrinter)->isEnabled());
    EXPECT_TRUE(s.window->MenuAction(command::SnapshotNormal)->isChecked());
}

TEST(SnapshotsGui, TakingEnablesClearAndClearingGreysItself)
{
    test::FreshStore store;
    ModelSession s;
    s.Trigger(command::TakeSnapshot);
    EXPECT_EQ(s.snapshots().count, 1);
    EXPECT_TRUE(s.Enabled(command::ClearSnapshots));
    s.Trigger(command::TakeSnapshot);
    EXPECT_EQ(s.snapshots().count, 2);
    // The second thumbnail goes under the first.
    EXPECT_EQ(s.snapshots().entries[1]->x, 0);
    EXPECT_EQ(s.snapshots().entries[1]->y, 150);
    s.Trigger(command::ClearSnapshots);
    EXPECT_EQ(s.snapshots().count, 0);
    EXPECT_FALSE(s.Enabled(command::ClearSnapshots));
    // Greyed, it does nothing when reached anyway.
    s.window->DispatchCommand(command::ClearSnapshots);
    EXPECT_EQ(s.snapshots().count, 0);
}

TEST(SnapshotsGui, TheTwentySixthShowsTheFullBoxAndTheOthersStay)
{
    test::FreshStore store;
    ModelSession s;
    for (int i = 0; i < kMaxSnapshots; ++i) s.Trigger(command::TakeSnapshot);
    EXPECT_EQ(s.snapshots().count, kMaxSnapshots);
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString title, text;
    ModalHandler handler([&](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            icon = box->icon();
            title = box->windowTitle();
            text = box->text();
            box->accept();
        }
    });
    s.Trigger(command::TakeSnapshot);
    EXPECT_TRUE(handler.Seen());
    EXPECT_EQ(title, "AHHHHHHHHHH!!!!!!!!!!!!!");
    EXPECT_EQ(text, "TOO MANY SNAP!!!!!!");
    EXPECT_EQ(icon, QMessageBox::Critical);
    EXPECT_EQ(s.snapshots().count, kMaxSnapshots);
}

TEST(SnapshotsGui, RestoreCornerBringsTheViewBackWithItsCheckMarks)
{
    test::FreshStore store;
    ModelSession s;
    s.viewer().camera.modelRotation = RotationMatrix(30, 0, 1, 0);
    s.Trigger(command::TakeSnapshot);
    const Matrix4 stored = s.snapshots().entries[0]->modelRotation;
    // Move the thumbnail away from the model, then change the view.
    s.snapshots().entries[0]->x = 40;
    s.snapshots().entries[0]->y = 20;
    s.Trigger(command::Wireframe);
    s.Trigger(command::BoundingBox);
    s.Trigger(command::Lighting);
    s.viewer().camera.modelRotation = IdentityMatrix();
    ASSERT_TRUE(s.Checked(command::Wireframe));
    const int button = SnapshotButtonSize(s.settings);
    s.Click(40 + button / 2, 20 + button / 2);
    EXPECT_EQ(s.viewer().camera.modelRotation, stored);
    EXPECT_TRUE(s.settings.solid);
    EXPECT_TRUE(s.Checked(command::Solid));
    EXPECT_FALSE(s.Checked(command::Wireframe));
    EXPECT_TRUE(s.window->ToolButton(command::ButtonSolid)->isChecked());
    EXPECT_TRUE(s.Checked(command::BoundingBox));
    EXPECT_TRUE(s.Checked(command::Lighting));
    EXPECT_EQ(s.snapshots().count, 1) << "restoring keeps the snapshot";
}

TEST(SnapshotsGui, DeleteCornerDeletesAndTheLastGreysClear)
{
    test::FreshStore store;
    ModelSession s;
    s.Trigger(command::TakeSnapshot);
    s.Trigger(command::TakeSnapshot);
    const int edge = s.settings.current_snapshot_size;
    const int button = SnapshotButtonSize(s.settings);
    // The first thumbnail's right corner.
    s.Click(edge - 6, button / 2);
    EXPECT_FALSE(s.snapshots().entries[0]);
    EXPECT_EQ(s.snapshots().count, 1);
    EXPECT_TRUE(s.Enabled(command::ClearSnapshots));
    s.Click(edge - 6, edge + button / 2);
    EXPECT_EQ(s.snapshots().count, 0);
    EXPECT_FALSE(s.Enabled(command::ClearSnapshots));
}

TEST(SnapshotsGui, DraggingAThumbnailMovesItAndLeavesTheModelAlone)
{
    test::FreshStore store;
    ModelSession s;
    s.Trigger(command::TakeSnapshot);
    const ViewCamera& camera = s.viewer().camera;
    ViewWidget* view = s.View();
    QTest::mousePress(view, Qt::LeftButton, {}, s.Logical(70, 80));
    QTest::mouseMove(view, s.Logical(120, 110));
    QTest::mouseMove(view, s.Logical(220, 150));
    EXPECT_EQ(s.snapshots().dragged, 0);
    EXPECT_FALSE(camera.leftDown);
    EXPECT_EQ(camera.stepAngle, 0) << "the drag does not turn the model";
    QTest::mouseRelease(view, Qt::LeftButton, {}, s.Logical(220, 150));
    const SceneSnapshot& moved = *s.snapshots().entries[0];
    EXPECT_EQ(moved.x, 150);
    EXPECT_EQ(moved.y, 70);
    EXPECT_EQ(s.snapshots().dragged, -1);
    // Off the thumbnail the same drag turns the model.
    QTest::mousePress(view, Qt::LeftButton, {}, s.Logical(20, 300));
    QTest::mouseMove(view, s.Logical(60, 320));
    EXPECT_TRUE(camera.leftDown);
    EXPECT_GT(camera.stepAngle, 0);
    QTest::mouseRelease(view, Qt::LeftButton, {}, s.Logical(60, 320));
    EXPECT_EQ(moved.x, 150);
}

TEST(SnapshotsGui, ClosingOrReplacingTheModelDeletesEverySnapshot)
{
    test::FreshStore store;
    ModelSession s;
    s.Trigger(command::TakeSnapshot);
    s.Trigger(command::TakeSnapshot);
    ASSERT_TRUE(s.Load(SamplePath("cube.obj")));
    EXPECT_EQ(s.snapshots().count, 0);
    s.Trigger(command::TakeSnapshot);
    s.Trigger(command::Close);
    EXPECT_EQ(s.snapshots().count, 0);
    EXPECT_FALSE(s.Enabled(command::ClearSnapshots));
}

TEST(SnapshotsGui, SnapshotSizeSetsEdgeAndButtonAndIsKept)
{
    test::FreshStore store;
    {
        ModelSession s;
        s.Trigger(command::TakeSnapshot);
        const struct {
            int command, edge, button;
        } sizes[] = {{command::SnapshotLargest, 250, 30}, {command::SnapshotLarger, 200, 24},
                     {command::SnapshotNormal, 150, 17}, {command::SnapshotSmaller, 100, 10},
                     {command::SnapshotSmallest, 50, 6}};
        for (const auto& size : sizes) {
            s.Trigger(size.command);
            EXPECT_EQ(s.settings.current_snapshot_size, size.edge);
            EXPECT_EQ(SnapshotButtonSize(s.settings), size.button);
            for (const auto& other : sizes) EXPECT_EQ(s.Checked(other.command), &other == &size);
        }
        // The thumbnail keeps its place.
        EXPECT_EQ(s.snapshots().entries[0]->x, 0);
        EXPECT_EQ(s.snapshots().entries[0]->y, 0);
        s.Trigger(command::SnapshotLargest);
        s.Quit();
    }
    Session again;
    EXPECT_EQ(again.settings.current_snapshot_size, 250);
    EXPECT_EQ(SnapshotButtonSize(again.settings), 30);
    EXPECT_TRUE(again.window->MenuAction(command::SnapshotLargest)->isChecked());
}

TEST(SnapshotsGui, ThumbnailsShowInTheWindowButNotInTheCapture)
{
    test::FreshStore store;
    ModelSession s;
    const QImage before = s.View()->grabFramebuffer();
    s.Trigger(command::TakeSnapshot);
    const int painted = s.View()->FramesPainted();
    ASSERT_TRUE(WaitUntil([&] { return s.View()->FramesPainted() > painted; }));
    const QImage after = s.View()->grabFramebuffer();
    EXPECT_NE(before.pixel(60, 60), after.pixel(60, 60));
    EXPECT_EQ(before.pixel(400, 300), after.pixel(400, 300));
    std::unique_ptr<Texture> capture;
    s.View()->WithContext([&] { capture = CaptureView(s.viewer()); });
    ASSERT_TRUE(capture);
    const QImage picture = PictureImage(*capture);
    // Gamma maps the capture; at the default gamma the two still agree where no thumbnail is.
    s.settings.gamma_value = 1.0f;
    s.View()->WithContext([&] { capture = CaptureView(s.viewer()); });
    const QImage plain = PictureImage(*capture);
    EXPECT_EQ(plain.size(), before.size() * s.View()->devicePixelRatioF());
    EXPECT_EQ(plain.pixel(60, 60), before.pixel(60, 60));
    EXPECT_NE(picture.pixel(60, 60), plain.pixel(60, 60));
}

// ---- Printing -----------------------------------------------------------------------------------

TEST(PrintGui, PictureIsFittedToThePageAndCentred)
{
    struct Case {
        QSize page, picture;
        QRect place;
    };
    const Case cases[] = {
        {{1000, 1400}, {800, 600}, {0, 325, 1000, 750}},    // wide: full page width
        {{1000, 1400}, {300, 600}, {150, 0, 700, 1400}},    // tall: full page height, centred
        {{1000, 1000}, {500, 500}, {0, 0, 1000, 1000}},
        {{1000, 1400}, {700, 981}, {1, 0, 998, 1400}},      // just too tall: the height decides
        {{1000, 1400}, {0, 10}, {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FitOnPage(c.page, c.picture), c.place) << c.picture.width() << "x" << c.picture.height();
    }
}

// Answers the print dialog: printing to the given PDF file, or cancelling.
std::unique_ptr<ModalHandler> AnswerPrintDialog(const QString& pdf, bool accept, QString* title = nullptr)
{
    return std::make_unique<ModalHandler>([=](QWidget* modal) {
        auto* dialog = qobject_cast<QPrintDialog*>(modal);
        if (!dialog) {
            modal->close();
            return;
        }
        if (title) *title = dialog->printer()->docName();
        if (!accept) {
            dialog->reject();
            return;
        }
        // Without printers the dialog offers printing to a file; the file's name is in its edit.
        if (auto* printers = dialog->findChild<QComboBox*>("printers")) {
            for (int i = 0; i < printers->count(); ++i) {
                if (printers->itemText(i).contains("PDF")) printers->setCurrentIndex(i);
            }
        }
        if (auto* name = dialog->findChild<QLineEdit*>("filename")) name->setText(pdf);
        dialog->printer()->setOutputFileName(pdf);
        dialog->accept();
    });
}

TEST(PrintGui, PrintToPdfShowsTheCaptureOnAWhitePage)
{
    const QString pdftoppm = QStandardPaths::findExecutable("pdftoppm");
    if (pdftoppm.isEmpty()) GTEST_SKIP() << "pdftoppm is not installed (Debian poppler-utils; scripts/install-deps.sh)";
    test::FreshStore store;
    test::ScratchDir dir;
    ModelSession s;
    s.settings.gamma_value = 1.0f;
    s.Trigger(command::TakeSnapshot);  // a thumbnail over the view, which the print must not show
    const QString pdf = QString::fromStdString((dir.Path() / "print.pdf").string());
    QString documentName;
    const auto handler = AnswerPrintDialog(pdf, true, &documentName);
    s.Trigger(command::ExportToPrinter);
    ASSERT_TRUE(handler->Seen());
    EXPECT_EQ(documentName, "OpenGL Image");
    ASSERT_TRUE(QFile::exists(pdf));

    std::unique_ptr<Texture> capture;
    s.View()->WithContext([&] { capture = CaptureView(s.viewer()); });
    ASSERT_TRUE(capture);
    const QImage picture = PictureImage(*capture);

    std::string out;
    const std::string prefix = (dir.Path() / "page").string();
    ASSERT_EQ(test::RunCommand("'" + pdftoppm.toStdString() + "' -r 40 -png '" + pdf.toStdString() + "' '" + prefix + "'", &out), 0);
    std::vector<std::filesystem::path> pages;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        if (entry.path().extension() == ".png") pages.push_back(entry.path());
    }
    ASSERT_EQ(pages.size(), 1u) << "one page";
    QImage page(QString::fromStdString(pages[0].string()));
    ASSERT_FALSE(page.isNull());
    page = page.convertToFormat(QImage::Format_RGB888);

    // The picture is where the page is not white; the corners are white.
    int left = page.width(), right = -1, top = page.height(), bottom = -1;
    for (int y = 0; y < page.height(); ++y) {
        for (int x = 0; x < page.width(); ++x) {
            if (page.pixel(x, y) == qRgb(255, 255, 255)) continue;
            left = std::min(left, x), right = std::max(right, x);
            top = std::min(top, y), bottom = std::max(bottom, y);
        }
    }
    ASSERT_GE(right, left);
    EXPECT_EQ(page.pixel(0, 0), qRgb(255, 255, 255));
    EXPECT_EQ(page.pixel(page.width() - 1, page.height() - 1), qRgb(255, 255, 255));
    const int width = right - left + 1, height = bottom - top + 1;
    // A wide picture takes the printable width, centred, with the picture's proportions.
    EXPECT_NEAR(static_cast<double>(width) / height, static_cast<double>(picture.width()) / picture.height(), 0.03);
    EXPECT_NEAR(left, page.width() - 1 - right, 2) << "centred across";
    EXPECT_GT(width, page.width() * 0.8);

    // The printed picture is the capture scaled: compare block averages.
    const QImage scaled = picture.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QImage printed = page.copy(left, top, width, height);
    const int blocks = 8;
    double worst = 0;
    for (int by = 0; by < blocks; ++by) {
        for (int bx = 0; bx < blocks; ++bx) {
            double sum[2][3] = {};
            int count = 0;
            for (int y = by * height / blocks; y < (by + 1) * height / blocks; ++y) {
                for (int x = bx * width / blocks; x < (bx + 1) * width / blocks; ++x) {
                    const QRgb a = scaled.pixel(x, y), b = printed.pixel(x, y);
                    sum[0][0] += qRed(a), sum[0][1] += qGreen(a), sum[0][2] += qBlue(a);
                    sum[1][0] += qRed(b), sum[1][1] += qGreen(b), sum[1][2] += qBlue(b);
                    ++count;
                }
            }
            for (int c = 0; c < 3 && count > 0; ++c) worst = std::max(worst, std::abs(sum[0][c] - sum[1][c]) / count);
        }
    }
    EXPECT_LT(worst, 12) << "a block of the print differs from the capture by " << worst;
}

TEST(PrintGui, CancelledDialogPrintsNothing)
{
    test::FreshStore store;
    test::ScratchDir dir;
    ModelSession s;
    const QString pdf = QString::fromStdString((dir.Path() / "never.pdf").string());
    const auto handler = AnswerPrintDialog(pdf, false);
    s.Trigger(command::ExportToPrinter);
    ASSERT_TRUE(handler->Seen());
    EXPECT_FALSE(QFile::exists(pdf));
}

// ---- The eye filter dialog ----------------------------------------------------------------------

template <typename Widget>
Widget* Child(QWidget* dialog, const char* name)
{
    auto* child = dialog->findChild<Widget*>(name);
    EXPECT_TRUE(child) << name;
    return child;
}

// Opens the eye filter dialog, runs `work` on it, and closes it with OK (1) or Cancel (1023).
void WithEyeFilterDialog(Session& s, const std::function<void(QDialog*)>& work, bool ok)
{
    bool ran = false;
    ModalHandler handler([&](QWidget* modal) {
        auto* dialog = qobject_cast<QDialog*>(modal);
        ASSERT_TRUE(dialog);
        ran = true;
        work(dialog);
        Child<QPushButton>(dialog, ok ? "ok_1" : "cancel_1023")->click();
    });
    s.Trigger(command::EyeFilter);
    EXPECT_TRUE(ran);
}

TEST(EyeFilterGui, DialogShowsTheFilterInTheDialogColours)
{
    test::FreshStore store;
    ModelSession s;
    s.settings.eye_filter_amount = 0.337f;
    s.viewer().eyeFilter.imageAlpha = 0.25f;
    WithEyeFilterDialog(s, [&](QDialog* dialog) {
        EXPECT_EQ(dialog->objectName(), "UI_EYEFILTER_BOX");
        EXPECT_EQ(dialog->windowTitle(), "Eye Filter Parameters...");
        EXPECT_EQ(Child<QSlider>(dialog, "slider_1051")->value(), 33);
        EXPECT_EQ(Child<QSlider>(dialog, "slider_1052")->value(), 25);
        EXPECT_EQ(Child<QSlider>(dialog, "slider_1051")->maximum(), 100);
        auto* wash = Child<QCheckBox>(dialog, "enable_1061");
        EXPECT_EQ(wash->text(), "Enable Eye Filter");
        EXPECT_FALSE(wash->isChecked());
        auto* image = Child<QCheckBox>(dialog, "image_1004");
        EXPECT_EQ(image->text(), "<NONE SELECTED>");
        EXPECT_FALSE(image->isEnabled()) << "no image to switch on";
        Child<QPushButton>(dialog, "color_1053");
        Child<QPushButton>(dialog, "image_1054");
        // White text on the dialogs' dark blue.
        const QImage look = dialog->grab().toImage();
        EXPECT_EQ(look.pixelColor(2, look.height() - 3), QColor(25, 30, 43));
        EXPECT_EQ(wash->palette().color(QPalette::WindowText), QColor(Qt::white));
        // Centred over the main window.
        const QPoint offset = dialog->frameGeometry().center() - s.window->frameGeometry().center();
        EXPECT_LE(offset.manhattanLength(), 40);
    }, true);
}

TEST(EyeFilterGui, TicksActAtOnceAmountsOnOkAndCancelRestoresThem)
{
    test::FreshStore store;
    ModelSession s;
    EyeFilter& filter = s.viewer().eyeFilter;
    // Cancel: the moved slider and the chosen colour go back; the tick stays.
    WithEyeFilterDialog(s, [&](QDialog* dialog) {
        Child<QCheckBox>(dialog, "enable_1061")->click();
        EXPECT_TRUE(filter.washOn) << "a tick acts at once";
        Child<QSlider>(dialog, "slider_1051")->setValue(90);
        ModalHandler colour([](QWidget* modal) {
            auto* chooser = qobject_cast<QColorDialog*>(modal);
            ASSERT_TRUE(chooser);
            chooser->setCurrentColor(QColor(255, 0, 51));
            chooser->accept();
        });
        Child<QPushButton>(dialog, "color_1053")->click();
        EXPECT_TRUE(colour.Seen());
        EXPECT_FLOAT_EQ(s.settings.ef_color_r, 1.0f);
        EXPECT_FLOAT_EQ(s.settings.ef_color_b, 0.2f);
        EXPECT_FLOAT_EQ(s.settings.eye_filter_amount, 0.5f) << "the amount waits for OK";
    }, false);
    EXPECT_TRUE(filter.washOn);
    EXPECT_EQ(s.settings.EyeFilterColor(), (std::array<float, 3>{0, 1, 0}));
    EXPECT_FLOAT_EQ(s.settings.eye_filter_amount, 0.5f);

    // OK: the slider's amount is taken while the wash is ticked.
    WithEyeFilterDialog(s, [&](QDialog* dialog) { Child<QSlider>(dialog, "slider_1051")->setValue(30); }, true);
    EXPECT_FLOAT_EQ(s.settings.eye_filter_amount, 0.3f);
    // Unticked, OK leaves the amount and switches the wash off (the click did).
    WithEyeFilterDialog(s, [&](QDialog* dialog) {
        Child<QCheckBox>(dialog, "enable_1061")->click();
        Child<QSlider>(dialog, "slider_1051")->setValue(70);
    }, true);
    EXPECT_FALSE(filter.washOn);
    EXPECT_FLOAT_EQ(s.settings.eye_filter_amount, 0.3f);
}

TEST(EyeFilterGui, WashReachesTheWindowAndItsSettingsAreStored)
{
    test::FreshStore store;
    {
        ModelSession s;
        s.settings.gamma_value = 1.0f;
        WithEyeFilterDialog(s, [&](QDialog* dialog) {
            Child<QCheckBox>(dialog, "enable_1061")->click();
            ModalHandler colour([](QWidget* modal) {
                auto* chooser = qobject_cast<QColorDialog*>(modal);
                ASSERT_TRUE(chooser);
                chooser->setCurrentColor(QColor(0, 0, 255));
                chooser->accept();
            });
            Child<QPushButton>(dialog, "color_1053")->click();
            Child<QSlider>(dialog, "slider_1051")->setValue(100);
        }, true);
        const int painted = s.View()->FramesPainted();
        s.window->Repaint();
        ASSERT_TRUE(WaitUntil([&] { return s.View()->FramesPainted() > painted; }));
        const QImage frame = s.View()->grabFramebuffer();
        EXPECT_EQ(frame.pixelColor(10, 10), QColor(0, 0, 255));
        EXPECT_EQ(frame.pixelColor(frame.width() / 2, frame.height() / 2), QColor(0, 0, 255));
        s.Quit();
    }
    QSettings ini(QSettings::IniFormat, QSettings::UserScope, "Solvane", "Solvane.3.0");
    EXPECT_EQ(ini.value("ef_color_r").toString(), "0");
    EXPECT_EQ(ini.value("ef_color_b").toString(), "10");
    EXPECT_EQ(ini.value("eye_filter_amount").toString(), "10");
    Session again;
    EXPECT_EQ(again.settings.EyeFilterColor(), (std::array<float, 3>{0, 0, 1}));
    EXPECT_FLOAT_EQ(again.settings.eye_filter_amount, 1.0f);
    EXPECT_FALSE(again.window->View()->viewer().eyeFilter.washOn) << "the switches are not kept";
}

TEST(EyeFilterGui, ChosenImageIsTickedAndDrawnAtItsOpacity)
{
    test::FreshStore store;
    ModelSession s;
    s.settings.gamma_value = 1.0f;
    EyeFilter& filter = s.viewer().eyeFilter;
    auto image = std::make_shared<Texture>();
    image->name = "/pictures/red.bmp";
    image->width = image->height = 32;
    image->pixels.assign(32 * 32 * 3, 0);
    for (size_t i = 0; i < image->pixels.size(); i += 3) image->pixels[i] = 255;
    QDialog* shown = nullptr;
    EyeFilterDialog dialog(s.window.get(), s.settings, filter, [&] { s.window->Repaint(); },
                           [&](QWidget*) { return std::shared_ptr<const Texture>(image); });
    ModalHandler answer([&](QWidget* modal) {
        shown = qobject_cast<QDialog*>(modal);
        auto* tick = Child<QCheckBox>(modal, "image_1004");
        Child<QPushButton>(modal, "image_1054")->click();
        EXPECT_EQ(tick->text(), "/pictures/red.bmp");
        EXPECT_TRUE(tick->isChecked());
        EXPECT_TRUE(tick->isEnabled());
        EXPECT_FALSE(filter.imageOn) << "chosen, the layer waits for OK";
        Child<QSlider>(modal, "slider_1052")->setValue(100);
        Child<QPushButton>(modal, "ok_1")->click();
    });
    dialog.exec();
    EXPECT_EQ(shown, &dialog);
    EXPECT_TRUE(filter.imageOn);
    EXPECT_FLOAT_EQ(filter.imageAlpha, 1.0f);
    EXPECT_EQ(filter.ImagePath(), "/pictures/red.bmp");
    const int painted = s.View()->FramesPainted();
    s.window->Repaint();
    ASSERT_TRUE(WaitUntil([&] { return s.View()->FramesPainted() > painted; }));
    const QImage frame = s.View()->grabFramebuffer();
    EXPECT_EQ(frame.pixelColor(frame.width() / 2, frame.height() / 2), QColor(255, 0, 0));
}

// "Choose Image File..." goes through the image chooser and its loading box; an image that cannot be
// read says why and keeps the image there was. Filter images send no usage report.
TEST(EyeFilterGui, ImageButtonReadsTheChosenFile)
{
    test::ScratchDir dir;
    const std::string red = test::WritePpm(dir.Path() / "red.ppm", QColor(255, 0, 0), 32, 32);
    const std::string broken = dir.Write("broken.ppm", "P6\n4 4\n255\n");
    test::FreshStore store;
    ModelSession s;
    s.settings.gamma_value = 1.0f;
    int reports = 0;
    s.window->SetImageLoadedHook([&](const ImageLoadOutcome&) { ++reports; });
    EyeFilter& filter = s.viewer().eyeFilter;

    test::BoxWatcher loading("LOAD2DBOX");
    test::ModalScript script;
    script.Then("UI_EYEFILTER_BOX", [&](QWidget* dialog) {
        Child<QPushButton>(dialog, "image_1054")->click();
        auto* tick = Child<QCheckBox>(dialog, "image_1004");
        EXPECT_EQ(tick->text(), QString::fromStdString(red));
        EXPECT_TRUE(tick->isChecked());
        Child<QSlider>(dialog, "slider_1052")->setValue(100);
        Child<QPushButton>(dialog, "ok_1")->click();
    });
    script.Then("image_chooser", test::ChooseFile(QString::fromStdString(red)));
    script.Start();
    s.Trigger(command::EyeFilter);
    ASSERT_TRUE(script.Finished());
    EXPECT_EQ(loading.seen, 1);
    EXPECT_EQ(loading.title, "Image Loading Status...");
    EXPECT_TRUE(filter.imageOn);
    EXPECT_EQ(filter.ImagePath(), red);
    EXPECT_EQ(reports, 0);
    const int painted = s.View()->FramesPainted();
    s.window->Repaint();
    ASSERT_TRUE(WaitUntil([&] { return s.View()->FramesPainted() > painted; }));
    EXPECT_EQ(s.View()->grabFramebuffer().pixelColor(20, 20), QColor(255, 0, 0));

    test::ModalScript failing;
    failing.Then("UI_EYEFILTER_BOX", [&](QWidget* dialog) {
        Child<QPushButton>(dialog, "image_1054")->click();
        EXPECT_EQ(Child<QCheckBox>(dialog, "image_1004")->text(), QString::fromStdString(red));
        Child<QPushButton>(dialog, "cancel_1023")->click();
    });
    failing.Then("image_chooser", test::ChooseFile(QString::fromStdString(broken)));
    failing.Then("ERRORBOX", test::Accept());
    failing.Start();
    s.Trigger(command::EyeFilter);
    ASSERT_TRUE(failing.Finished());
    EXPECT_EQ(filter.ImagePath(), red);
    EXPECT_TRUE(filter.imageOn);
}

}  // namespace
}  // namespace solvane
