// The configuration wizard driven as a user would: four pages at the first start (before the main
// window exists, and only once), three from "Configuration Wizard...", Cancel applying nothing,
// Finish applying the boxes, the file manager entry and the reporting switch to scratch desktop
// folders, the file manager choice kept across Back, and the dialogs' colours.
#include <QAbstractButton>
#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QWizard>

#include <cstdlib>

#include "app/application.h"
#include "app/command_table.h"
#include "app/wizard.h"
#include "net/server/usage_server.h"
#include "tests/gui/gui_support.h"
#include "tests/net_test_support.h"

namespace solvane {
namespace {

namespace fs = std::filesystem;
using test::WaitUntil;

MainWindow* FindMainWindow()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* window = dynamic_cast<MainWindow*>(widget)) return window;
    }
    return nullptr;
}

// The title of the group box of the wizard's current page.
QString PageTitle(QWizard* wizard)
{
    auto* group = wizard->currentPage() ? wizard->currentPage()->findChild<QGroupBox*>("group") : nullptr;
    return group ? group->title() : QString();
}

void Click(QWizard* wizard, QWizard::WizardButton which)
{
    QAbstractButton* button = wizard->button(which);
    ASSERT_TRUE(button->isVisible() && button->isEnabled()) << which;
    QTest::mouseClick(button, Qt::LeftButton);
    QApplication::processEvents();
}

// The wizard over scratch desktop folders, shown without a modal loop of its own.
class WizardTest : public ::testing::Test {
protected:
    WizardTest()
    {
        folders.configHome = scratch.Path() / "config";
        folders.dataHome = scratch.Path() / "data";
        folders.dataDirs = {scratch.Path() / "system"};
        program.executable = (scratch.Path() / "bin dir" / "solvane").string();
    }

    std::unique_ptr<ConfigurationWizard> Open(bool firstStart)
    {
        auto wizard = std::make_unique<ConfigurationWizard>(nullptr, firstStart, settings, folders, program);
        wizard->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(wizard.get()));
        return wizard;
    }
    bool MimeAppsWritten() const { return fs::exists(folders.configHome / "mimeapps.list"); }

    test::ScratchDir scratch;
    xdg::Folders folders;
    xdg::Program program;
    Settings settings = DefaultSettings();
};

TEST_F(WizardTest, FirstStartHasFourPagesAndTheMenuThree)
{
    const auto first = Open(true);
    EXPECT_EQ(first->windowTitle(), "Solvane Configuration Wizard");
    EXPECT_EQ(first->pageIds().size(), 4);
    const QStringList titles = {"Welcome To Solvane!", "Associate File Types", "File Manager Entry",
                                "Solvane is a Quality, User-driven Product"};
    for (int page = 0; page < 4; ++page) {
        EXPECT_EQ(PageTitle(first.get()), titles[page]);
        // Every page has the picture on its left.
        auto* picture = first->currentPage()->findChild<QLabel*>("bitmap_105");
        ASSERT_NE(picture, nullptr);
        EXPECT_FALSE(picture->pixmap().isNull());
        EXPECT_EQ(first->button(QWizard::FinishButton)->isVisible(), page == 3);
        if (page < 3) Click(first.get(), QWizard::NextButton);
    }
    EXPECT_TRUE(test::ModalText(first->currentPage()).contains("You can change this option anytime"));

    const auto again = Open(false);
    EXPECT_EQ(again->pageIds().size(), 3);
    EXPECT_EQ(PageTitle(again.get()), "Associate File Types");
    EXPECT_FALSE(again->button(QWizard::BackButton)->isEnabled());
    const QString text = test::ModalText(again->currentPage());
    EXPECT_TRUE(text.contains("Solvane currently supports the following file types.  Select the ones")) << text.toStdString();
    Click(again.get(), QWizard::NextButton);
    EXPECT_TRUE(test::ModalText(again->currentPage())
                    .contains("right clicking on them in your file manager and selecting \"Open With Solvane\".  "
                              "Install the shell extension?"));
}

