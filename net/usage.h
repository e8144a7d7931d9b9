// Anonymous usage reports to the usage-reporting endpoint, and the endpoint's replies: a message
// to show once and an update package to offer, download and hand to the desktop.
//
// Reports, the message fetch and the download run on short-lived detached threads. They share no
// lock with the interface thread: each flag below is raised by one side and lowered by the other,
// and the texts a flag announces are written before it is raised (release) and read after it is
// seen (acquire).
#pragma once

#include <atomic>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <string>

#include "core/model.h"
#include "core/settings.h"
#include "net/http_client.h"

namespace solvane {

struct UsageEndpoint {
    std::string host;   // a name or an IPv4 address
    uint16_t port = 80;
};
// The endpoint chosen when the program is built (SOLVANE_USAGE_HOST, SOLVANE_USAGE_PORT); the
// default is the loopback address, so nothing leaves the machine unless a packager says so.
UsageEndpoint BuiltInUsageEndpoint();

struct UsageConfig {
    UsageEndpoint endpoint = BuiltInUsageEndpoint();
    HttpOptions http;
    // Whether the machine is on-line; empty asks InternetConnected for the endpoint's host.
    std::function<bool()> connected;
    // Where the update package is saved; empty means the system's temporary folder.
    std::string tempDir;
};

constexpr const char* kUpdatePackageName = "Solvane_upgrade.exe";

// What a report thread is handed after a model or image is opened or saved.
struct UsageEvent {
    int32_t success = 0;  // 1 or 0; a failed model load carries its result code
    char type[64] = {};   // format name; blanks are sent as "-"
    int32_t time = 0;     // seconds the operation took
    int32_t a = 0;        // 3-D: sub-meshes; 2-D: width
    int32_t b = 0;        // 3-D: vertices; 2-D: height
    int32_t c = 0;        // 3-D: faces
    int32_t d = 0;        // 3-D: textures
    int32_t e = 0;        // 3-D: materials
    std::atomic<int32_t> taken{0};  // set by the report thread once it has copied the record

    void SetType(const char* name);
};

enum class UsageEventKind { Open3d, Save3d, Open2d, Save2d };

// The start reply: line 1 the newest message id; then, when line 2 begins with "0", line 3 the
// package URL and line 4 its description.
struct StartReply {
    int32_t newestMessageId = 0;
    bool updateAvailable = false;
    std::string updateUrl;
    std::string updateDescription;
};
StartReply ParseStartReply(const char* reply);

// The message reply: the title up to the first "\n", the body after it. False without a "\n".
bool ParseMessageReply(const char* reply, std::string& title, std::string& body);

// The request paths with their queries (no encoding beyond the "%s"/"%d" formatting).
std::string StartPath(const std::string& machine);
std::string InstallPath(const std::string& machine);
std::string ClosePath(const std::string& machine, int64_t runtime);
std::string EventPath(UsageEventKind kind, const std::string& machine, const UsageEvent& event);
std::string MessagesPath(int32_t id);
// "http://host[:port]" followed by the path; the port is left out when it is 80.
std::string EndpointUrl(const UsageEndpoint& endpoint, const std::string& path);

// What the interface offers the per-turn duties: boxes and the desktop.
class UsageUi {
public:
    virtual ~UsageUi() = default;
    virtual void ShowMessage(const std::string& title, const std::string& body) = 0;
    // "Update Available!": true for OK.
    virtual bool AskUpdate(const std::string& description) = 0;
    // The status text and the modeless status box with its 0..100 bar.
    virtual void OpenDownloadStatus() = 0;
    virtual void ShowDownloadProgress(int percent) = 0;
    virtual void CloseDownloadStatus() = 0;
    // "Update Failed": true for Retry.
    virtual bool AskRetryDownload() = 0;
    // "Update Download Successfull": true for OK.
    virtual bool AskInstall() = 0;
    virtual void OpenPackage(const std::string& path) = 0;
    virtual void Quit() = 0;
};

class UsageClient {
public:
    // machineId is the stored one (empty until made); startTime is the program's start.
    explicit UsageClient(UsageConfig config, std::string machineId = {}, std::time_t startTime = std::time(nullptr));
    ~UsageClient();
    UsageClient(const UsageClient&) = delete;
    UsageClient& operator=(const UsageClient&) = delete;

    // Threads: the start report (sent whatever the reporting switch says: its reply carries
    // messages and updates) and the install report.
    void StartStartReport();
    void StartInstallReport();
    // The close report, on the calling thread; runtime counts from the start time.
    bool ReportClose();
    // Starts the report thread for the event and waits, 1 ms at a time, until it has taken its
    // copy, so the caller's record may go out of scope.
    void ReportEvent(UsageEventKind kind, UsageEvent& event);
    void StartFetchMessage(int32_t id);
    void StartDownloadUpdate();

    // The per-turn duties of the interface thread: start the message fetch when the start reply
    // announces a newer message, show a fetched message (storing its id in the settings), offer an
    // announced update, move the download's bar and finish the download. Also copies a newly
    // made machine id into the settings. A turn started from a box of an earlier turn does nothing.
    void RunTurn(Settings& settings, UsageUi& ui);

    // Empty until made.
    std::string MachineId() const;
    std::time_t StartTime() const;
    // Report, fetch and download threads still running.
    int LiveThreads() const;
    std::string DownloadPath() const;

    struct Shared;

private:
    bool Launch(std::function<void()> body);
    std::shared_ptr<Shared> shared_;
    bool inTurn_ = false;
};

// open3d for a finished model load, when usage reporting is on: success 1 with the model's
// counts, or the load's result code with zero counts; the time from the job's start.
void ReportModelLoad(UsageClient& client, const Settings& settings, const Model* model, int32_t resultCode,
                     const char* formatName, std::time_t loadStart);
// open2d for a finished image read (a background or texture-map image), when usage reporting is
// on: success 1 or 0, the image format's name, the time from loadStart, the image's size (zeros
// when it was not read).
void ReportImageLoad(UsageClient& client, const Settings& settings, bool success, const char* formatName,
                     std::time_t loadStart, int32_t width, int32_t height);
// save3d for a finished model save, when usage reporting is on: success 1 with the written
// model's counts, or 0 with zero counts; the written format's name; the time from saveStart.
void ReportModelSave(UsageClient& client, const Settings& settings, bool success, const Model* model,
                     const char* formatName, std::time_t saveStart);
// save2d for a finished picture export, when usage reporting is on: success 1 or 0, the image
// format's name, the time from saveStart, the picture's size (zeros when it was not written).
void ReportImageSave(UsageClient& client, const Settings& settings, bool success, const char* formatName,
                     std::time_t saveStart, int32_t width, int32_t height);
// The close report, when usage reporting is on.
void ReportCloseWhenEnabled(UsageClient& client, const Settings& settings);

}  // namespace solvane
