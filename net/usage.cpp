#include "net/usage.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "net/connection.h"
#include "net/machine_id.h"

#ifndef SOLVANE_USAGE_HOST
#define SOLVANE_USAGE_HOST "127.0.0.1"
#endif
#ifndef SOLVANE_USAGE_PORT
#define SOLVANE_USAGE_PORT 28318
#endif

namespace solvane {
namespace {

constexpr const char* kVersionTag = "Solvane_Viewer-3-rb5";
constexpr size_t kStartReplyCapacity = 1500;
constexpr size_t kMessageReplyCapacity = 5000;
constexpr size_t kMaxLine = 1499;
constexpr size_t kMaxTitle = 159;
constexpr size_t kMaxBody = 4095;

// The text from p up to "\n" or the end, at most limit characters; a carriage return before the
// "\n" is dropped so that servers writing CRLF lines work too. p is left on the "\n" or the end.
std::string TakeLine(const char*& p, size_t limit)
{
    const char* start = p;
    while (*p && *p != '\n') ++p;
    size_t length = static_cast<size_t>(p - start);
    if (length > 0 && start[length - 1] == '\r') --length;
    return std::string(start, length < limit ? length : limit);
}

int32_t LeadingNumber(const char* p)
{
    while (*p == ' ' || *p == '\t') ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    int64_t value = 0;
    while (*p >= '0' && *p <= '9' && value <= INT32_MAX) value = value * 10 + (*p++ - '0');
    if (value > INT32_MAX) value = INT32_MAX;
    return static_cast<int32_t>(negative ? -value : value);
}

}  // namespace

struct UsageClient::Shared {
    UsageConfig config;
    std::time_t startTime = 0;

    std::mutex machineMutex;  // protects machineId: any report thread may make it
    std::string machineId;

    std::atomic<int32_t> serverMessageId{0};
    std::atomic<bool> startReplyReady{false};

    std::string messageTitle;  // written by the fetch thread before messageReady
    std::string messageBody;
    std::atomic<int32_t> fetchedMessageId{0};
    std::atomic<bool> messageReady{false};

    std::string updateUrl;  // written by the start thread before updateAvailable
    std::string updateDescription;
    std::atomic<bool> updateAvailable{false};

    std::mutex downloadMutex;  // protects downloadPath
    std::string downloadPath;
    std::atomic<int> progress{0};
    std::atomic<bool> downloadDone{false};
    std::atomic<bool> downloadFailed{false};

    std::atomic<int> liveThreads{0};

