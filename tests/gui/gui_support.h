// Helpers of the GUI tests: waiting on the event loop, answering modal boxes, fresh stores, a
// window manager of the test's own, and a main window session.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <ostream>
#include <memory>
#include <string>

#include "app/main_window.h"
#include "app/settings_store.h"
#include "app/view_widget.h"
#include "tests/test_support.h"

// Readable values in failure messages.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QSize& size, std::ostream* out)
{
    *out << size.width() << "x" << size.height();
}
inline void PrintTo(const QPoint& point, std::ostream* out)
{
    *out << "(" << point.x() << ", " << point.y() << ")";
}
inline void PrintTo(const QRect& rect, std::ostream* out)
{
    *out << rect.width() << "x" << rect.height() << " at (" << rect.x() << ", " << rect.y() << ")";
}

namespace solvane::test {

// Processes events until done() or the timeout; returns done().
inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 20000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return done();
}

// Points the settings store at a fresh folder for the life of the object.
class FreshStore {
public:
    FreshStore() { QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir_.path()); }
    QString Path() const { return dir_.path(); }
    QString IniFile() const { return dir_.path() + "/Solvane/Solvane.3.0.ini"; }

private:
    QTemporaryDir dir_;
};

// Text of a modal box (message box text or every label of a dialog).
inline QString ModalText(QWidget* modal)
{
    if (auto* box = qobject_cast<QMessageBox*>(modal)) return box->text();
    QString text;
    for (QLabel* label : modal->findChildren<QLabel*>()) text += label->text() + "\n";
    return text;
}

// Answers the next modal box (accepting it) and records its title and text. Stops looking when it
// goes out of scope.
struct ModalWatcher {
    QString title;
    QString text;
    QString objectName;
    bool seen = false;

    ModalWatcher() = default;
    ModalWatcher(const ModalWatcher&) = delete;
    ModalWatcher& operator=(const ModalWatcher&) = delete;
    ~ModalWatcher() { *alive_ = false; }

    void Arm(int delayMs = 50)
    {
        QTimer::singleShot(delayMs, [this, alive = alive_] {
            if (*alive) Poll();
        });
    }

    void Poll()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) {
            Arm(20);
            return;
        }
        title = modal->windowTitle();
        text = ModalText(modal);
        objectName = modal->objectName();
        seen = true;
        if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->accept();
        else modal->close();
    }

private:
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// Runs act on the next modal window that matches (by default any), once; used to drive a dialog
// that a call under test opens and waits on. Stops looking when it goes out of scope.
class ModalDriver {
public:
    using Match = std::function<bool(QWidget*)>;
    explicit ModalDriver(std::function<void(QWidget*)> act, Match match = {})
        : act_(std::move(act)), match_(std::move(match))
    {
        Arm();
    }
    ModalDriver(const ModalDriver&) = delete;
    ModalDriver& operator=(const ModalDriver&) = delete;
    ~ModalDriver() { *alive_ = false; }
    bool Done() const { return done_; }

private:
    void Arm()
    {
        QTimer::singleShot(20, [this, alive = alive_] {
            if (!*alive) return;
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal || !modal->isVisible() || (match_ && !match_(modal))) {
                Arm();
                return;
            }
            done_ = true;
            act_(modal);
        });
    }

    std::function<void(QWidget*)> act_;
    Match match_;
    bool done_ = false;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// Matches a modal window by its Qt class name ("QFileDialog", "QMessageBox").
inline ModalDriver::Match IsA(const char* className)
{
    return [className](QWidget* widget) { return widget->inherits(className); };
}

// The top-level widget of that object name that is shown now, or null.
inline QWidget* ShownWindow(const QString& objectName)
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == objectName && widget->isVisible()) return widget;
    }
    return nullptr;
}

