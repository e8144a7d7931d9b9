// The panels beside the main window on a bare X server (no window manager, so a window's frame is
// its inside): the file browser's tree listed folder by folder, its filter, icons, remembered
// folder and double click; the information panel's two report forms; docking by the rule, following
// the main window, "Dockable Windows", reopening at start; the HTML export dialog and command.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QColorDialog>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

#include <filesystem>
#include <fstream>
#include <map>

#include "app/application.h"
#include "app/file_browser.h"
#include "app/html_export_dialog.h"
#include "app/info_panel.h"
#include "image/readers.h"
#include "load/model_report.h"
#include "tests/gui/gui_support.h"

namespace solvane {
namespace {

namespace fs = std::filesystem;
using test::ModalDriver;
using test::SamplePath;
using test::Session;
using test::WaitUntil;

// ---- The file browser on a scratch tree -----------------------------------------------------

// scratch/ holds top.3ds, docs/ (a text file only), empty/, models/ (three model files, a text
// file and a note), .hidden/.
struct ScratchTree {
    test::ScratchDir dir;
    QString root;

    ScratchTree()
    {
        for (const char* folder : {"docs", "empty", "models", ".hidden"}) fs::create_directories(dir.Path() / folder);
        for (const char* file : {"top.3ds", "docs/only.txt", "models/a.obj", "models/b.X", "models/c.ply",
                                 "models/notes.txt", "models/readme.md"}) {
            dir.Write(file, "x");
        }
        root = QString::fromStdString(dir.Path().string()) + "/";
    }

    std::vector<BrowserPlace> Places() const
    {
        return {BrowserPlace{"scratch", root.toStdString(), BrowserIcon::HardDisk}};
    }
};

struct BrowserHarness {
    Session& s;
    FileBrowserPanel* panel;
    QStringList opened;
    int focusReturns = 0;
    bool loadRunning = false;

    BrowserHarness(Session& session, const ScratchTree& tree) : s(session)
    {
        FileBrowserPanel::Hooks hooks;
        hooks.openModel = [this](const QString& path) { opened << path; };
        hooks.loadRunning = [this] { return loadRunning; };
        hooks.focusMainWindow = [this] { ++focusReturns; };
        hooks.places = [&tree] { return tree.Places(); };
        panel = new FileBrowserPanel(s.window.get(), s.settings, std::move(hooks));
        panel->Open();
    }
    ~BrowserHarness() { panel->close(); }

    QTreeWidgetItem* Root() const { return panel->Tree()->topLevelItem(0); }
    static QTreeWidgetItem* Child(QTreeWidgetItem* item, const QString& text)
    {
        for (int i = 0; i < item->childCount(); ++i) {
            if (item->child(i)->text(0) == text) return item->child(i);
        }
        return nullptr;
    }
    static QStringList Children(const QTreeWidgetItem* item)
    {
        QStringList names;
        for (int i = 0; i < item->childCount(); ++i) names << item->child(i)->text(0);
        return names;
    }
    void DoubleClick(QTreeWidgetItem* item)
    {
        QTreeWidget* tree = panel->Tree();
        tree->scrollToItem(item);
        const QRect rect = tree->visualItemRect(item);
        ASSERT_TRUE(tree->viewport()->rect().contains(rect.center()));
        // As the window system delivers a double click: a click, then the double-click event.
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, rect.center());
        QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, rect.center());
    }
};