    bool Connected() const
    {
        return config.connected ? config.connected() : InternetConnected(config.endpoint.host);
    }
    std::string Machine()
    {
        std::lock_guard<std::mutex> lock(machineMutex);
        if (machineId.empty()) machineId = MakeMachineId();
        return machineId;
    }
    std::string Url(const std::string& path) const { return EndpointUrl(config.endpoint, path); }
};

UsageEndpoint BuiltInUsageEndpoint()
{
    return {SOLVANE_USAGE_HOST, static_cast<uint16_t>(SOLVANE_USAGE_PORT)};
}

void UsageEvent::SetType(const char* name)
{
    std::snprintf(type, sizeof(type), "%s", name ? name : "");
}

StartReply ParseStartReply(const char* reply)
{
    StartReply result;
    if (!reply) return result;
    result.newestMessageId = LeadingNumber(reply);
    const char* p = std::strchr(reply, '\n');
    // Line 2 must begin with "0", or no update is offered.
    if (!p || p[1] != '0') return result;
    p = std::strchr(p + 1, '\n');
    if (!p) return result;
    ++p;
    std::string url = TakeLine(p, kMaxLine);
    if (*p != '\n') return result;
    ++p;
    std::string description = TakeLine(p, kMaxLine);
    // An empty line 4 (or none) and an empty URL announce nothing.
    if (description.empty() || url.empty()) return result;
    result.updateUrl = std::move(url);
    result.updateDescription = std::move(description);
    result.updateAvailable = true;
    return result;
}

bool ParseMessageReply(const char* reply, std::string& title, std::string& body)
{
    if (!reply || !std::strchr(reply, '\n')) return false;
    const char* p = reply;
    title = TakeLine(p, kMaxTitle);
    ++p;
    body.assign(p, std::min(std::strlen(p), kMaxBody));
    return true;
}

std::string StartPath(const std::string& machine)
{
    return std::string("/solvane-bin/client/start.cgi?version=") + kVersionTag + "&machine=" + machine;
}

std::string InstallPath(const std::string& machine)
{
    return std::string("/solvane-bin/client/install.cgi?version=") + kVersionTag + "&machine=" + machine;
}

std::string ClosePath(const std::string& machine, int64_t runtime)
{
    return std::string("/solvane-bin/client/close.cgi?version=") + kVersionTag + "&machine=" + machine +
           "&runtime=" + std::to_string(static_cast<int32_t>(runtime));
}

std::string EventPath(UsageEventKind kind, const std::string& machine, const UsageEvent& event)
{
    const char* name = "open3d";
    const char* timeKey = "opentime";
    switch (kind) {
    case UsageEventKind::Open3d: break;
    case UsageEventKind::Save3d: name = "save3d"; timeKey = "savetime"; break;
    case UsageEventKind::Open2d: name = "open2d"; break;
    case UsageEventKind::Save2d: name = "save2d"; timeKey = "savetime"; break;
    }
    std::string path = std::string("/solvane-bin/client/") + name + ".cgi?version=" + kVersionTag +
                       "&machine=" + machine + "&success=" + std::to_string(event.success) +
                       "&type=" + std::string(event.type, strnlen(event.type, sizeof(event.type))) + "&" + timeKey +
                       "=" + std::to_string(event.time);
    if (kind == UsageEventKind::Open3d || kind == UsageEventKind::Save3d) {
        path += "&numsubmeshes=" + std::to_string(event.a) + "&numvertices=" + std::to_string(event.b) +
                "&numfaces=" + std::to_string(event.c) + "&numtextures=" + std::to_string(event.d) +
                "&nummaterials=" + std::to_string(event.e);
    } else {
        path += "&width=" + std::to_string(event.a) + "&height=" + std::to_string(event.b);
    }
    return path;
}

std::string MessagesPath(int32_t id)
{
    return "/solvane-bin/client/messages.cgi?id=" + std::to_string(id);
}

std::string EndpointUrl(const UsageEndpoint& endpoint, const std::string& path)
{
    // Appended piece by piece: GCC 12 at -O3 warns (-Wrestrict) on "literal" + std::string.
    std::string url = "http://";
    url += endpoint.host;
    if (endpoint.port != 80) {
        url += ':';
        url += std::to_string(endpoint.port);
    }
    url += path;
    return url;
}

UsageClient::UsageClient(UsageConfig config, std::string machineId, std::time_t startTime)
    : shared_(std::make_shared<Shared>())
{
    shared_->config = std::move(config);
    shared_->machineId = std::move(machineId);
    shared_->startTime = startTime;
}

// Threads still running hold the shared state themselves and end on their own.
UsageClient::~UsageClient() = default;

bool UsageClient::Launch(std::function<void()> body)
{
    std::shared_ptr<Shared> shared = shared_;
    ++shared->liveThreads;
    try {
        std::thread([shared, body = std::move(body)] {
            body();
            --shared->liveThreads;
        }).detach();
        return true;
    } catch (const std::system_error&) {
        --shared->liveThreads;  // no thread: the report is dropped, like a network failure
        return false;
    }
}

void UsageClient::StartStartReport()
{
    std::shared_ptr<Shared> s = shared_;
    Launch([s] {
        if (!s->Connected()) return;
        std::vector<char> reply(kStartReplyCapacity);
        if (!HttpGetToBuffer(s->Url(StartPath(s->Machine())).c_str(), reply.data(), reply.size(), s->config.http))
            return;
        StartReply parsed = ParseStartReply(reply.data());
        if (parsed.updateAvailable) {
            s->updateUrl = std::move(parsed.updateUrl);
            s->updateDescription = std::move(parsed.updateDescription);
        }
        s->serverMessageId.store(parsed.newestMessageId);
        s->startReplyReady.store(true, std::memory_order_release);
        if (parsed.updateAvailable) s->updateAvailable.store(true, std::memory_order_release);
    });
}

void UsageClient::StartInstallReport()
{
    std::shared_ptr<Shared> s = shared_;
    Launch([s] {
        if (!s->Connected()) return;
        HttpFireAndForget(s->Url(InstallPath(s->Machine())), s->config.http);
    });
}

bool UsageClient::ReportClose()
{
    Shared& s = *shared_;
    if (!s.Connected()) return false;
    const int64_t runtime = static_cast<int64_t>(std::time(nullptr) - s.startTime);
    return HttpFireAndForget(s.Url(ClosePath(s.Machine(), runtime)), s.config.http);
}

void UsageClient::ReportEvent(UsageEventKind kind, UsageEvent& event)
{
    std::shared_ptr<Shared> s = shared_;
    UsageEvent* handed = &event;
    handed->taken.store(0);
    const bool launched = Launch([s, kind, handed] {
        UsageEvent copy;
        copy.success = handed->success;
        std::memcpy(copy.type, handed->type, sizeof(copy.type));
        copy.type[sizeof(copy.type) - 1] = '\0';
        copy.time = handed->time;
        copy.a = handed->a;
        copy.b = handed->b;
        copy.c = handed->c;
        copy.d = handed->d;
        copy.e = handed->e;
        handed->taken.store(1, std::memory_order_release);  // the caller's record may go now
        if (!s->Connected()) return;
        for (char& c : copy.type) {
            if (c == ' ') c = '-';
        }
        HttpFireAndForget(s->Url(EventPath(kind, s->Machine(), copy)), s->config.http);
    });
    if (!launched) return;  // nobody will take the record
    while (event.taken.load(std::memory_order_acquire) == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void UsageClient::StartFetchMessage(int32_t id)
{
    std::shared_ptr<Shared> s = shared_;
    Launch([s, id] {
        std::vector<char> reply(kMessageReplyCapacity);
        std::string title, body;
        if (!HttpGetToBuffer(s->Url(MessagesPath(id)).c_str(), reply.data(), reply.size(), s->config.http) ||
            !ParseMessageReply(reply.data(), title, body)) {
            s->serverMessageId.store(0);  // not tried again in this run
            return;
        }
        s->messageTitle = std::move(title);
        s->messageBody = std::move(body);
        s->fetchedMessageId.store(id);
        s->messageReady.store(true, std::memory_order_release);
    });
}

void UsageClient::StartDownloadUpdate()
{
    std::shared_ptr<Shared> s = shared_;
    s->downloadDone.store(false);
    s->downloadFailed.store(false);
    s->progress.store(0);
    Launch([s] {
        s->downloadDone.store(false);
        s->progress.store(0);
        std::string folder = s->config.tempDir;
        if (folder.empty()) {
            std::error_code error;
            folder = std::filesystem::temp_directory_path(error).string();
            if (error) folder.clear();
        }
        bool ok = false;
        if (!folder.empty()) {
            const std::string path = (std::filesystem::path(folder) / kUpdatePackageName).string();
            {
                std::lock_guard<std::mutex> lock(s->downloadMutex);
                s->downloadPath = path;
            }
            ok = HttpGetToFile(s->updateUrl, path, &s->progress, s->config.http);
        }
        s->downloadFailed.store(!ok);
        s->downloadDone.store(true, std::memory_order_release);
        s->progress.store(100, std::memory_order_release);
    });
}

void UsageClient::RunTurn(Settings& settings, UsageUi& ui)
{
    if (inTurn_) return;
    inTurn_ = true;
    Shared& s = *shared_;
    {
        std::lock_guard<std::mutex> lock(s.machineMutex);
        if (settings.http_machine_id.empty() && !s.machineId.empty()) settings.http_machine_id = s.machineId;
    }
    // 1. A newer message than the one last shown: fetch it.
    if (s.startReplyReady.exchange(false, std::memory_order_acquire)) {
        const int32_t newest = s.serverMessageId.load();
        if (newest > settings.http_message_id) StartFetchMessage(newest);
    }
    // 2. A fetched message: shown once, its id kept.
    if (s.messageReady.exchange(false, std::memory_order_acquire)) {
        settings.http_message_id = s.fetchedMessageId.load();
        ui.ShowMessage(s.messageTitle, s.messageBody);
    }
    // 3. An announced update: ask, then download with the status box.
    if (s.updateAvailable.exchange(false, std::memory_order_acquire)) {
        if (ui.AskUpdate(s.updateDescription)) {
            StartDownloadUpdate();
            ui.OpenDownloadStatus();
        }
    }
    // 4. The bar follows the download.
    const bool done = s.downloadDone.load(std::memory_order_acquire);
    const int progress = s.progress.load(std::memory_order_acquire);
    if (!done && progress > 0 && progress < 100) ui.ShowDownloadProgress(progress);
    // 5. The download has ended.
    if (done && progress == 100) {
        s.progress.store(0);
        ui.CloseDownloadStatus();
        if (s.downloadFailed.load()) {
            if (ui.AskRetryDownload()) StartDownloadUpdate();
        } else if (ui.AskInstall()) {
            ui.OpenPackage(DownloadPath());
            ui.Quit();
        }
    }
    inTurn_ = false;
}

std::string UsageClient::MachineId() const
{
    std::lock_guard<std::mutex> lock(shared_->machineMutex);
    return shared_->machineId;
}

std::time_t UsageClient::StartTime() const
{
    return shared_->startTime;
}

int UsageClient::LiveThreads() const
{
    return shared_->liveThreads.load();
}

std::string UsageClient::DownloadPath() const
{
    std::lock_guard<std::mutex> lock(shared_->downloadMutex);
    return shared_->downloadPath;
}

namespace {

// The outcome of a finished load or save, its format and the seconds it took.
void SetOutcome(UsageEvent& event, int32_t success, const char* formatName, std::time_t start)
{
    event.success = success;
    event.SetType(formatName);
    event.time = static_cast<int32_t>(std::time(nullptr) - start);
}

// The model's sub-mesh, vertex, face, texture and material counts in the event's a..e.
void SetModelCounts(UsageEvent& event, const Model& model)
{
    event.a = model.SubMeshCount();
    event.b = static_cast<int32_t>(TotalVertices(model));
    event.c = static_cast<int32_t>(TotalFaces(model));
    event.d = model.TextureCount();
    event.e = model.MaterialCount();
}

void ReportImage(UsageClient& client, UsageEventKind kind, bool success, const char* formatName,
                 std::time_t start, int32_t width, int32_t height)
{
    UsageEvent event;
    SetOutcome(event, success ? 1 : 0, formatName, start);
    event.a = success ? width : 0;
    event.b = success ? height : 0;
    client.ReportEvent(kind, event);
}

}  // namespace

void ReportModelLoad(UsageClient& client, const Settings& settings, const Model* model, int32_t resultCode,
                     const char* formatName, std::time_t loadStart)
{
    if (!settings.enable_BE_stats) return;
    UsageEvent event;
    SetOutcome(event, model ? 1 : resultCode, formatName, loadStart);
    if (model) SetModelCounts(event, *model);
    client.ReportEvent(UsageEventKind::Open3d, event);
}

void ReportImageLoad(UsageClient& client, const Settings& settings, bool success, const char* formatName,
                     std::time_t loadStart, int32_t width, int32_t height)
{
    if (settings.enable_BE_stats) ReportImage(client, UsageEventKind::Open2d, success, formatName, loadStart, width, height);
}

void ReportModelSave(UsageClient& client, const Settings& settings, bool success, const Model* model,
                     const char* formatName, std::time_t saveStart)
{
    if (!settings.enable_BE_stats) return;
    UsageEvent event;
    SetOutcome(event, success ? 1 : 0, formatName, saveStart);
    if (success && model) SetModelCounts(event, *model);
    client.ReportEvent(UsageEventKind::Save3d, event);
}

void ReportImageSave(UsageClient& client, const Settings& settings, bool success, const char* formatName,
                     std::time_t saveStart, int32_t width, int32_t height)
{
    if (settings.enable_BE_stats) ReportImage(client, UsageEventKind::Save2d, success, formatName, saveStart, width, height);
}

void ReportCloseWhenEnabled(UsageClient& client, const Settings& settings)
{
    if (settings.enable_BE_stats) client.ReportClose();
}

}  // namespace solvane
