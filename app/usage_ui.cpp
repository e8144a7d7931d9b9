#include "app/usage_ui.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QUrl>

#include "app/dialogs.h"
#include "app/main_window.h"
#include "app/settings_store.h"
#include "core/format_id.h"

namespace solvane {

// The boxes of the per-turn duties, owned by the main window. Server texts are shown as plain
// text, never as rich text.
class UsageSession::Boxes : public UsageUi {
public:
    explicit Boxes(UsageSession& session) : session_(session) {}

    void ShowMessage(const std::string& title, const std::string& body) override
    {
        // Stored at once, so the message is shown once even when settings are not saved at exit.
        WriteInt("http_message_id", session_.settings_.http_message_id);
        Ask(QMessageBox::Information, QString::fromStdString(title), QString::fromStdString(body), QMessageBox::Ok);
    }

    bool AskUpdate(const std::string& description) override
    {
        const QString text = QString("Solvane Software Update Available:\n\n\"%1\"\n\nPress OK to begin download of "
                                     "the update package.")
                                 .arg(QString::fromStdString(description));
        return Ask(QMessageBox::Information, "Update Available!", text, QMessageBox::Ok | QMessageBox::Cancel) ==
               QMessageBox::Ok;
    }

    void OpenDownloadStatus() override
    {
        StatusText() = "Solvane update download in progress...";
        status_ = new StatusBox(session_.window_);
        status_->setAttribute(Qt::WA_DeleteOnClose);
        status_->SetRange(0, 100);
        status_->show();
    }

    void ShowDownloadProgress(int percent) override
    {
        if (status_) status_->SetProgress(percent);
    }

    void CloseDownloadStatus() override
    {
        StatusText() = "Status:";
        if (status_) status_->close();
    }

    bool AskRetryDownload() override
    {
        const QString text = QString("The update failed to download.  If this problem persists, try manually "
                                     "downloading the update at ") +
                             ProductWebPage();
        return Ask(QMessageBox::Critical, "Update Failed", text, QMessageBox::Retry | QMessageBox::Cancel) ==
               QMessageBox::Retry;
    }

    bool AskInstall() override
    {
        return Ask(QMessageBox::Information, "Update Download Successfull",
                   "The installation portion of the update process is ready to begin.  Press OK to continue.",
                   QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
    }

    void OpenPackage(const std::string& path) override { session_.openPackage(QString::fromStdString(path)); }
    void Quit() override { session_.quit(); }

private:
    int Ask(QMessageBox::Icon icon, const QString& title, const QString& text, QMessageBox::StandardButtons buttons)
    {
        QMessageBox box(icon, title, text, buttons, session_.window_);
        box.setTextFormat(Qt::PlainText);
        return box.exec();
    }

    UsageSession& session_;
    QPointer<StatusBox> status_;
};

UsageSession::UsageSession(Settings& settings, const UsageConfig& config)
    : settings_(settings), client_(config, settings.http_machine_id), boxes_(std::make_unique<Boxes>(*this))
{
    // The package is opened, never run: the desktop picks what opens it.
    openPackage = [](const QString& path) { QDesktopServices::openUrl(QUrl::fromLocalFile(path)); };
    quit = [] { QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection); };
    turnTimer_.setInterval(50);
    connect(&turnTimer_, &QTimer::timeout, this, &UsageSession::Turn);
    // A machine id made by a report thread reaches the record before the settings are written at
    // exit.
    if (QCoreApplication::instance()) {
        connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, [this] {
            if (settings_.http_machine_id.empty()) settings_.http_machine_id = client_.MachineId();
        });
    }
}

UsageSession::~UsageSession()
{
    turnTimer_.stop();
}

void UsageSession::SendInstallReportIfFlagged()
{
    if (!settings_.install_flag) return;
    settings_.install_flag = 0;
    client_.StartInstallReport();
    WriteAll(settings_);
}

void UsageSession::StartStartReport()
{
    client_.StartStartReport();
}

void UsageSession::Attach(MainWindow& window)
{
    window_ = &window;
    window.SetLoadFinishedHook([this](const LoadJob& job, const Model* model, int32_t resultCode) {
        const FormatId format = model ? model->formatId : IdentifyFormat(job.Path().c_str());
        ReportModelLoad(client_, settings_, model, resultCode, FormatShortName(format), job.StartTime());
    });
    window.SetImageLoadedHook([this](const ImageLoadOutcome& outcome) {
        ReportImageLoad(client_, settings_, outcome.success, ImageFormatName(outcome.format), outcome.start,
                        outcome.width, outcome.height);
    });
    window.SetSaveFinishedHook([this](const SaveOutcome& outcome) {
        if (outcome.kind == SaveOutcome::Kind::Model) {
            ReportModelSave(client_, settings_, outcome.success, outcome.model, outcome.formatName.c_str(), outcome.start);
        } else {
            ReportImageSave(client_, settings_, outcome.success, outcome.formatName.c_str(), outcome.start,
                            outcome.width, outcome.height);
        }
    });
    turnTimer_.start();
}

void UsageSession::SendCloseReport()
{
    turnTimer_.stop();
    ReportCloseWhenEnabled(client_, settings_);
}

void UsageSession::Turn()
{
    if (!window_) {
        turnTimer_.stop();
        return;
    }
    client_.RunTurn(settings_, *boxes_);
}

}  // namespace solvane