// A place and its folders are listed only when first opened; a folder with nothing to show loses
// its expand button.
TEST(FileBrowserGui, FoldersAreListedWhenFirstOpened)
{
    test::FreshSession s;
    ScratchTree tree;
    BrowserHarness b(s, tree);
    EXPECT_EQ(b.panel->windowTitle(), "Solvane File Browser");
    QTreeWidgetItem* root = b.Root();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(b.panel->Tree()->topLevelItemCount(), 1);
    EXPECT_EQ(FileBrowserPanel::FillMarker(root), FileBrowserPanel::kNotListed);
    EXPECT_EQ(root->childCount(), 0);
    EXPECT_EQ(root->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);

    root->setExpanded(true);
    EXPECT_EQ(FileBrowserPanel::FillMarker(root), FileBrowserPanel::kListed);
    EXPECT_EQ(BrowserHarness::Children(root), QStringList({"docs", "empty", "models", "top.3ds"}));
    QTreeWidgetItem* models = BrowserHarness::Child(root, "models");
    EXPECT_EQ(models->childCount(), 0);  // not listed yet
    EXPECT_EQ(FileBrowserPanel::ItemPath(models), tree.root + "models/");
    EXPECT_EQ(FileBrowserPanel::ItemIcon(BrowserHarness::Child(root, "top.3ds")), BrowserIcon::Studio3d);

    // Listed once: a file added afterwards shows only after "Refresh Files".
    models->setExpanded(true);
    EXPECT_EQ(BrowserHarness::Children(models), QStringList({"a.obj", "b.X", "c.ply"}));
    EXPECT_EQ(FileBrowserPanel::ItemIcon(BrowserHarness::Child(models, "a.obj")), BrowserIcon::Wavefront);
    EXPECT_EQ(FileBrowserPanel::ItemIcon(BrowserHarness::Child(models, "b.X")), BrowserIcon::DirectX);
    EXPECT_EQ(FileBrowserPanel::ItemIcon(BrowserHarness::Child(models, "c.ply")), BrowserIcon::RegularFile);
    EXPECT_EQ(FileBrowserPanel::ItemIcon(models), BrowserIcon::FolderOpen);
    EXPECT_EQ(FileBrowserPanel::ItemPath(BrowserHarness::Child(models, "a.obj")), tree.root + "models/a.obj");
    tree.dir.Write("models/d.off", "x");
    models->setExpanded(false);
    models->setExpanded(true);
    EXPECT_EQ(models->childCount(), 3);

    QTreeWidgetItem* docs = BrowserHarness::Child(root, "docs");
    docs->setExpanded(true);
    EXPECT_EQ(docs->childCount(), 0);
    EXPECT_EQ(docs->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicatorWhenChildless);

    b.panel->findChild<QPushButton*>("refresh_1084")->click();
    // The remembered folder (docs) opens again, and the new file is there.
    root = b.Root();
    ASSERT_TRUE(root->isExpanded());
    models = BrowserHarness::Child(root, "models");
    models->setExpanded(true);
    EXPECT_EQ(BrowserHarness::Children(models), QStringList({"a.obj", "b.X", "c.ply", "d.off"}));
}

// "All Files" lists every file (a text document with the regular icon); the choice is stored.
TEST(FileBrowserGui, AllFilesShowsEveryFile)
{
    test::FreshSession s;
    ScratchTree tree;
    BrowserHarness b(s, tree);
    auto* all = b.panel->findChild<QRadioButton*>("all_1045");
    auto* supported = b.panel->findChild<QRadioButton*>("supported_1046");
    ASSERT_TRUE(all && supported);
    EXPECT_TRUE(supported->isChecked());
    all->click();
    EXPECT_EQ(s.settings.show_supported_files, 0);
    QTreeWidgetItem* root = b.Root();
    root->setExpanded(true);
    QTreeWidgetItem* docs = BrowserHarness::Child(root, "docs");
    docs->setExpanded(true);
    EXPECT_EQ(BrowserHarness::Children(docs), QStringList({"only.txt"}));
    EXPECT_EQ(FileBrowserPanel::ItemIcon(docs->child(0)), BrowserIcon::RegularFile);
    QTreeWidgetItem* models = BrowserHarness::Child(root, "models");
    models->setExpanded(true);
    EXPECT_EQ(BrowserHarness::Children(models), QStringList({"a.obj", "b.X", "c.ply", "notes.txt", "readme.md"}));
    supported->click();
    EXPECT_EQ(s.settings.show_supported_files, 1);
    EXPECT_EQ(BrowserHarness::Child(BrowserHarness::Child(b.Root(), "models"), "notes.txt"), nullptr);

    // A new panel starts with the stored choice.
    s.settings.show_supported_files = 0;
    BrowserHarness again(s, tree);
    EXPECT_TRUE(again.panel->findChild<QRadioButton*>("all_1045")->isChecked());
}

