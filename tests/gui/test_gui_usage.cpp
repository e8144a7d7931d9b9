// Usage reporting in the running program under Xvfb: the whole program against the reference
// server's own executable, the server message box, the update offer, and the off-line case.
#include <gtest/gtest.h>

#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTest>

#include "app/application.h"
#include "app/main_window.h"
#include "app/settings_store.h"
#include "app/usage_ui.h"
#include "app/view_widget.h"
#include "net/server/usage_server.h"
#include "tests/gui/gui_support.h"
#include "tests/net_test_support.h"
#include "tests/test_support.h"

namespace solvane {
namespace {

using test::Field;
using test::LogLines;
using test::WaitUntil;

std::string SamplePath(const char* name)
{
    return (test::SourceDir() / "samples" / name).string();
}

MainWindow* FindMainWindow()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* window = dynamic_cast<MainWindow*>(widget)) return window;
    }
    return nullptr;
}

// Answers the message boxes as they come, each with the next button of the script, recording
// their titles and texts. Armed before the boxes can appear, since a box may open inside any wait.
struct BoxScript {
    std::vector<QMessageBox::StandardButton> buttons;
    QStringList titles;
    QStringList texts;

    explicit BoxScript(std::vector<QMessageBox::StandardButton> script) : buttons(std::move(script)) {}
    void Arm() { QTimer::singleShot(20, [this] { Poll(); }); }
    int Seen() const { return titles.size(); }
    void Poll()
    {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box && Seen() < static_cast<int>(buttons.size()) && box->button(buttons[Seen()])) {
            titles << box->windowTitle();
            texts << box->text();
            box->button(buttons[Seen() - 1])->click();
        }
        if (Seen() < static_cast<int>(buttons.size())) QTimer::singleShot(20, [this] { Poll(); });
    }
};

TEST(UsageGui, WholeProgramReportsStartLoadAndCloseToTheReferenceServer)
{
    test::FreshStore store;
    WriteInt("show_wizard", 0);  // not a first start: no wizard before the window
    test::ScratchDir dir;
    const QString log = QString::fromStdString((dir.Path() / "usage.log").string());
    QProcess server;
    server.start(SOLVANE_USAGE_SERVER_PATH, {"--port", "0", "--log", log});
    ASSERT_TRUE(server.waitForStarted(10000));
    QString banner;
    ASSERT_TRUE(WaitUntil([&] {
        banner += QString::fromUtf8(server.readAllStandardOutput());
        return banner.contains('\n');
    }));
    const int port = banner.section("port ", 1).trimmed().toInt();
    ASSERT_GT(port, 0) << banner.toStdString();

    UsageConfig config;
    config.endpoint = {"127.0.0.1", static_cast<uint16_t>(port)};  // loopback counts as on-line
    int64_t vertices = -1, faces = -1;
    int subMeshes = -1, materials = -1;
    // Once the model is shown, note its counts and close the window as a user would.
    QTimer watch;
    QElapsedTimer clock;
    clock.start();
    QObject::connect(&watch, &QTimer::timeout, [&] {
        MainWindow* window = FindMainWindow();
        if (window && window->isVisible() && !window->LoadRunning() && window->CurrentModel()) {
            const Model& model = *window->CurrentModel();
            vertices = TotalVertices(model);
            faces = TotalFaces(model);
            subMeshes = model.SubMeshCount();
            materials = model.MaterialCount();
            watch.stop();
            QTimer::singleShot(200, window, [window] { window->close(); });  // after the report
        } else if (clock.elapsed() > 30000) {
            watch.stop();
            if (window) window->close();
        }
    });
    watch.start(20);
    RunApplication(QString::fromStdString(SamplePath("cube.obj")), config);
    server.terminate();
    server.waitForFinished(5000);

    const std::string logPath = log.toStdString();
    const auto starts = LogLines(logPath, "start");
    const auto opens = LogLines(logPath, "open3d");
    const auto closes = LogLines(logPath, "close");
    ASSERT_EQ(starts.size(), 1u);
    ASSERT_EQ(opens.size(), 1u);
    ASSERT_EQ(closes.size(), 1u);
    const std::string machine = Field(starts[0], "machine");
    EXPECT_EQ(machine.size(), 32u);
    EXPECT_EQ(Field(starts[0], "version"), "Solvane_Viewer-3-rb5");
    EXPECT_EQ(Field(opens[0], "machine"), machine);
    EXPECT_EQ(Field(opens[0], "success"), "1");
    EXPECT_EQ(Field(opens[0], "type"), "Wavefront-3D-object");
    EXPECT_EQ(Field(opens[0], "numvertices"), std::to_string(vertices));
    EXPECT_EQ(Field(opens[0], "numfaces"), std::to_string(faces));
    EXPECT_EQ(Field(opens[0], "numsubmeshes"), std::to_string(subMeshes));
    EXPECT_EQ(Field(opens[0], "nummaterials"), std::to_string(materials));
    EXPECT_EQ(Field(opens[0], "numtextures"), "0");
    EXPECT_EQ(Field(closes[0], "machine"), machine);
    // The id that was made is stored with the settings at exit.
    Settings back;
    ReadAll(back);
    EXPECT_EQ(back.http_machine_id, machine);
}

struct Endpoint {
    test::ScratchDir dir;
    std::string log;
    UsageServer server;