TEST_F(WizardTest, BoxesShowTheAssociationsFoundAndSelectAllOrNone)
{
    xdg::Associate(folders, program, ".obj");
    xdg::Associate(folders, program, ".x");
    const auto wizard = Open(false);
    for (const AssociationBox& entry : kAssociationBoxes) {
        QCheckBox* box = wizard->AssociationCheckBox(entry.extension);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->objectName(), QString("check_%1").arg(entry.control));
        EXPECT_EQ(box->text(), entry.extension);
        EXPECT_EQ(box->isChecked(), std::string(entry.extension) == ".obj" || std::string(entry.extension) == ".x");
    }
    QTest::mouseClick(wizard->findChild<QPushButton*>("select_all"), Qt::LeftButton);
    for (const AssociationBox& entry : kAssociationBoxes) EXPECT_TRUE(wizard->AssociationCheckBox(entry.extension)->isChecked());
    QTest::mouseClick(wizard->findChild<QPushButton*>("select_none"), Qt::LeftButton);
    for (const AssociationBox& entry : kAssociationBoxes) EXPECT_FALSE(wizard->AssociationCheckBox(entry.extension)->isChecked());
    // .l3d has no box: its wish stays as it was found.
    for (bool wanted : wizard->WantedAssociations()) EXPECT_FALSE(wanted);
}

TEST_F(WizardTest, CancelAppliesNothing)
{
    settings.shell_extention = 1;
    settings.enable_BE_stats = 1;
    const auto wizard = Open(true);
    Click(wizard.get(), QWizard::NextButton);
    QTest::mouseClick(wizard->findChild<QPushButton*>("select_all"), Qt::LeftButton);
    Click(wizard.get(), QWizard::NextButton);
    wizard->ShellEntryRadio(false)->click();
    Click(wizard.get(), QWizard::NextButton);
    wizard->ReportingRadio(false)->click();
    Click(wizard.get(), QWizard::CancelButton);
    EXPECT_FALSE(wizard->isVisible());
    EXPECT_EQ(wizard->result(), QDialog::Rejected);
    EXPECT_FALSE(MimeAppsWritten());
    EXPECT_FALSE(fs::exists(folders.dataHome));
    EXPECT_EQ(settings.shell_extention, 1);
    EXPECT_EQ(settings.enable_BE_stats, 1);
}

TEST_F(WizardTest, FinishAppliesTheBoxesTheEntryAndTheReportingSwitch)
{
    xdg::Associate(folders, program, ".vtk");  // unticked below: taken back
    settings.shell_extention = 1;
    settings.enable_BE_stats = 1;
    const auto wizard = Open(false);
    wizard->AssociationCheckBox(".vtk")->click();
    wizard->AssociationCheckBox(".ply")->click();
    wizard->AssociationCheckBox(".3ds")->click();
    Click(wizard.get(), QWizard::NextButton);
    EXPECT_TRUE(wizard->ShellEntryRadio(true)->isChecked());  // from shell_extention
    wizard->ShellEntryRadio(false)->click();
    Click(wizard.get(), QWizard::NextButton);
    EXPECT_TRUE(wizard->ReportingRadio(true)->isChecked());  // from enable_BE_stats
    wizard->ReportingRadio(false)->click();
    Click(wizard.get(), QWizard::FinishButton);
    EXPECT_EQ(wizard->result(), QDialog::Accepted);
    for (const char* extension : xdg::AssociationExtensions()) {
        const std::string e = extension;
        EXPECT_EQ(xdg::IsAssociated(folders, extension), e == ".ply" || e == ".3ds") << e;
        EXPECT_FALSE(xdg::HasShellEntry(folders, extension)) << e;
    }
    EXPECT_EQ(settings.shell_extention, 0);
    EXPECT_EQ(settings.enable_BE_stats, 0);

    // Again with everything, the entry and reporting on.
    const auto all = Open(false);
    EXPECT_TRUE(all->AssociationCheckBox(".ply")->isChecked());
    EXPECT_TRUE(all->ShellEntryRadio(false)->isChecked());
    QTest::mouseClick(all->findChild<QPushButton*>("select_all"), Qt::LeftButton);
    Click(all.get(), QWizard::NextButton);
    all->ShellEntryRadio(true)->click();
    Click(all.get(), QWizard::NextButton);
    EXPECT_TRUE(all->ReportingRadio(false)->isChecked());
    all->ReportingRadio(true)->click();
    Click(all.get(), QWizard::FinishButton);
    for (const AssociationBox& entry : kAssociationBoxes) EXPECT_TRUE(xdg::IsAssociated(folders, entry.extension));
    EXPECT_FALSE(xdg::IsAssociated(folders, ".l3d"));  // no box: as it was found
    for (const char* extension : xdg::ShellEntryExtensions()) EXPECT_TRUE(xdg::HasShellEntry(folders, extension));
    EXPECT_EQ(settings.shell_extention, 1);
    EXPECT_EQ(settings.enable_BE_stats, 1);
}