// The folder opened or closed last is remembered and opened again; with every folder closed the
// browser remembers nothing.
TEST(FileBrowserGui, RemembersTheLastFolder)
{
    test::FreshSession s;
    ScratchTree tree;
    {
        BrowserHarness b(s, tree);
        b.Root()->setExpanded(true);
        EXPECT_EQ(s.settings.file_browser_last_dir, tree.root.toStdString());
        BrowserHarness::Child(b.Root(), "models")->setExpanded(true);
        EXPECT_EQ(s.settings.file_browser_last_dir, tree.root.toStdString() + "models/");
    }
    {
        BrowserHarness b(s, tree);
        QTreeWidgetItem* models = BrowserHarness::Child(b.Root(), "models");
        ASSERT_NE(models, nullptr);
        EXPECT_TRUE(models->isExpanded());
        EXPECT_EQ(b.panel->Tree()->currentItem(), models);
        EXPECT_EQ(models->childCount(), 3);
        // Restoring stores nothing new; closing the folders does.
        models->setExpanded(false);
        EXPECT_EQ(s.settings.file_browser_last_dir, tree.root.toStdString() + "models/");
        b.Root()->setExpanded(false);
        EXPECT_EQ(s.settings.file_browser_last_dir, "\\");
    }
    // A remembered folder that has gone opens as far as it still exists.
    s.settings.file_browser_last_dir = tree.root.toStdString() + "models/gone/";
    BrowserHarness b(s, tree);
    QTreeWidgetItem* models = BrowserHarness::Child(b.Root(), "models");
    ASSERT_NE(models, nullptr);
    EXPECT_TRUE(models->isExpanded());
    EXPECT_EQ(b.panel->Tree()->currentItem(), models);
}

// A double click opens a file (not a folder, not while a load runs) and gives the keyboard back
// to the main window every time.
TEST(FileBrowserGui, DoubleClickOpensFilesOnly)
{
    test::FreshSession s;
    ScratchTree tree;
    BrowserHarness b(s, tree);
    b.Root()->setExpanded(true);
    QTreeWidgetItem* models = BrowserHarness::Child(b.Root(), "models");
    models->setExpanded(true);
    b.DoubleClick(BrowserHarness::Child(models, "a.obj"));
    EXPECT_EQ(b.opened, QStringList({tree.root + "models/a.obj"}));
    EXPECT_EQ(b.focusReturns, 1);
    b.DoubleClick(BrowserHarness::Child(b.Root(), "docs"));
    EXPECT_EQ(b.opened.size(), 1);
    EXPECT_EQ(b.focusReturns, 2);
    b.loadRunning = true;
    b.DoubleClick(BrowserHarness::Child(models, "b.X"));
    EXPECT_EQ(b.opened.size(), 1);
    EXPECT_EQ(b.focusReturns, 3);
}

