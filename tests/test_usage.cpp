// The usage reports, the start and message replies and the per-turn duties, against the reference
// server on loopback with a recording stand-in for the boxes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "net/connection.h"
#include "net/machine_id.h"
#include "net/server/usage_server.h"
#include "net/usage.h"
#include "tests/net_test_support.h"
#include "tests/test_support.h"

namespace solvane {
namespace {

using test::Field;
using test::LogLines;

// ---- Machine id --------------------------------------------------------------------------------

TEST(MachineId, ParkMillerMinimalStandardSequence)
{
    ParkMiller generator(1);
    EXPECT_EQ(generator.Next(), 16807u);
    EXPECT_EQ(generator.Next(), 282475249u);
    EXPECT_EQ(generator.Next(), 1622650073u);
    ParkMiller check(1);
    uint32_t value = 0;
    for (int i = 0; i < 10000; ++i) value = check.Next();
    EXPECT_EQ(value, 1043618065u);  // the published check value of the minimal standard
    // The top bit of the seed is dropped and a zero state becomes 1.
    EXPECT_EQ(ParkMiller(0x80000001u).Next(), 16807u);
    EXPECT_EQ(ParkMiller(0).Next(), 16807u);
    EXPECT_EQ(ParkMiller(0x80000000u).Next(), 16807u);
    EXPECT_EQ(ParkMiller(9).Draw(4, 4), 4);
}

TEST(MachineId, ThirtyTwoCharactersOfTheAlphabet)
{
    const std::string id = MakeMachineId(1);
    ASSERT_EQ(id.size(), 32u);
    EXPECT_EQ(id[0], 'f');  // 16807 mod 62 = 5
    EXPECT_EQ(id[1], kMachineIdAlphabet[282475249u % 62]);
    EXPECT_EQ(MakeMachineId(1), id);
    EXPECT_EQ(std::string(kMachineIdAlphabet).substr(52), "1234567890");
    const std::string fresh = MakeMachineId();
    EXPECT_EQ(fresh.find_first_not_of(kMachineIdAlphabet), std::string::npos);
}

TEST(Connection, LoopbackEndpointsCountAsReachable)
{
    for (const char* host : {"127.0.0.1", "127.8.9.10", "::1", "localhost"}) {
        EXPECT_TRUE(IsLoopbackHost(host)) << host;
        EXPECT_TRUE(InternetConnected(host)) << host;
    }
    for (const char* host : {"128.0.0.1", "10.0.0.1", "::2", "usage.example", "127.0.0.1.example"}) {
        EXPECT_FALSE(IsLoopbackHost(host)) << host;
    }
}

// ---- Replies -----------------------------------------------------------------------------------

TEST(StartReply, LinesAnnounceMessageAndUpdate)
{
    struct Case {
        const char* reply;
        int32_t id;
        bool update;
        const char* url;
        const char* description;
    } cases[] = {
        {"5", 5, false, "", ""},
        {"6\n", 6, false, "", ""},
        {"7\n0\nhttp://h/u.exe\nNew version\n", 7, true, "http://h/u.exe", "New version"},
        {"7\n0 and more\nhttp://h/u.exe\nNew version", 7, true, "http://h/u.exe", "New version"},
        {"7\r\n0\r\nhttp://h/u.exe\r\nNew\r\n", 7, true, "http://h/u.exe", "New"},  // CRLF lines
        {"7\n1\nhttp://h/u.exe\nNew version\n", 7, false, "", ""},   // line 2 not starting with 0
        {"7\n 0\nhttp://h/u.exe\nNew version\n", 7, false, "", ""},
        {"7\n0\nhttp://h/u.exe\n\nNew version\n", 7, false, "", ""},  // empty line 4
        {"7\n0\nhttp://h/u.exe\n", 7, false, "", ""},
        {"7\n0\nhttp://h/u.exe", 7, false, "", ""},
        {"7\n0", 7, false, "", ""},
        {"7\n0\n\nNew version\n", 7, false, "", ""},  // no URL
        {"junk", 0, false, "", ""},
        {"", 0, false, "", ""},
    };
    for (const Case& c : cases) {
        const StartReply reply = ParseStartReply(c.reply);
        EXPECT_EQ(reply.newestMessageId, c.id) << c.reply;
        EXPECT_EQ(reply.updateAvailable, c.update) << c.reply;
        EXPECT_EQ(reply.updateUrl, c.url) << c.reply;
        EXPECT_EQ(reply.updateDescription, c.description) << c.reply;
    }
    const std::string longLine = "1\n0\n" + std::string(3000, 'u') + "\nd";
    EXPECT_EQ(ParseStartReply(longLine.c_str()).updateUrl.size(), 1499u);
}

TEST(MessageReply, TitleThenBodyAndNothingWithoutALineBreak)
{
    std::string title, body;
    ASSERT_TRUE(ParseMessageReply("Hello\nSecond\nThird", title, body));
    EXPECT_EQ(title, "Hello");
    EXPECT_EQ(body, "Second\nThird");
    EXPECT_FALSE(ParseMessageReply("Only a title", title, body));
    const std::string longTitle = std::string(500, 't') + "\n" + std::string(5000, 'b');
    ASSERT_TRUE(ParseMessageReply(longTitle.c_str(), title, body));
    EXPECT_EQ(title.size(), 159u);
    EXPECT_EQ(body.size(), 4095u);
}

TEST(UsageRequests, PathsAndEndpointUrl)
{
    UsageEvent event;
    event.success = 1;
    event.SetType("PC-Paintbrush");
    event.time = 3;
    event.a = 64;
    event.b = 32;
    EXPECT_EQ(EventPath(UsageEventKind::Save2d, "m", event),
              "/solvane-bin/client/save2d.cgi?version=Solvane_Viewer-3-rb5&machine=m&success=1&type=PC-Paintbrush"
              "&savetime=3&width=64&height=32");
    EXPECT_EQ(ClosePath("m", 12), "/solvane-bin/client/close.cgi?version=Solvane_Viewer-3-rb5&machine=m&runtime=12");
    EXPECT_EQ(EndpointUrl({"usage.example", 80}, "/x"), "http://usage.example/x");
    EXPECT_EQ(EndpointUrl({"127.0.0.1", 8080}, "/x"), "http://127.0.0.1:8080/x");
    EXPECT_EQ(BuiltInUsageEndpoint().host, "127.0.0.1");  // nothing leaves the machine by default
}

// ---- Reports and duties against the reference server --------------------------------------------

struct FakeUi : UsageUi {
    std::vector<std::string> calls;
    std::string title, body, description, opened;
    bool acceptUpdate = true;
    int retries = 0;  // how many "Update Failed" boxes answer Retry
    bool acceptInstall = true;
    int lastProgress = -1;

