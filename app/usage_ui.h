// The program's side of the usage reports: the start, install and close reports around the run,
// the open3d report after every finished load, the save3d and save2d reports after every save and
// picture export, and the per-turn duties with their boxes (server message, update offer, download
// status, failure and install prompts).
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

#include "core/settings.h"
#include "net/usage.h"

namespace solvane {

class MainWindow;
class StatusBox;

class UsageSession : public QObject {
public:
    // settings must outlive the session; config names the endpoint (the built-in one by default).
    UsageSession(Settings& settings, const UsageConfig& config = UsageConfig());
    ~UsageSession() override;

    // When install_flag is set: clears it, starts the install report and writes all settings.
    void SendInstallReportIfFlagged();
    // The start report; sent whether or not usage reporting is on.
    void StartStartReport();
    // Reports every finished load and save of the window and runs the per-turn duties every 50 ms,
    // with the window owning the boxes.
    void Attach(MainWindow& window);
    // At exit, when usage reporting is on: the close report, on this thread.
    void SendCloseReport();

    UsageClient& Client() { return client_; }
    // How a downloaded package is handed to the desktop (its "open" action by default) and how
    // the program is asked to quit (a posted quit by default).
    std::function<void(const QString& path)> openPackage;
    std::function<void()> quit;

private:
    class Boxes;
    void Turn();

    Settings& settings_;
    UsageClient client_;
    std::unique_ptr<Boxes> boxes_;
    QPointer<MainWindow> window_;
    QTimer turnTimer_;
};

}  // namespace solvane