// The browser of the window: opened from the menu at the remembered folder, a double click loads
// the model into the window.
TEST(FileBrowserGui, MenuOpensTheBrowserAndADoubleClickLoads)
{
    test::ScratchDir dir;
    dir.Write("cube.obj", test::ReadFileBytes(SamplePath("cube.obj")));
    dir.Write("cube.mtl", test::ReadFileBytes(SamplePath("cube.mtl")));
    test::FreshSession s;
    s.settings.file_browser_last_dir = dir.Path().string() + "/";
    s.Trigger(command::FileBrowser);
    FileBrowserPanel* panel = s.window->FileBrowser();
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(s.settings.file_browser, 1);
    EXPECT_TRUE(s.window->MenuAction(command::FileBrowser)->isChecked());
    QTreeWidgetItem* folder = panel->Tree()->currentItem();
    ASSERT_NE(folder, nullptr);
    EXPECT_EQ(FileBrowserPanel::ItemPath(folder).toStdString(), dir.Path().string() + "/");
    QTreeWidgetItem* cube = BrowserHarness::Child(folder, "cube.obj");
    ASSERT_NE(cube, nullptr);
    panel->Tree()->scrollToItem(cube);
    // Deep in the tree the name may run past the panel's edge: its start is in view.
    const QRect rect = panel->Tree()->visualItemRect(cube);
    const QPoint at(std::min(rect.center().x(), rect.left() + 8), rect.center().y());
    QTest::mouseClick(panel->Tree()->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(panel->Tree()->viewport(), Qt::LeftButton, {}, at);
    ASSERT_TRUE(WaitUntil([&] { return s.window->CurrentModel() != nullptr && !s.window->LoadRunning(); }));
    EXPECT_EQ(s.window->windowTitle(), "cube.obj - Solvane Viewer");

    // The menu closes it again; so does its close box, which also clears the check mark.
    s.Trigger(command::FileBrowser);
    EXPECT_TRUE(WaitUntil([&] { return s.window->FileBrowser() == nullptr; }));
    EXPECT_EQ(s.settings.file_browser, 0);
    s.Trigger(command::FileBrowser);
    ASSERT_NE(s.window->FileBrowser(), nullptr);
    s.window->FileBrowser()->close();
    EXPECT_TRUE(WaitUntil([&] { return s.window->FileBrowser() == nullptr; }));
    EXPECT_EQ(s.settings.file_browser, 0);
    EXPECT_FALSE(s.window->MenuAction(command::FileBrowser)->isChecked());
}

// ---- The information panel ------------------------------------------------------------------

QString PanelText(Session& s)
{
    return s.window->Information() ? s.window->Information()->Text() : QString("(no panel)");
}

QString Report(Session& s, ReportForm form)
{
    return ReportToText(BuildModelReport(s.window->CurrentModel(), s.window->CurrentPath().toStdString(), form));
}

// Opened, the panel shows the model's own coordinates; after the next display rebuild it shows
// the file's units. Closing the model empties it.
TEST(InfoPanelGui, InitialFormThenRefreshFormAfterARebuild)
{
    test::FreshSession s;
    EXPECT_FALSE(s.window->MenuAction(command::FileInfo)->isEnabled());
    ASSERT_TRUE(s.Load(SamplePath("teapot.obj")));
    ASSERT_NE(s.window->CurrentModel()->loadScale, 1.0f);
    s.Trigger(command::FileInfo);
    InfoPanel* panel = s.window->Information();
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->windowTitle(), "Solvane File Information");
    EXPECT_EQ(s.settings.model_info, 1);
    const QString initial = Report(s, ReportForm::Initial);
    const QString refresh = Report(s, ReportForm::Refresh);
    ASSERT_NE(initial, refresh);
    EXPECT_EQ(panel->Text(), initial);
    EXPECT_TRUE(panel->Text().startsWith("      NAME: teapot.obj\n"));
    EXPECT_EQ(panel->TextControl()->textCursor().position(), panel->Text().size());
    EXPECT_TRUE(panel->TextControl()->isReadOnly());

    s.Trigger(command::Texturing);  // rebuilds the lists
    EXPECT_TRUE(WaitUntil([&] { return PanelText(s) == refresh; }));
    EXPECT_TRUE(PanelText(s).contains("X(min,max): (-1.48, 1.79)\n"));

    s.Trigger(command::Close);
    EXPECT_EQ(PanelText(s), "");
    s.Trigger(command::FileInfo);  // greyed without a model: nothing happens
    EXPECT_NE(s.window->Information(), nullptr);
    s.window->Information()->close();
    EXPECT_TRUE(WaitUntil([&] { return s.window->Information() == nullptr; }));
    EXPECT_EQ(s.settings.model_info, 0);
    EXPECT_FALSE(s.window->MenuAction(command::FileInfo)->isChecked());
}

// An ampersand in a material's name becomes a line break; a load builds the refresh form.
TEST(InfoPanelGui, AmpersandInANameBreaksTheLine)
{
    test::FreshStore store;
    test::ScratchDir dir;
    dir.Write("m.mtl", "newmtl Steel&Glass\nKd 1 0 0\n");
    const std::string obj = dir.Write("m.obj", "mtllib m.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nusemtl Steel&Glass\nf 1 2 3\n");
    Settings stored = DefaultSettings();
    stored.model_info = 1;
    stored.show_wizard = 0;
    WriteAll(stored);
    Session s;
    ASSERT_NE(s.window->Information(), nullptr);  // open at start: empty without a model
    EXPECT_EQ(PanelText(s), "");
    ASSERT_TRUE(s.Load(obj));
    EXPECT_EQ(PanelText(s), Report(s, ReportForm::Refresh));
    EXPECT_TRUE(PanelText(s).contains("\n            Steel\nGlass\n")) << PanelText(s).toStdString();
}

// ---- Placement and docking (no window manager: the frame is the window) ----------------------

QRect Outer(const QWidget* w)
{
    return w->frameGeometry();
}

// Both panels opened from the menu, with the main window at its first-start place.
struct PanelsOpen {
    test::FreshSession s;
    PanelsOpen()
    {
        EXPECT_TRUE(s.Load(SamplePath("cube.obj")));
        s.Trigger(command::FileBrowser);
        s.Trigger(command::FileInfo);
    }
    DockedPanel* Browser() { return s.window->FileBrowser(); }
    DockedPanel* Info() { return s.window->Information(); }
};

