// Helpers of the GUI tests: waiting on the event loop, answering modal boxes, fresh stores.
#pragma once

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>
#include <memory>

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

// Answers the next modal box (accepting it) and records its title and text.
struct ModalWatcher {
    QString title;
    QString text;
    QString objectName;
    bool seen = false;

    void Arm(int delayMs = 50)
    {
        QTimer::singleShot(delayMs, [this] { Poll(); });
    }

    void Poll()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) {
            QTimer::singleShot(20, [this] { Poll(); });
            return;
        }
        title = modal->windowTitle();
        text = ModalText(modal);
        objectName = modal->objectName();
        seen = true;
        if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->accept();
        else modal->close();
    }
};

}  // namespace solvane::test