// Openbox on the test's display for the life of the object. Running() is false, with the reason
// in Why(), when it cannot start (not installed, no X display, another window manager running).
class WindowManager {
public:
    WindowManager()
    {
        if (qgetenv("DISPLAY").isEmpty()) {
            why_ = "no X display";
            return;
        }
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_CONFIG_HOME", dir_.path());
        environment.insert("XDG_CACHE_HOME", dir_.path());
        process_.setProcessEnvironment(environment);
        process_.setProcessChannelMode(QProcess::MergedChannels);
        // Openbox runs the startup command once it manages the screen.
        const QString ready = dir_.path() + "/ready";
        process_.start("openbox", {"--sm-disable", "--startup", "touch " + ready});
        if (!process_.waitForStarted(5000)) {
            why_ = "openbox cannot be started (scripts/install-deps.sh installs it)";
            return;
        }
        QElapsedTimer clock;
        clock.start();
        while (!QFile::exists(ready) && process_.state() == QProcess::Running && clock.elapsed() < 15000) {
            process_.waitForFinished(50);
        }
        if (!QFile::exists(ready)) {
            why_ = "openbox did not take the display: " + QString::fromUtf8(process_.readAll()).trimmed();
            Stop();
            return;
        }
        running_ = true;
    }
    ~WindowManager() { Stop(); }
    bool Running() const { return running_; }
    std::string Why() const { return why_.toStdString(); }

private:
    void Stop()
    {
        if (process_.state() == QProcess::NotRunning) return;
        process_.terminate();
        if (!process_.waitForFinished(5000)) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }

    QTemporaryDir dir_;
    QProcess process_;
    QString why_;
    bool running_ = false;
};

inline std::string SamplePath(const char* name)
{
    return (SourceDir() / "samples" / name).string();
}

// A main window over the settings store, shown and painted once.
struct Session {
    Settings settings;
    std::unique_ptr<MainWindow> window;

    Session()
    {
        ReadAll(settings);
        window = std::make_unique<MainWindow>(settings);
        window->ShowAtStart();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        EXPECT_TRUE(WaitUntil([this] { return window->View()->FramesPainted() > 0; }));
    }

    bool Load(const std::string& path)
    {
        window->StartModelLoad(QString::fromStdString(path));
        return WaitUntil([this] { return !window->LoadRunning(); });
    }

    void Trigger(int command) { window->MenuAction(command)->trigger(); }

    // Writes the settings as the program does at exit.
    void Quit()
    {
        window->close();
        window->PrepareSettingsForExit();
        WriteAll(settings);
        window.reset();
    }
};

// A session on a fresh settings store of its own (the store outlives the window).
struct FreshSession : FreshStore, Session {};

inline QSize FrameSize(const Session& s)
{
    return s.window->frameGeometry().size();
}

// Whether a window manager has put a frame around the window.
inline bool Framed(const Session& s)
{
    return FrameSize(s) != s.window->geometry().size();
}

// Waits for the frame (when a window manager runs), then makes it measure outer.
inline void DragFrameTo(Session& s, QPoint topLeft, QSize outer, bool managed)
{
    ASSERT_TRUE(WaitUntil([&] { return !managed || Framed(s); }, 5000));
    s.window->resize(outer - (FrameSize(s) - s.window->size()));
    s.window->move(topLeft);
    ASSERT_TRUE(WaitUntil([&] { return FrameSize(s) == outer && s.window->frameGeometry().topLeft() == topLeft; }, 5000))
        << "frame " << testing::PrintToString(FrameSize(s));
}

// Maximise, quit, start again maximised, restore: the frame has its rectangle from before.
inline void MaximiseQuitRestartRestore(bool managed)
{
    FreshStore store;
    {
        Session s;
        DragFrameTo(s, QPoint(210, 120), QSize(700, 500), managed);
        if (::testing::Test::HasFatalFailure()) return;
        EXPECT_EQ(s.settings.window_posx, 210);
        EXPECT_EQ(s.settings.window_x, 700);
        s.window->showMaximized();
        ASSERT_TRUE(WaitUntil([&] { return s.settings.window_state == 3; }));
        EXPECT_EQ(s.settings.prev_window_posx, 210);
        EXPECT_EQ(s.settings.prev_window_x, 700);
        s.Quit();
    }
    {
        Session s;
        EXPECT_TRUE(WaitUntil([&] { return s.window->isMaximized(); }));
        s.window->showNormal();
        ASSERT_TRUE(WaitUntil([&] { return s.settings.window_state == 1; }));
        EXPECT_TRUE(WaitUntil([&] { return FrameSize(s) == QSize(700, 500); }, 5000))
            << "frame " << testing::PrintToString(FrameSize(s));
        QTest::qWait(300);  // nothing moves afterwards
        EXPECT_EQ(s.settings.window_posx, 210);
        EXPECT_EQ(s.settings.window_y, 500);
        EXPECT_EQ(FrameSize(s), QSize(700, 500));
        EXPECT_EQ(s.window->frameGeometry().topLeft(), QPoint(210, 120));
        s.Quit();
    }
}

}  // namespace solvane::test