TEST(DockingGui, PanelsOpenBesideTheMainWindow)
{
    PanelsOpen p;
    const QRect main = Outer(p.s.window.get());
    ASSERT_EQ(main, QRect(150, 150, 650, 480));
    EXPECT_TRUE(WaitUntil([&] { return Outer(p.Browser()) == QRect(800, 150, 250, 480); }))
        << testing::PrintToString(Outer(p.Browser()));
    EXPECT_TRUE(WaitUntil([&] { return Outer(p.Info()) == QRect(150, 630, 650, 150); }))
        << testing::PrintToString(Outer(p.Info()));
    EXPECT_EQ(p.s.settings.fb_docked, 1003);
    EXPECT_EQ(p.s.settings.mi_docked, 1007);
    EXPECT_EQ(p.s.settings.fb_window_x, 250);
    EXPECT_EQ(p.s.settings.mi_window_posy, 630);
}

// Moved within 15 pixels of each of the eight places, a panel snaps onto it; 16 away it stays
// where it was put.
TEST(DockingGui, APanelSnapsToEachOfTheEightPlaces)
{
    PanelsOpen p;
    DockedPanel* panel = p.Browser();
    panel->resize(250, 220);
    ASSERT_TRUE(WaitUntil([&] { return Outer(panel).size() == QSize(250, 220); }))
        << testing::PrintToString(Outer(panel));
    const PanelRect main = ToPanelRect(Outer(p.s.window.get()));
    for (int code = dock::kLeftTop; code <= dock::kBelowRight; ++code) {
        SCOPED_TRACE(code);
        const auto place = DockPlace(code, main, 250, 220);
        ASSERT_TRUE(place);
        panel->move(place->x + 12, place->y - 9);
        EXPECT_TRUE(WaitUntil([&] { return Outer(panel).topLeft() == QPoint(place->x, place->y); }, 5000))
            << testing::PrintToString(Outer(panel));
        EXPECT_EQ(p.s.settings.fb_docked, code);
        EXPECT_EQ(Outer(panel).size(), QSize(250, 220));
    }
    panel->move(main.x + main.width + 16, main.y + 40);
    EXPECT_TRUE(WaitUntil([&] { return Outer(panel).topLeft() == QPoint(main.x + main.width + 16, main.y + 40); }));
    QTest::qWait(200);
    EXPECT_EQ(p.s.settings.fb_docked, dock::kFree);
    EXPECT_EQ(p.s.settings.fb_window_posx, main.x + main.width + 16);
}

// Docked panels follow the main window when it moves or is resized; a free one stays.
TEST(DockingGui, DockedPanelsFollowTheMainWindow)
{
    PanelsOpen p;
    MainWindow* window = p.s.window.get();
    ASSERT_TRUE(WaitUntil([&] { return Outer(p.Info()).topLeft() == QPoint(150, 630); }));
    // The browser is dragged away: free.
    p.Browser()->move(1000, 40);
    ASSERT_TRUE(WaitUntil([&] { return p.s.settings.fb_docked == dock::kFree; }));
    window->move(200, 100);
    EXPECT_TRUE(WaitUntil([&] { return Outer(p.Info()).topLeft() == QPoint(200, 580); }))
        << testing::PrintToString(Outer(p.Info()));
    EXPECT_EQ(p.s.settings.mi_docked, dock::kBelowLeft);
    EXPECT_EQ(Outer(p.Browser()).topLeft(), QPoint(1000, 40));
    // Docked to the right, it stays against the right edge when the window grows.
    p.Browser()->move(Outer(window).right() + 5, Outer(window).top() + 5);
    ASSERT_TRUE(WaitUntil([&] { return p.s.settings.fb_docked == dock::kRightTop; }));
    window->resize(window->width() + 60, window->height());
    EXPECT_TRUE(WaitUntil([&] { return Outer(p.Browser()).left() == Outer(window).right() + 1; }))
        << testing::PrintToString(Outer(p.Browser()));
}