    explicit Endpoint(UsageServerOptions options)
        : log((dir.Path() / "usage.log").string()), server([&] {
              options.logPath = log;
              return options;
          }())
    {
        std::string error;
        EXPECT_TRUE(server.Start(error)) << error;
    }
    UsageConfig Config(bool connected = true) const
    {
        UsageConfig config;
        config.endpoint = {"127.0.0.1", server.Port()};
        config.connected = [connected] { return connected; };
        config.tempDir = dir.Path().string();
        return config;
    }
};

struct Session {
    Settings settings;
    std::unique_ptr<UsageSession> usage;
    std::unique_ptr<MainWindow> window;

    explicit Session(const UsageConfig& config)
    {
        ReadAll(settings);
        usage = std::make_unique<UsageSession>(settings, config);
        window = std::make_unique<MainWindow>(settings);
        usage->Attach(*window);
        window->ShowAtStart();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
};

TEST(UsageGui, ServerMessageIsShownOnceInABoxCaptionedWithItsTitle)
{
    test::FreshStore store;
    UsageServerOptions options;
    options.hasMessage = true;
    options.messageId = 6;
    options.messageTitle = "Solvane News";
    options.messageBody = "<b>Plain</b> text\nsecond line";
    Endpoint endpoint(options);
    {
        Session s(endpoint.Config());
        BoxScript script({QMessageBox::Ok});
        script.Arm();
        s.usage->StartStartReport();
        ASSERT_TRUE(WaitUntil([&] { return script.Seen() == 1; }));
        EXPECT_EQ(script.titles[0], "Solvane News");
        EXPECT_EQ(script.texts[0], "<b>Plain</b> text\nsecond line");
        EXPECT_EQ(s.settings.http_message_id, 6);
    }
    EXPECT_EQ(ReadInt("http_message_id", 1), 6);  // stored even without saving at exit
    {
        Session s(endpoint.Config());
        s.usage->StartStartReport();
        ASSERT_TRUE(WaitUntil([&] { return LogLines(endpoint.log, "start").size() == 2; }));
        QTest::qWait(300);
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
        EXPECT_EQ(LogLines(endpoint.log, "messages").size(), 1u);
    }
}

TEST(UsageGui, AcceptedUpdateIsDownloadedAndHandedToTheDesktop)
{
    test::FreshStore store;
    test::ScratchDir files;
    const std::string package = files.Write("package.bin", std::string(300000, 'u'));
    const uint16_t port = test::ClosedPort();
    UsageServerOptions options;
    options.port = port;
    options.hasUpdate = true;
    options.updateUrl = "http://127.0.0.1:" + std::to_string(port) + "/dl/package.bin";
    options.updateDescription = "Solvane 3.1 with fixes";
    options.updateFile = package;
    Endpoint endpoint(options);
    Session s(endpoint.Config());
    QString opened;
    bool quitAsked = false;
    s.usage->openPackage = [&](const QString& path) { opened = path; };
    s.usage->quit = [&] { quitAsked = true; };

    BoxScript script({QMessageBox::Ok, QMessageBox::Ok});
    script.Arm();
    s.usage->StartStartReport();
    ASSERT_TRUE(WaitUntil([&] { return script.Seen() == 2 && quitAsked; }));
    EXPECT_EQ(script.titles[0], "Update Available!");
    EXPECT_EQ(script.texts[0], "Solvane Software Update Available:\n\n\"Solvane 3.1 with fixes\"\n\nPress OK to begin "
                          "download of the update package.");
    EXPECT_EQ(script.titles[1], "Update Download Successfull");
    EXPECT_EQ(opened.toStdString(), (endpoint.dir.Path() / "Solvane_upgrade.exe").string());
    EXPECT_EQ(test::ReadFileBytes(opened.toStdString()), test::ReadFileBytes(package));
    EXPECT_EQ(StatusText(), "Status:");
}

TEST(UsageGui, FailedUpdateShowsTheFailureBox)
{
    test::FreshStore store;
    test::ScratchDir files;
    const std::string package = files.Write("package.bin", "x");
    UsageServerOptions options;
    options.hasUpdate = true;
    options.updateUrl = "http://127.0.0.1:" + std::to_string(test::ClosedPort()) + "/dl/package.bin";
    options.updateDescription = "Solvane 3.1";
    options.updateFile = package;
    Endpoint endpoint(options);
    Session s(endpoint.Config());
    // OK to the offer, Retry to the first failure, Cancel to the second.
    BoxScript script({QMessageBox::Ok, QMessageBox::Retry, QMessageBox::Cancel});
    script.Arm();
    s.usage->StartStartReport();
    ASSERT_TRUE(WaitUntil([&] { return script.Seen() == 3; }));
    EXPECT_EQ(script.titles[1], "Update Failed");
    EXPECT_EQ(script.titles[2], "Update Failed");
    EXPECT_TRUE(script.texts[1].startsWith("The update failed to download.  If this problem persists, try manually "
                                        "downloading the update at http"));
    EXPECT_EQ(StatusText(), "Status:");
}

TEST(UsageGui, OfflineLoadCompletesAndSendsNothing)
{
    test::FreshStore store;
    Endpoint endpoint(UsageServerOptions{});
    Session s(endpoint.Config(false));
    s.usage->StartStartReport();
    s.window->StartModelLoad(QString::fromStdString(SamplePath("cube.obj")));
    ASSERT_TRUE(WaitUntil([&] { return !s.window->LoadRunning(); }));
    EXPECT_NE(s.window->CurrentModel(), nullptr);
    s.usage->SendCloseReport();
    QTest::qWait(100);
    EXPECT_TRUE(test::ReadLines(endpoint.log).empty());
}

}  // namespace
}  // namespace solvane