TEST_F(WizardTest, TheFileManagerChoiceIsKeptWhenGoingBack)
{
    const auto wizard = Open(false);
    Click(wizard.get(), QWizard::NextButton);
    wizard->ShellEntryRadio(false)->click();
    Click(wizard.get(), QWizard::BackButton);  // leaving by Back stores the choice too
    EXPECT_FALSE(wizard->WantedShellEntries());
    Click(wizard.get(), QWizard::NextButton);
    EXPECT_TRUE(wizard->ShellEntryRadio(false)->isChecked());
    EXPECT_FALSE(wizard->ShellEntryRadio(true)->isChecked());
    Click(wizard.get(), QWizard::NextButton);
    Click(wizard.get(), QWizard::BackButton);
    EXPECT_TRUE(wizard->ShellEntryRadio(false)->isChecked());
    Click(wizard.get(), QWizard::NextButton);
    Click(wizard.get(), QWizard::FinishButton);
    EXPECT_EQ(settings.shell_extention, 0);
    EXPECT_FALSE(xdg::HasShellEntry(folders, ".obj"));
}

TEST_F(WizardTest, PagesAreWhiteOnTheDialogBlue)
{
    const auto wizard = Open(false);
    QTest::qWait(50);
    const QImage picture = wizard->grab().toImage();
    // Inside the group box, right of the boxes and above the buttons: the dialogs' background.
    QGroupBox* group = wizard->currentPage()->findChild<QGroupBox*>("group");
    const QPoint inside = group->mapTo(wizard.get(), QPoint(group->width() - 12, group->height() - 12));
    // (the style shades a group box's inside by a step at most).
    const QColor shown(picture.pixel(inside * picture.devicePixelRatio()));
    EXPECT_LE(std::abs(shown.red() - 25) + std::abs(shown.green() - 30) + std::abs(shown.blue() - 43), 3)
        << shown.name().toStdString();
    for (QLabel* label : wizard->currentPage()->findChildren<QLabel*>()) {
        EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(255, 255, 255));
    }
    EXPECT_EQ(wizard->AssociationCheckBox(".obj")->palette().color(QPalette::WindowText), QColor(255, 255, 255));
}

// The whole program: the wizard before the main window at the first start, then never again.
TEST(WizardStartUp, ShownAtTheFirstStartOnlyAndBeforeTheWindow)
{
    test::FreshStore store;
    UsageConfig offline;
    offline.connected = [] { return false; };
    int wizardsSeen = 0, pages = 0;
    bool windowExistedDuringWizard = true;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (auto* wizard = dynamic_cast<ConfigurationWizard*>(QApplication::activeModalWidget())) {
            ++wizardsSeen;
            pages = static_cast<int>(wizard->pageIds().size());
            windowExistedDuringWizard = FindMainWindow() != nullptr;
            EXPECT_EQ(wizard->parentWidget(), nullptr);
            wizard->ShellEntryRadio(false)->setChecked(true);
            wizard->reject();  // Cancel: nothing applied
            return;
        }
        MainWindow* window = FindMainWindow();
        if (window && window->isVisible()) window->close();
    });
    watch.start(30);
    RunApplication(QString(), offline);
    EXPECT_EQ(wizardsSeen, 1);
    EXPECT_EQ(pages, 4);
    EXPECT_FALSE(windowExistedDuringWizard);
    Settings stored;
    ReadAll(stored);
    EXPECT_EQ(stored.show_wizard, 0);
    EXPECT_EQ(stored.shell_extention, 1);
    const xdg::Folders folders = xdg::UserFolders();
    EXPECT_FALSE(fs::exists(folders.configHome / "mimeapps.list"));

    RunApplication(QString(), offline);
    EXPECT_EQ(wizardsSeen, 1);
}