// "Dockable Windows" off frees both panels (codes -1) and they no longer follow; on again, each
// docks where it is.
TEST(DockingGui, DockableWindowsSwitchesDocking)
{
    PanelsOpen p;
    MainWindow* window = p.s.window.get();
    ASSERT_TRUE(WaitUntil([&] { return Outer(p.Info()).topLeft() == QPoint(150, 630); }));
    EXPECT_TRUE(window->MenuAction(command::DockableWindows)->isChecked());
    p.s.Trigger(command::DockableWindows);
    EXPECT_EQ(p.s.settings.dock, 0);
    EXPECT_EQ(p.s.settings.fb_docked, -1);
    EXPECT_EQ(p.s.settings.mi_docked, -1);
    window->move(250, 200);
    ASSERT_TRUE(WaitUntil([&] { return Outer(window).topLeft() == QPoint(250, 200); }));
    QTest::qWait(200);
    EXPECT_EQ(Outer(p.Info()).topLeft(), QPoint(150, 630));
    // Moved near the window while docking is off: no snapping.
    p.Info()->move(255, 690);
    ASSERT_TRUE(WaitUntil([&] { return Outer(p.Info()).topLeft() == QPoint(255, 690); }));
    QTest::qWait(200);
    EXPECT_EQ(Outer(p.Info()).topLeft(), QPoint(255, 690));
    EXPECT_EQ(p.s.settings.mi_docked, -1);

    p.s.Trigger(command::DockableWindows);
    EXPECT_EQ(p.s.settings.dock, 1);
    EXPECT_TRUE(WaitUntil([&] { return Outer(p.Info()).topLeft() == QPoint(250, 680); }))
        << testing::PrintToString(Outer(p.Info()));
    EXPECT_EQ(p.s.settings.mi_docked, dock::kBelowLeft);
    EXPECT_EQ(p.s.settings.fb_docked, dock::kFree);
}

// Over a maximised main window a panel opens small at the top left.
TEST(DockingGui, OverAMaximisedWindowPanelsOpenSmall)
{
    test::FreshSession s;
    s.window->showMaximized();
    ASSERT_TRUE(WaitUntil([&] { return s.settings.window_state == 3; }));
    s.Trigger(command::FileBrowser);
    ASSERT_NE(s.window->FileBrowser(), nullptr);
    EXPECT_TRUE(WaitUntil([&] { return Outer(s.window->FileBrowser()) == QRect(20, 20, 250, 250); }))
        << testing::PrintToString(Outer(s.window->FileBrowser()));
    EXPECT_NE(s.settings.fb_docked, dock::kRightTop);
    EXPECT_FALSE(IsDockedCode(s.settings.fb_docked));
}

// Panels open at exit open again at the next start, where they were; a closed one does not.
TEST(DockingGui, OpenPanelsReopenAtTheNextStart)
{
    test::FreshStore store;
    {
        Session s;
        s.Trigger(command::FileBrowser);
        ASSERT_NE(s.window->FileBrowser(), nullptr);
        s.window->FileBrowser()->move(900, 600);
        ASSERT_TRUE(WaitUntil([&] { return s.settings.fb_window_posx == 900 && s.settings.fb_docked == 0; }));
        s.Quit();
    }
    Settings stored = DefaultSettings();
    ReadAll(stored);
    EXPECT_EQ(stored.file_browser, 1);
    EXPECT_EQ(stored.model_info, 0);
    EXPECT_EQ(stored.fb_window_posx, 900);
    {
        Session s;
        FileBrowserPanel* panel = s.window->FileBrowser();
        ASSERT_NE(panel, nullptr);
        EXPECT_EQ(s.window->Information(), nullptr);
        EXPECT_TRUE(WaitUntil([&] { return Outer(panel) == QRect(900, 600, 250, 480); }))
            << testing::PrintToString(Outer(panel));
        EXPECT_TRUE(s.window->MenuAction(command::FileBrowser)->isChecked());
        // Closed before quitting: not opened again.
        panel->close();
        s.Quit();
    }
    Session s;
    EXPECT_EQ(s.window->FileBrowser(), nullptr);
}

// ---- The HTML export dialog and command ------------------------------------------------------

// Clicks OK expecting the error box; returns its text.
QString OkGivesError(QWidget* dialog)
{
    QString text;
    ModalDriver error([&](QWidget* box) {
        if (auto* message = box->findChild<QLabel*>("message_1067")) text = message->text();
        static_cast<QDialog*>(box)->accept();
    }, [](QWidget* w) { return w->objectName() == "ERRORBOX"; });
    dialog->findChild<QPushButton*>("ok_1")->click();
    WaitUntil([&] { return error.Done(); }, 5000);
    return text;
}

template <typename T>
T* Find(QWidget* dialog, const char* name)
{
    T* widget = dialog->findChild<T*>(name);
    EXPECT_NE(widget, nullptr) << name;
    return widget;
}

