// The program's own dialogs as the user sees them: the status boxes while work runs, the dialogs'
// colours and visible ticks, where parameter dialogs open, and the About box's picture and links.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDesktopServices>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionButton>

#include "app/dialogs.h"
#include "app/help_pages.h"
#include "tests/gui/gui_support.h"

namespace solvane {
namespace {

using test::IsA;
using test::ModalDriver;
using test::Session;
using test::ShownWindow;
using test::WaitUntil;

// What a status box showed while its work ran.
struct Seen {
    QString title;
    QString text;
    bool hasProgress = false;
    int progressMaximum = 0;
    QPoint centre;
    bool seen = false;
};

Seen Look(const QString& objectName)
{
    Seen seen;
    QWidget* box = ShownWindow(objectName);
    if (!box) return seen;
    seen.seen = true;
    seen.title = box->windowTitle();
    for (QLabel* label : box->findChildren<QLabel*>()) seen.text += label->text();
    const auto bars = box->findChildren<QProgressBar*>();
    seen.hasProgress = !bars.isEmpty();
    if (seen.hasProgress) seen.progressMaximum = bars.front()->maximum();
    seen.centre = box->frameGeometry().center();
    return seen;
}

// The status boxes are open (over the main window) exactly while their work runs, with their
// titles, texts and progress bars; the shared status text returns to "Status:".
TEST(DialogsGui, StatusBoxesShowWhileTheirWorkRuns)
{
    test::FreshSession s;
    QWidget* window = s.window.get();
    Seen seen;
    RunStatusTask(window, "Counting sheep, please wait...", StatusProgress::None,
                  [&](StatusBox&) { seen = Look("UI_STATUS_NOPROGRESS"); });
    ASSERT_TRUE(seen.seen);
    EXPECT_EQ(seen.title, "Status...");
    EXPECT_EQ(seen.text, "Counting sheep, please wait...");
    EXPECT_FALSE(seen.hasProgress);
    EXPECT_EQ(StatusText(), "Status:");
    EXPECT_EQ(ShownWindow("UI_STATUS_NOPROGRESS"), nullptr);

    RunStatusTask(window, "Scaling vertices, please wait...", [&](StatusBox& box) {
        box.SetProgress(250);
        seen = Look("UI_STATUS");
    });
    ASSERT_TRUE(seen.seen);
    EXPECT_EQ(seen.title, "Status...");
    EXPECT_EQ(seen.text, "Scaling vertices, please wait...");
    EXPECT_TRUE(seen.hasProgress);
    EXPECT_EQ(seen.progressMaximum, 500);
    EXPECT_EQ(ShownWindow("UI_STATUS"), nullptr);

    RunSavingTask(window, [&](SavingBox& box) {
        box.SetProgress(100);
        seen = Look("SAVINGBOX");
        EXPECT_EQ(box.Progress()->value(), 100);
    });
    ASSERT_TRUE(seen.seen);
    EXPECT_EQ(seen.title, "Saving File Status...");
    EXPECT_EQ(seen.text, "Saving File, One Moment Please...");
    EXPECT_TRUE(seen.hasProgress);
    EXPECT_EQ(seen.progressMaximum, 500);
    EXPECT_EQ(ShownWindow("SAVINGBOX"), nullptr);
    // Message-type boxes open centred over the main window.
    const QPoint mainCentre = window->frameGeometry().center();
    EXPECT_LE((seen.centre - mainCentre).manhattanLength(), 4)
        << ::testing::PrintToString(seen.centre) << " vs " << ::testing::PrintToString(mainCentre);
}

// Mean colour of the dialog's background just inside its top-left corner.
QColor CornerColour(const QImage& image)
{
    return image.pixelColor(3, 3);
}

// Every dialog of the program paints white text on red 25, green 30, blue 43.
TEST(DialogsGui, EveryDialogUsesTheProgramsColours)
{
    test::FreshSession s;
    struct Grab {
        QString name;
        QImage image;
        QColor text;
    };
    std::vector<Grab> grabs;
    auto grab = [&](QWidget* dialog) {
        dialog->repaint();
        grabs.push_back({dialog->objectName(), dialog->grab().toImage(), dialog->palette().color(QPalette::WindowText)});
    };
    auto grabModal = [&](const std::function<void()>& open) {
        ModalDriver driver([&](QWidget* modal) {
            grab(modal);
            static_cast<QDialog*>(modal)->reject();
        }, IsA("QDialog"));
        open();
        EXPECT_TRUE(driver.Done());
    };
    grabModal([&] { ShowError(s.window.get(), "Something went wrong."); });
    grabModal([&] { ShowAboutBox(s.window.get()); });
    grabModal([&] { ShowHardwareReport(s.window.get(), "Vendor: test"); });
    grabModal([&] { RunGammaDialog(s.window.get(), s.window.get(), 0, 1.7f, [](float) {}); });
    RunStatusTask(s.window.get(), "Working...", [&](StatusBox& box) { grab(&box); });
    RunStatusTask(s.window.get(), "Working...", StatusProgress::None, [&](StatusBox& box) { grab(&box); });
    RunSavingTask(s.window.get(), [&](SavingBox& box) { grab(&box); });
    LoadingBox loading(s.window.get());
    loading.show();
    grab(&loading);
    ASSERT_EQ(grabs.size(), 8u);
    for (const Grab& g : grabs) {
        EXPECT_EQ(CornerColour(g.image), QColor(25, 30, 43)) << g.name.toStdString();
        EXPECT_EQ(g.text, QColor(Qt::white)) << g.name.toStdString();
    }
}

// The largest difference in brightness between two pixels of the rectangle.
int Contrast(const QImage& image, const QRect& rect)
{
    int lightest = 0;
    int darkest = 255;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x) {
            const int grey = qGray(image.pixel(x, y));
            lightest = std::max(lightest, grey);
            darkest = std::min(darkest, grey);
        }
    }
    return lightest - darkest;
}