    void ShowMessage(const std::string& t, const std::string& b) override
    {
        calls.push_back("message");
        title = t;
        body = b;
    }
    bool AskUpdate(const std::string& d) override
    {
        calls.push_back("ask-update");
        description = d;
        return acceptUpdate;
    }
    void OpenDownloadStatus() override { calls.push_back("status-open"); }
    void ShowDownloadProgress(int percent) override { lastProgress = percent; }
    void CloseDownloadStatus() override { calls.push_back("status-close"); }
    bool AskRetryDownload() override
    {
        calls.push_back("ask-retry");
        return retries-- > 0;
    }
    bool AskInstall() override
    {
        calls.push_back("ask-install");
        return acceptInstall;
    }
    void OpenPackage(const std::string& path) override
    {
        calls.push_back("open");
        opened = path;
    }
    void Quit() override { calls.push_back("quit"); }
    size_t Count(const std::string& call) const { return std::count(calls.begin(), calls.end(), call); }
};

struct Endpoint {
    test::ScratchDir dir;
    std::string log;
    std::unique_ptr<UsageServer> server;

    explicit Endpoint(UsageServerOptions options = {})
    {
        log = (dir.Path() / "usage.log").string();
        options.logPath = log;
        options.receiveTimeoutMs = 2000;
        server = std::make_unique<UsageServer>(options);
        std::string error;
        EXPECT_TRUE(server->Start(error)) << error;
    }
    UsageConfig Config(bool connected = true) const
    {
        UsageConfig config;
        config.endpoint = {"127.0.0.1", server->Port()};
        config.connected = [connected] { return connected; };
        config.tempDir = dir.Path().string();
        config.http.receiveTimeoutMs = 2000;
        return config;
    }
    size_t Lines(const std::string& report) const { return LogLines(log, report).size(); }
};

// Runs turns until done() holds (bounded) and every report thread has ended.
bool Drive(UsageClient& client, Settings& settings, UsageUi& ui, const std::function<bool()>& done)
{
    return test::Eventually([&] {
        client.RunTurn(settings, ui);
        return done() && client.LiveThreads() == 0;
    });
}

UsageServerOptions WithMessage(int32_t id)
{
    UsageServerOptions options;
    options.hasMessage = true;
    options.messageId = id;
    options.messageTitle = "News";
    options.messageBody = "Body text";
    return options;
}

// A newer message is fetched and shown once; a run with the stored id fetches and shows nothing.
TEST(UsageDuties, NewerMessageIsFetchedShownOnceAndStored)
{
    Endpoint endpoint(WithMessage(6));
    Settings settings;
    settings.http_message_id = 5;
    UsageClient client(endpoint.Config());
    FakeUi ui;
    client.StartStartReport();
    ASSERT_TRUE(Drive(client, settings, ui, [&] { return ui.Count("message") == 1; }));
    EXPECT_EQ(ui.title, "News");
    EXPECT_EQ(ui.body, "Body text");
    EXPECT_EQ(settings.http_message_id, 6);
    EXPECT_EQ(Field(LogLines(endpoint.log, "messages").at(0), "id"), "6");
    for (int i = 0; i < 5; ++i) client.RunTurn(settings, ui);
    EXPECT_EQ(ui.Count("message"), 1u);
    // The next run with the stored id shows nothing.
    UsageClient next(endpoint.Config());
    FakeUi nextUi;
    next.StartStartReport();
    ASSERT_TRUE(Drive(next, settings, nextUi, [&] { return endpoint.Lines("start") == 2; }));
    for (int i = 0; i < 5; ++i) next.RunTurn(settings, nextUi);
    EXPECT_TRUE(nextUi.calls.empty());
    EXPECT_EQ(endpoint.Lines("messages"), 1u);
    EXPECT_EQ(settings.http_message_id, 6);
}

TEST(UsageReports, Open3dCarriesTheModelAndDashesForBlanks)
{
    Endpoint endpoint;
    Settings settings;
    UsageClient client(endpoint.Config(), "storedmachineid");
    auto model = NewModel(2, 3, 1);
    model->subMeshes[0].vertices.assign(9, 0.0f);
    const uint32_t corners[3] = {0, 1, 2};
    model->subMeshes[0].AppendFace(corners, 3);
    ReportModelLoad(client, settings, model.get(), 100, "3D Studio format", std::time(nullptr) - 2);
    ASSERT_TRUE(test::Eventually([&] { return endpoint.Lines("open3d") == 1 && client.LiveThreads() == 0; }));
    const std::string line = LogLines(endpoint.log, "open3d").at(0);
    EXPECT_EQ(Field(line, "type"), "3D-Studio-format");
    EXPECT_EQ(Field(line, "machine"), "storedmachineid");
    EXPECT_EQ(Field(line, "success"), "1");
    EXPECT_EQ(Field(line, "numsubmeshes"), "2");
    EXPECT_EQ(Field(line, "numvertices"), "3");
    EXPECT_EQ(Field(line, "numfaces"), "1");
    EXPECT_EQ(Field(line, "numtextures"), "1");
    EXPECT_EQ(Field(line, "nummaterials"), "3");
    const int opentime = std::stoi(Field(line, "opentime"));
    EXPECT_GE(opentime, 2);
    EXPECT_LE(opentime, 4);

    // A failed load sends its result code and zero counts.
    ReportModelLoad(client, settings, nullptr, 103, "Wavefront 3D object", std::time(nullptr));
    ASSERT_TRUE(test::Eventually([&] { return endpoint.Lines("open3d") == 2 && client.LiveThreads() == 0; }));
    const std::string failed = LogLines(endpoint.log, "open3d").at(1);
    EXPECT_EQ(Field(failed, "success"), "103");
    EXPECT_EQ(Field(failed, "type"), "Wavefront-3D-object");
    EXPECT_EQ(Field(failed, "numvertices"), "0");
}

// open2d: width and height of a read image, zeros and success 0 for one that was not read; nothing
// while reporting is off.
TEST(UsageReports, Open2dCarriesTheImageSize)
{
    Endpoint endpoint;
    Settings settings;
    UsageClient client(endpoint.Config(), "storedmachineid");
    ReportImageLoad(client, settings, true, "Windows Bitmap", std::time(nullptr) - 1, 320, 200);
    ReportImageLoad(client, settings, false, "JPEG", std::time(nullptr), 320, 200);
    settings.enable_BE_stats = 0;
    ReportImageLoad(client, settings, true, "TGA", std::time(nullptr), 1, 1);
    ASSERT_TRUE(test::Eventually([&] { return endpoint.Lines("open2d") == 2 && client.LiveThreads() == 0; }));
    auto lines = LogLines(endpoint.log, "open2d");
    std::sort(lines.begin(), lines.end(), [](const std::string& a, const std::string& b) {
        return Field(a, "success") > Field(b, "success");  // the threads may arrive in either order
    });
    EXPECT_EQ(Field(lines[0], "type"), "Windows-Bitmap");
    EXPECT_EQ(Field(lines[0], "success"), "1");
    EXPECT_EQ(Field(lines[0], "width"), "320");
    EXPECT_EQ(Field(lines[0], "height"), "200");
    const int opentime = std::stoi(Field(lines[0], "opentime"));
    EXPECT_GE(opentime, 1);
    EXPECT_LE(opentime, 3);
    EXPECT_EQ(Field(lines[1], "type"), "JPEG");
    EXPECT_EQ(Field(lines[1], "success"), "0");
    EXPECT_EQ(Field(lines[1], "width"), "0");
    EXPECT_EQ(Field(lines[1], "height"), "0");
}

TEST(UsageReports, EventRecordIsTakenBeforeReportEventReturns)
{
    Endpoint endpoint;
    UsageClient client(endpoint.Config(false));
    UsageEvent event;
    event.SetType("x");
    client.ReportEvent(UsageEventKind::Open2d, event);
    EXPECT_EQ(event.taken.load(), 1);
}

TEST(UsageReports, ReportingOffStillSendsStartButNoLoadOrClose)
{
    Endpoint endpoint;
    Settings settings;
    settings.enable_BE_stats = 0;
    UsageClient client(endpoint.Config());
    client.StartStartReport();
    auto model = NewModel(1);
    ReportModelLoad(client, settings, model.get(), 100, "Wavefront 3D object", std::time(nullptr));
    ReportCloseWhenEnabled(client, settings);
    ASSERT_TRUE(test::Eventually([&] { return endpoint.Lines("start") == 1 && client.LiveThreads() == 0; }));
    EXPECT_EQ(endpoint.Lines("open3d"), 0u);
    EXPECT_EQ(endpoint.Lines("close"), 0u);
}

TEST(UsageReports, NoConnectionSendsNothingAndMakesNoId)
{
    Endpoint endpoint;
    Settings settings;
    UsageClient client(endpoint.Config(false));
    client.StartStartReport();
    client.StartInstallReport();
    auto model = NewModel(1);
    ReportModelLoad(client, settings, model.get(), 100, "Wavefront 3D object", std::time(nullptr));
    EXPECT_FALSE(client.ReportClose());
    ASSERT_TRUE(test::Eventually([&] { return client.LiveThreads() == 0; }));
    EXPECT_TRUE(test::ReadLines(endpoint.log).empty());
    EXPECT_TRUE(client.MachineId().empty());
}

TEST(UsageReports, CloseRuntimeCountsFromStartUpAndIdReachesTheSettings)
{
    Endpoint endpoint;
    Settings settings;
    UsageClient client(endpoint.Config(), "", std::time(nullptr) - 42);
    client.StartInstallReport();
    FakeUi ui;
    ASSERT_TRUE(Drive(client, settings, ui, [&] { return endpoint.Lines("install") == 1; }));
    client.RunTurn(settings, ui);
    ASSERT_EQ(settings.http_machine_id.size(), 32u);
    EXPECT_EQ(Field(LogLines(endpoint.log, "install").at(0), "machine"), settings.http_machine_id);
    ASSERT_TRUE(client.ReportClose());
    const std::string line = LogLines(endpoint.log, "close").at(0);
    const int runtime = std::stoi(Field(line, "runtime"));
    EXPECT_GE(runtime, 42);
    EXPECT_LE(runtime, 45);
    EXPECT_EQ(Field(line, "machine"), settings.http_machine_id);
    EXPECT_EQ(Field(line, "version"), "Solvane_Viewer-3-rb5");
}

// Reports started together by a client without a machine id all carry the one id that the first
// of them made, and the interface's turns hand that id to the settings.
TEST(UsageReports, ConcurrentReportsShareTheOneMachineIdTheyMake)
{
    Endpoint endpoint(WithMessage(9));
    Settings settings;
    UsageClient client(endpoint.Config());
    FakeUi ui;
    client.StartStartReport();
    client.StartInstallReport();
    for (int i = 0; i < 4; ++i) {
        UsageEvent event;
        event.SetType("Wavefront 3D object");
        event.a = i;
        client.ReportEvent(UsageEventKind::Open3d, event);
        client.RunTurn(settings, ui);
    }
    ASSERT_TRUE(Drive(client, settings, ui, [&] {
        return endpoint.Lines("open3d") == 4 && endpoint.Lines("install") == 1 && ui.Count("message") == 1;
    }));
    client.RunTurn(settings, ui);
    ASSERT_EQ(settings.http_machine_id.size(), 32u);
    for (const char* report : {"start", "install", "open3d"}) {
        for (const std::string& line : LogLines(endpoint.log, report)) {
            EXPECT_EQ(Field(line, "machine"), settings.http_machine_id) << line;
        }
    }
    EXPECT_EQ(settings.http_message_id, 9);
}

UsageServerOptions WithUpdate(const std::string& url, const std::string& file)
{
    UsageServerOptions options;
    options.hasUpdate = true;
    options.updateUrl = url;
    options.updateDescription = "Solvane 3.1";
    options.updateFile = file;
    return options;
}

TEST(UsageDuties, AcceptedUpdateDownloadsOpensThePackageAndQuits)
{
    test::ScratchDir files;
    const std::string package = files.Write("package.bin", std::string(200000, 'k'));
    // The update is served by the endpoint itself, at the path of its URL.
    Endpoint probe;
    const uint16_t port = probe.server->Port();
    probe.server->Stop();
    UsageServerOptions options = WithUpdate("http://127.0.0.1:" + std::to_string(port) + "/dl/p.bin", package);
    options.port = port;
    Endpoint endpoint(options);
    Settings settings;
    UsageClient client(endpoint.Config());
    FakeUi ui;
    client.StartStartReport();
    ASSERT_TRUE(Drive(client, settings, ui, [&] { return ui.Count("quit") == 1; }));
    EXPECT_EQ(ui.description, "Solvane 3.1");
    const std::vector<std::string> expected = {"ask-update", "status-open", "status-close", "ask-install", "open",
                                               "quit"};
    EXPECT_EQ(ui.calls, expected);
    EXPECT_EQ(ui.opened, (std::filesystem::path(endpoint.dir.Path()) / "Solvane_upgrade.exe").string());
    EXPECT_EQ(test::ReadFileBytes(ui.opened), test::ReadFileBytes(package));
    // Never made executable.
    EXPECT_EQ(std::filesystem::status(ui.opened).permissions() & std::filesystem::perms::owner_exec,
              std::filesystem::perms::none);
}

TEST(UsageDuties, FailedDownloadOffersRetryAndLeavesNoFile)
{
    test::ScratchDir files;
    const std::string package = files.Write("package.bin", "x");
    const std::string dead = "http://127.0.0.1:" + std::to_string(test::ClosedPort()) + "/dl/p.bin";
    Endpoint endpoint(WithUpdate(dead, package));
    Settings settings;
    UsageClient client(endpoint.Config());
    FakeUi ui;
    ui.retries = 1;  // Retry once, then Cancel
    client.StartStartReport();
    ASSERT_TRUE(Drive(client, settings, ui, [&] { return ui.Count("ask-retry") == 2; }));
    EXPECT_EQ(ui.Count("status-open"), 1u);  // the retry runs without a status box
    EXPECT_EQ(ui.Count("ask-install"), 0u);
    EXPECT_FALSE(std::filesystem::exists(client.DownloadPath()));
}

TEST(UsageDuties, DeclinedUpdateDownloadsNothing)
{
    test::ScratchDir files;
    const std::string package = files.Write("package.bin", "x");
    Endpoint endpoint(WithUpdate("http://127.0.0.1/dl/p.bin", package));
    Settings settings;
    UsageClient client(endpoint.Config());
    FakeUi ui;
    ui.acceptUpdate = false;
    client.StartStartReport();
    ASSERT_TRUE(Drive(client, settings, ui, [&] { return ui.Count("ask-update") == 1; }));
    for (int i = 0; i < 5; ++i) client.RunTurn(settings, ui);
    EXPECT_EQ(ui.calls, std::vector<std::string>{"ask-update"});
    EXPECT_TRUE(client.DownloadPath().empty());
}

}  // namespace
}  // namespace solvane