// An installer sets install_flag in the settings' system-wide defaults: the next start sends the
// install report and stores the cleared flag, so the start after it sends none.
TEST(WizardStartUp, InstallFlagSendsTheInstallReportAtTheNextStartOnly)
{
    test::FreshStore store;
    WriteInt("show_wizard", 0);
    QTemporaryDir system;
    QDir(system.path()).mkpath("Solvane");
    QFile defaults(system.path() + "/Solvane/Solvane.3.0.ini");
    ASSERT_TRUE(defaults.open(QIODevice::WriteOnly));
    defaults.write("[General]\ninstall_flag=1\n");
    defaults.close();
    QSettings::setPath(QSettings::IniFormat, QSettings::SystemScope, system.path());
    EXPECT_EQ(ReadInt("install_flag", 0), 1);

    test::ScratchDir dir;
    UsageServerOptions options;
    options.logPath = (dir.Path() / "usage.log").string();
    UsageServer server(options);
    std::string error;
    ASSERT_TRUE(server.Start(error)) << error;
    UsageConfig config;
    config.endpoint = {"127.0.0.1", server.Port()};
    config.connected = [] { return true; };
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        MainWindow* window = FindMainWindow();
        if (window && window->isVisible()) window->close();
    });
    watch.start(30);
    for (int run = 0; run < 2; ++run) {
        RunApplication(QString(), config);
        EXPECT_TRUE(WaitUntil([&] { return test::LogLines(options.logPath, "start").size() == static_cast<size_t>(run + 1); }));
        EXPECT_EQ(ReadInt("install_flag", 1), 0);  // the user's own value now
    }
    EXPECT_TRUE(WaitUntil([&] { return !test::LogLines(options.logPath, "install").empty(); }));
    EXPECT_EQ(test::LogLines(options.logPath, "install").size(), 1u);
    QTemporaryDir empty;
    QSettings::setPath(QSettings::IniFormat, QSettings::SystemScope, empty.path());
}

TEST(WizardStartUp, OptionsMenuRunsTheWizardOverTheWindow)
{
    test::FreshStore store;
    test::Session session;
    QAction* action = session.window->MenuAction(command::ConfigurationWizard);
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->text(), "Configuration Wizard...");
    EXPECT_TRUE(action->isEnabled());
    int pages = 0;
    QWidget* owner = nullptr;
    test::ModalDriver driver([&](QWidget* modal) {
        auto* wizard = dynamic_cast<ConfigurationWizard*>(modal);
        ASSERT_NE(wizard, nullptr);
        pages = static_cast<int>(wizard->pageIds().size());
        owner = wizard->parentWidget();
        wizard->ReportingRadio(false)->setChecked(true);
        wizard->next();
        wizard->next();
        wizard->accept();  // Finish
    });
    session.Trigger(command::ConfigurationWizard);
    ASSERT_TRUE(driver.Done());
    EXPECT_EQ(pages, 3);
    EXPECT_EQ(owner, session.window.get());
    EXPECT_EQ(session.settings.enable_BE_stats, 0);
    // Not written by the wizard: stored with the next write of all settings.
    Settings stored;
    ReadAll(stored);
    EXPECT_EQ(stored.enable_BE_stats, 1);
}

}  // namespace
}  // namespace solvane