// The gamma dialog's Preview tick shows clearly on the dark dialog: the check box's indicator
// changes visibly between unticked and ticked, and the tick stands out from its box.
TEST(DialogsGui, TicksStayVisibleOnTheDarkDialogs)
{
    test::FreshSession s;
    QImage unticked;
    QImage ticked;
    QRect indicator;
    ModalDriver driver([&](QWidget* modal) {
        auto* preview = modal->findChild<QCheckBox*>("preview_1069");
        ASSERT_NE(preview, nullptr);
        QStyleOptionButton option;
        option.initFrom(preview);
        indicator = preview->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, preview);
        preview->setChecked(false);
        unticked = preview->grab().toImage();
        preview->setChecked(true);
        ticked = preview->grab().toImage();
        preview->setChecked(false);
        static_cast<QDialog*>(modal)->reject();
    }, IsA("QDialog"));
    RunGammaDialog(s.window.get(), s.window.get(), 0, 1.7f, [](float) {});
    ASSERT_TRUE(driver.Done());
    ASSERT_FALSE(indicator.isEmpty());
    const QRect inside = indicator.adjusted(3, 3, -3, -3);
    int changed = 0;
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) {
            if (std::abs(qGray(ticked.pixel(x, y)) - qGray(unticked.pixel(x, y))) > 80) ++changed;
        }
    }
    EXPECT_GE(changed, inside.width() * inside.height() / 8) << "the tick hardly changes the box";
    EXPECT_GE(Contrast(ticked, inside), 120) << "the tick does not stand out from its box";
}

// Parameter dialogs open inside the main window's bottom-left corner, above the tool band.
TEST(DialogsGui, ParameterDialogsOpenAtTheBottomLeftCorner)
{
    test::FreshSession s;
    MainWindow* window = s.window.get();
    QRect frame;
    ModalDriver driver([&](QWidget* modal) {
        WaitUntil([&] { return false; }, 100);
        frame = modal->frameGeometry();
        static_cast<QDialog*>(modal)->reject();
    }, IsA("QDialog"));
    RunGammaDialog(window, window, window->ToolBandHeight(), 1.7f, [](float) {});
    ASSERT_TRUE(driver.Done());
    const QPoint corner = ParameterDialogCorner(window, window->ToolBandHeight());
    EXPECT_EQ(frame.bottomLeft(), corner) << ::testing::PrintToString(frame);
    // Inside the window, just above the tool band.
    EXPECT_EQ(corner.x(), window->geometry().left());
    EXPECT_EQ(corner.y(), window->geometry().bottom() - window->ToolBandHeight());
    EXPECT_GT(window->ToolBandHeight(), 32);
}

// The About box shows the program's picture, and its links show whole and open in the desktop's
// browser and mail program.
TEST(DialogsGui, AboutBoxShowsThePictureAndWholeLinksThatOpen)
{
    test::FreshSession s;
    QList<QUrl> opened;
    SetUrlOpener([&](const QUrl& url) {
        opened << url;
        return true;
    });
    QSize picture;
    QStringList clipped;
    QString tag;
    ModalDriver driver([&](QWidget* modal) {
        EXPECT_EQ(modal->windowTitle(), "About Solvane...");
        auto* label = modal->findChild<QLabel*>("bitmap_117");
        ASSERT_NE(label, nullptr);
        picture = label->pixmap().deviceIndependentSize().toSize();
        tag = modal->findChild<QLabel*>("tag_1105")->text();
        for (const char* name : {"web_1023", "mail_1041"}) {
            auto* link = modal->findChild<QPushButton*>(name);
            ASSERT_NE(link, nullptr);
            const int textWidth = link->fontMetrics().horizontalAdvance(link->text());
            const bool inside = modal->rect().contains(QRect(link->mapTo(modal, QPoint(0, 0)), link->size()));
            if (link->width() < textWidth + 4 || !inside) clipped << name;
            link->click();
        }
        static_cast<QDialog*>(modal)->accept();
    }, IsA("QDialog"));
    s.Trigger(command::About);
    SetUrlOpener({});
    ASSERT_TRUE(driver.Done());
    EXPECT_EQ(picture, QSize(128, 128));
    EXPECT_EQ(tag, "Solvane_Viewer-3-rb5");
    EXPECT_TRUE(clipped.isEmpty()) << clipped.join(", ").toStdString();
    ASSERT_EQ(opened.size(), 2);
    EXPECT_EQ(opened[0].scheme(), "https");
    EXPECT_EQ(opened[0].toString(), ProductWebPage());
    EXPECT_EQ(opened[1].scheme(), "mailto");

    // Without a mail program the user is told so.
    SetUrlOpener([](const QUrl&) { return false; });
    QString title;
    ModalDriver about([&](QWidget* modal) {
        ModalDriver noMail([&](QWidget* box) {
            title = box->windowTitle();
            static_cast<QMessageBox*>(box)->accept();
        }, IsA("QMessageBox"));
        modal->findChild<QPushButton*>("mail_1041")->click();
        static_cast<QDialog*>(modal)->accept();
    }, IsA("QDialog"));
    s.Trigger(command::About);
    SetUrlOpener({});
    EXPECT_EQ(title, "No Mail Program Found");
}

}  // namespace
}  // namespace solvane