// The checks of OK in their order, each keeping the dialog open with what was typed.
TEST(HtmlExportGui, DialogChecksSizesAndFiles)
{
    test::FreshSession s;
    ASSERT_TRUE(s.Load(SamplePath("cube.obj")));
    HtmlExportOptions options;
    QStringList errors;
    bool stillOpen = true;
    ModalDriver driver([&](QWidget* dialog) {
        EXPECT_EQ(dialog->windowTitle(), "HTML Export...");
        auto* width = Find<QLineEdit>(dialog, "width");
        auto* height = Find<QLineEdit>(dialog, "height");
        auto* header = Find<QLineEdit>(dialog, "header_path");
        EXPECT_EQ(width->text(), "200");
        EXPECT_EQ(Find<QLabel>(dialog, "page_color_text")->text(), "RGB: (255,255,255)");
        EXPECT_EQ(Find<QLabel>(dialog, "text_color_text")->text(), "RGB: (0,0,0)");
        header->setText("/no/such/header.html");
        width->setText("1601");
        height->setText("10");
        errors << OkGivesError(dialog);
        header->clear();
        errors << OkGivesError(dialog);
        width->setText("0");
        errors << OkGivesError(dialog);
        width->setText("12x");
        errors << OkGivesError(dialog);
        width->setText(" 320 ");
        height->setText("240");
        stillOpen = dialog->isVisible();
        dialog->findChild<QPushButton*>("ok_1")->click();
    }, [](QWidget* w) { return w->objectName() == "HTML_EXPORT"; });
    EXPECT_TRUE(RunHtmlExportDialog(s.window.get(), s.window.get(), s.window->ToolBandHeight(), *s.window->CurrentModel(),
                                    options));
    EXPECT_EQ(errors, QStringList({"The specified header file does not exist.", "Maximum image resolution is 1600x1200.",
                                   "Image resolution must be above zero.",
                                   "Image width and height must be valid numbers."}));
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(options.imageWidth, 320);
    EXPECT_EQ(options.imageHeight, 240);
}

// Sections the model has nothing for are ticked and greyed; "No Image" greys "Single Image View";
// Cancel puts back the colour chosen meanwhile.
TEST(HtmlExportGui, DialogTicksWhatTheModelLacksAndCancelRestores)
{
    test::FreshSession s;
    ASSERT_TRUE(s.Load(SamplePath("cube.obj")));  // materials, no textures, no animation
    HtmlExportOptions options;
    std::map<QString, std::pair<bool, bool>> boxes;  // checked, enabled
    QString chosenColour;
    ModalDriver driver([&](QWidget* dialog) {
        for (QCheckBox* box : dialog->findChildren<QCheckBox*>()) boxes[box->objectName()] = {box->isChecked(), box->isEnabled()};
        Find<QCheckBox>(dialog, "no_image")->click();
        boxes["single_after_no_image"] = {false, Find<QCheckBox>(dialog, "single_image")->isEnabled()};
        ModalDriver colour([](QWidget* chooser) {
            static_cast<QColorDialog*>(chooser)->setCurrentColor(QColor(10, 20, 30));
            static_cast<QDialog*>(chooser)->accept();
        }, test::IsA("QColorDialog"));
        Find<QPushButton>(dialog, "page_color")->click();
        chosenColour = Find<QLabel>(dialog, "page_color_text")->text();
        Find<QPushButton>(dialog, "cancel_2")->click();
    }, [](QWidget* w) { return w->objectName() == "HTML_EXPORT"; });
    EXPECT_FALSE(RunHtmlExportDialog(s.window.get(), s.window.get(), s.window->ToolBandHeight(), *s.window->CurrentModel(),
                                     options));
    EXPECT_EQ(boxes.size(), 11u);
    EXPECT_EQ(boxes["no_textures"], std::make_pair(true, false));
    EXPECT_EQ(boxes["no_animation"], std::make_pair(true, false));
    EXPECT_EQ(boxes["no_materials"], std::make_pair(false, true));
    EXPECT_EQ(boxes["no_message"], std::make_pair(false, true));
    EXPECT_EQ(boxes["single_image"], std::make_pair(false, true));
    EXPECT_FALSE(boxes["single_after_no_image"].second);
    EXPECT_EQ(chosenColour, "RGB: (10,20,30)");
    EXPECT_EQ(options.pageColor, (std::array<int, 3>{255, 255, 255}));
    EXPECT_FALSE(options.noImage);
    EXPECT_FALSE(options.noTextures);
}

// File > Export HTML...: the save chooser, the dialog, then the page with pictures of the view.
TEST(HtmlExportGui, ExportHtmlWritesThePageWithPicturesOfTheView)
{
    test::ScratchDir dir;
    test::FreshSession s;
    ASSERT_TRUE(s.Load(SamplePath("teapot.obj")));
    const QString page = QString::fromStdString((dir.Path() / "tea page.htm").string());
    ModalDriver chooser([&](QWidget* modal) {
        auto* dialog = static_cast<QFileDialog*>(modal);
        dialog->findChild<QLineEdit*>("fileNameEdit")->setText(page);
        static_cast<QDialog*>(dialog)->accept();
    }, test::IsA("QFileDialog"));
    ModalDriver options([&](QWidget* dialog) {
        Find<QLineEdit>(dialog, "width")->setText("120");
        Find<QLineEdit>(dialog, "height")->setText("90");
        Find<QCheckBox>(dialog, "zoomable")->setChecked(true);
        Find<QPushButton>(dialog, "ok_1")->click();
    }, [](QWidget* w) { return w->objectName() == "HTML_EXPORT"; });
    s.Trigger(command::ExportHtml);
    ASSERT_TRUE(fs::exists(page.toStdString()));
    const std::string html = test::ReadFileBytes(page.toStdString());
    EXPECT_NE(html.find("<a href=\"tea%20page_files/view-large.png\"><img src=\"tea%20page_files/view.png\" "
                        "width=\"120\" height=\"90\""),
              std::string::npos);
    EXPECT_TRUE(s.window->HtmlOptions().zoomable);  // kept for the next export of the run
    const fs::path pictures = dir.Path() / "tea page_files";
    for (const char* name : {"view", "front", "side", "top"}) {
        SCOPED_TRACE(name);
        const std::unique_ptr<Texture> small = ReadPngFile((pictures / (std::string(name) + ".png")).c_str());
        const std::unique_ptr<Texture> large = ReadPngFile((pictures / (std::string(name) + "-large.png")).c_str());
        ASSERT_TRUE(small && large);
        EXPECT_EQ(QSize(small->width, small->height), QSize(120, 90));
        EXPECT_EQ(QSize(large->width, large->height), QSize(240, 180));
        // The teapot, lit, covers part of the grey background.
        int model = 0;
        for (size_t i = 0; i < small->pixels.size(); i += 3) model += std::abs(small->pixels[i] - small->pixels[0]) > 30;
        EXPECT_GT(model, 120 * 90 / 20);
    }
    // The view on screen is still the window's size.
    EXPECT_EQ(s.window->View()->viewer().view.viewWidth,
              static_cast<int>(s.window->View()->width() * s.window->devicePixelRatio()));
}

// ---- The platform ----------------------------------------------------------------------------

// X11 unless the user chose: QT_QPA_PLATFORM or -platform wins; a Wayland-only session is left to
// Qt.
TEST(PlatformGui, X11IsChosenUnlessTheUserChose)
{
    const QByteArray saved[3] = {qgetenv("QT_QPA_PLATFORM"), qgetenv("DISPLAY"), qgetenv("WAYLAND_DISPLAY")};
    const auto set = [](const char* name, const char* value) {
        if (value) qputenv(name, value);
        else qunsetenv(name);
    };
    struct Case {
        const char* platform;
        const char* display;
        const char* wayland;
        std::vector<const char*> arguments;
        const char* expected;  // null: unset
    };
    const Case cases[] = {
        {nullptr, ":0", nullptr, {"solvane"}, "xcb"},
        {nullptr, ":0", "wayland-0", {"solvane", "model.obj"}, "xcb"},
        {nullptr, nullptr, nullptr, {"solvane"}, "xcb"},
        {nullptr, nullptr, "wayland-0", {"solvane"}, nullptr},
        {"wayland", ":0", "wayland-0", {"solvane"}, "wayland"},
        {nullptr, ":0", nullptr, {"solvane", "-platform", "offscreen"}, nullptr},
        {nullptr, ":0", nullptr, {"solvane", "--", "-platform"}, "xcb"},
    };
    for (const Case& c : cases) {
        set("QT_QPA_PLATFORM", c.platform);
        set("DISPLAY", c.display);
        set("WAYLAND_DISPLAY", c.wayland);
        std::vector<char*> argv;
        for (const char* a : c.arguments) argv.push_back(const_cast<char*>(a));
        PreferX11Platform(static_cast<int>(argv.size()), argv.data());
        if (c.expected) {
            EXPECT_EQ(qgetenv("QT_QPA_PLATFORM"), QByteArray(c.expected)) << c.arguments.back();
        } else {
            EXPECT_FALSE(qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) << c.arguments.back();
        }
    }
    for (int i = 0; i < 3; ++i) {
        const char* names[3] = {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"};
        set(names[i], saved[i].isNull() ? nullptr : saved[i].constData());
    }
}

}  // namespace
}  // namespace solvane
