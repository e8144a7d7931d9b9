// The HTTP client against loopback peers that misbehave on purpose, and against the reference
// usage server (in-process and as its own program).
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/socket.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>

#include "net/http_client.h"
#include "net/server/usage_server.h"
#include "tests/net_test_support.h"
#include "tests/test_support.h"

namespace solvane {
namespace {

using test::FakePeer;
using test::SendText;

// Short time-outs so the silent-peer cases end quickly.
HttpOptions QuickOptions()
{
    HttpOptions options;
    options.connectTimeoutMs = 2000;
    options.receiveTimeoutMs = 200;
    options.replyDeadlineMs = 2000;
    return options;
}

// ---- URLs ------------------------------------------------------------------------------------

TEST(ParseUrl, AcceptsTheFormsTheReportsUse)
{
    struct Case {
        const char* url;
        const char* host;
        int port;
        const char* path;
    } cases[] = {
        {"http://example.test", "example.test", 80, "/"},
        {"http://example.test:8080", "example.test", 8080, "/"},
        {"http://127.0.0.1:8080/a/b.cgi?x=1&y=2", "127.0.0.1", 8080, "/a/b.cgi?x=1&y=2"},
        {"example.test/x", "example.test", 80, "/x"},
        {"http://h:81junk/p", "h", 81, "/p"},  // the digits after ":" are the port
    };
    for (const Case& c : cases) {
        ParsedUrl parsed;
        ASSERT_TRUE(ParseUrl(c.url, parsed)) << c.url;
        EXPECT_EQ(parsed.host, c.host) << c.url;
        EXPECT_EQ(parsed.port, c.port) << c.url;
        EXPECT_EQ(parsed.path, c.path) << c.url;
    }
}

TEST(ParseUrl, RejectsPortZeroOutOfRangeEmptyHostAndBrokenRequestLines)
{
    for (const char* url : {"http://h:0/x", "http://h:/x", "http://h:65536/", "http:///x", "http://",
                            "http://h/a b", "http://h/a\r\nX: 1", "HTTP://h/x"}) {
        ParsedUrl parsed;
        EXPECT_FALSE(ParseUrl(url, parsed)) << url;
    }
}

// ---- Request and header ------------------------------------------------------------------------

TEST(HttpClient, SendsTheExactRequestBytesWithoutPortInHost)
{
    FakePeer peer([](int fd) { SendText(fd, "HTTP/1.0 200 OK\r\n\r\nhello"); });
    char buffer[64];
    ASSERT_TRUE(HttpGetToBuffer(peer.Url("/p?q=1").c_str(), buffer, sizeof(buffer)));
    EXPECT_STREQ(buffer, "hello");
    EXPECT_EQ(peer.Request(), "GET /p?q=1 HTTP/1.0\r\nHost: 127.0.0.1\r\nUser-Agent: Solvane/1.0\r\n\r\n");
}

TEST(HttpClient, HeaderOf511BytesIsReadAndOf512Fails)
{
    for (int size : {511, 512}) {
        std::string header = "HTTP/1.0 200 OK\r\nX: ";
        header += std::string(size - header.size() - 4, 'a') + "\r\n\r\n";
        ASSERT_EQ(header.size(), static_cast<size_t>(size));
        FakePeer peer([&](int fd) { SendText(fd, header + "body"); });
        char buffer[16];
        EXPECT_EQ(HttpGetToBuffer(peer.Url().c_str(), buffer, sizeof(buffer), QuickOptions()), size == 511) << size;
    }
}

TEST(HttpClient, Status204IsSuccessAnd302AndGarbageFail)
{
    struct Case {
        const char* head;
        bool ok;
    } cases[] = {
        {"HTTP/1.1 204 No Content\r\n\r\n", true},
        {"HTTP/1.0 299 X\r\n\r\n", true},
        {"HTTP/1.0 302 Found\r\nLocation: http://127.0.0.1/\r\n\r\n", false},
        {"HTTP/1.0 404 Not Found\r\n\r\n", false},
        {"HTTP/1.0 2000 X\r\n\r\n", false},
        {"HTTP/1.0\r\n\r\n", false},
        {"ICY 200 OK\r\n\r\n", false},
    };
    for (const Case& c : cases) {
        FakePeer peer([&](int fd) { SendText(fd, c.head); });
        char buffer[16];
        EXPECT_EQ(HttpGetToBuffer(peer.Url().c_str(), buffer, sizeof(buffer), QuickOptions()), c.ok) << c.head;
    }
}

TEST(HttpClient, BufferKeepsCapacityMinusOneBytes)
{
    for (size_t capacity : {size_t{1}, size_t{4}}) {
        FakePeer peer([](int fd) { SendText(fd, "HTTP/1.0 200 OK\r\n\r\nabcdefgh"); });
        char buffer[8];
        std::memset(buffer, 'x', sizeof(buffer));
        ASSERT_TRUE(HttpGetToBuffer(peer.Url().c_str(), buffer, capacity));
        EXPECT_EQ(std::string(buffer), std::string("abcdefgh").substr(0, capacity - 1));
    }
    char buffer[4];
    EXPECT_FALSE(HttpGetToBuffer(nullptr, buffer, sizeof(buffer)));
    EXPECT_FALSE(HttpGetToBuffer("http://127.0.0.1/", nullptr, 4));
    EXPECT_FALSE(HttpGetToBuffer("http://127.0.0.1/", buffer, 0));
}

TEST(HttpClient, FireAndForgetIgnoresTheStatusButNeedsAConnection)
{
    FakePeer peer([](int fd) { SendText(fd, "HTTP/1.0 500 Broken\r\n\r\nwhatever"); });
    EXPECT_TRUE(HttpFireAndForget(peer.Url("/r?a=1"), QuickOptions()));
    EXPECT_EQ(peer.Request().rfind("GET /r?a=1 HTTP/1.0\r\n", 0), 0u);
    EXPECT_FALSE(HttpFireAndForget("http://127.0.0.1:" + std::to_string(test::ClosedPort()) + "/", QuickOptions()));
}

TEST(HttpClient, SilentPeerHitsTheTimeOut)
{
    FakePeer peer([](int fd) { test::WaitForClientToLeave(fd); });
    char buffer[16];
    EXPECT_FALSE(HttpGetToBuffer(peer.Url().c_str(), buffer, sizeof(buffer), QuickOptions()));
    test::ScratchDir dir;
    FakePeer second([](int fd) {
        SendText(fd, "HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\nabc");
        test::WaitForClientToLeave(fd);
    });
    const std::string path = (dir.Path() / "silent.bin").string();
    EXPECT_FALSE(HttpGetToFile(second.Url(), path, nullptr, QuickOptions()));
    EXPECT_FALSE(std::filesystem::exists(path));
    // Fire-and-forget returns too: the request went out, the silence is only waited out.
    FakePeer third([](int fd) { test::WaitForClientToLeave(fd); });
    EXPECT_TRUE(HttpFireAndForget(third.Url(), QuickOptions()));
}

// Peak resident memory of this process so far, in KiB.
long PeakRssKib()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// A peer that sends a valid header one byte per second: each byte comes well within the receive
// time-out, so only the deadline for the whole header ends the wait.
TEST(HttpClient, TricklingPeerHitsTheWholeHeaderDeadline)
{
    const std::string header = "HTTP/1.0 200 OK\r\nServer: slow\r\n\r\n";
    FakePeer peer([&](int fd) {
        for (char c : header) {
            if (send(fd, &c, 1, MSG_NOSIGNAL) != 1) return;  // the client has gone
            for (int i = 0; i < 10; ++i) {
                pollfd entry{fd, POLLIN, 0};
                if (poll(&entry, 1, 100) > 0) return;  // the client closed (or sent more)
            }
        }
    });
    HttpOptions options;
    options.receiveTimeoutMs = 5000;
    options.replyDeadlineMs = 2500;
    char buffer[16];
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(HttpGetToBuffer(peer.Url().c_str(), buffer, sizeof(buffer), options));
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, std::chrono::milliseconds(2000));
    EXPECT_LT(took, std::chrono::milliseconds(6000));
}

// A peer whose header line never ends: the client stops at the header's capacity and fails at
// once, without keeping what the peer sends.
TEST(HttpClient, EndlessHeaderLineFailsCleanlyInBoundedMemory)
{
    std::atomic<int64_t> sent{0};
    FakePeer peer([&](int fd) {
        SendText(fd, "HTTP/1.0 200 OK\r\nX-Endless: ");
        const std::string chunk(64 * 1024, 'a');
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < end) {
            const ssize_t n = send(fd, chunk.data(), chunk.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n > 0) {
                sent += n;
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return;  // the client has gone
            pollfd entry{fd, POLLOUT, 0};
            poll(&entry, 1, 50);
        }
    });
    HttpOptions options;
    options.receiveTimeoutMs = 5000;
    options.replyDeadlineMs = 15000;
    const long peakBefore = PeakRssKib();
    char buffer[16];
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(HttpGetToBuffer(peer.Url().c_str(), buffer, sizeof(buffer), options));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    peer.Join();
    EXPECT_LT(PeakRssKib() - peakBefore, 64 * 1024) << sent.load() << " bytes sent";
    // The download path reads its header the same way.
    test::ScratchDir dir;
    FakePeer second([](int fd) { SendText(fd, "HTTP/1.0 200 OK\r\nX: " + std::string(100000, 'b')); });
    const std::string path = (dir.Path() / "never.bin").string();
    EXPECT_FALSE(HttpGetToFile(second.Url(), path, nullptr, options));
    EXPECT_FALSE(std::filesystem::exists(path));
}

// ---- Downloads ---------------------------------------------------------------------------------

TEST(HttpDownload, PublishesPercentAndMayPassHundredWhenMoreIsSent)
{
    test::ScratchDir dir;
    const std::string body(1500, 'z');
    FakePeer peer([&](int fd) { SendText(fd, "HTTP/1.0 200 OK\r\nContent-Length: 1000\r\n\r\n" + body); });
    const std::string path = (dir.Path() / "more.bin").string();
    std::atomic<int> progress{-7};
    ASSERT_TRUE(HttpGetToFile(peer.Url(), path, &progress));
    EXPECT_EQ(progress.load(), 150);
    EXPECT_EQ(test::ReadFileBytes(path), body);
}

TEST(HttpDownload, WithoutContentLengthStreamsButPublishesOnlyZero)
{
    test::ScratchDir dir;
    const std::string body(40000, 'q');
    FakePeer peer([&](int fd) { SendText(fd, "HTTP/1.0 200 OK\r\n\r\n" + body); });
    const std::string path = (dir.Path() / "nolength.bin").string();
    std::atomic<int> progress{-7};
    ASSERT_TRUE(HttpGetToFile(peer.Url(), path, &progress));
    EXPECT_EQ(progress.load(), 0);
    EXPECT_EQ(test::ReadFileBytes(path).size(), body.size());
}

TEST(HttpDownload, OrderlyCloseBeforeTheAnnouncedLengthIsSuccess)
{
    test::ScratchDir dir;
    FakePeer peer([](int fd) { SendText(fd, "HTTP/1.0 200 OK\r\nContent-Length: 1000\r\n\r\n" + std::string(250, 'h')); });
    const std::string path = (dir.Path() / "short.bin").string();
    std::atomic<int> progress{0};
    ASSERT_TRUE(HttpGetToFile(peer.Url(), path, &progress));
    EXPECT_EQ(progress.load(), 25);
    EXPECT_EQ(test::ReadFileBytes(path).size(), 250u);
}

TEST(HttpDownload, ConnectionResetMidDownloadLeavesNoFile)
{
    test::ScratchDir dir;
    FakePeer peer([](int fd) {
        SendText(fd, "HTTP/1.0 200 OK\r\nContent-Length: 100000\r\n\r\n" + std::string(3000, 'r'));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const linger abort{1, 0};  // close with a reset instead of an orderly end
        setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof(abort));
    });
    const std::string path = (dir.Path() / "reset.bin").string();
    EXPECT_FALSE(HttpGetToFile(peer.Url(), path, nullptr, QuickOptions()));
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(HttpDownload, BadHeaderCreatesNoFile)
{
    test::ScratchDir dir;
    FakePeer peer([](int fd) { SendText(fd, "HTTP/1.0 302 Found\r\n\r\nbody"); });
    const std::string path = (dir.Path() / "none.bin").string();
    EXPECT_FALSE(HttpGetToFile(peer.Url(), path, nullptr));
    EXPECT_FALSE(std::filesystem::exists(path));
}

// ---- The reference server ----------------------------------------------------------------------

struct RunningServer {
    test::ScratchDir dir;
    std::string log;
    std::unique_ptr<UsageServer> server;

    explicit RunningServer(UsageServerOptions options = {})
    {
        log = (dir.Path() / "usage.log").string();
        options.logPath = log;
        options.receiveTimeoutMs = 1000;
        server = std::make_unique<UsageServer>(options);
        std::string error;
        EXPECT_TRUE(server->Start(error)) << error;
    }
    std::string Url(const std::string& path) const
    {
        return "http://127.0.0.1:" + std::to_string(server->Port()) + path;
    }
};

TEST(UsageServer, LogsEveryReportWithItsDecodedFields)
{
    RunningServer s;
    ASSERT_TRUE(HttpFireAndForget(s.Url("/solvane-bin/client/open3d.cgi?version=Solvane_Viewer-3-rb5&machine=abc"
                                        "&success=1&type=3D-Studio-format&opentime=2&note=a%22b%5Cc+d%0A")));
    const auto lines = test::LogLines(s.log, "open3d");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(test::Field(lines[0], "type"), "3D-Studio-format");
    EXPECT_EQ(test::Field(lines[0], "machine"), "abc");
    EXPECT_EQ(test::Field(lines[0], "opentime"), "2");
    EXPECT_NE(lines[0].find("\"note\":\"a\\\"b\\\\c d\\u000a\""), std::string::npos) << lines[0];
}

TEST(UsageServer, AnswersStartMessagesAndServesTheUpdateWithItsLength)
{
    test::ScratchDir files;
    const std::string package = files.Write("pkg.bin", std::string(70000, 'p'));
    UsageServerOptions options;
    options.hasMessage = true;
    options.messageId = 6;
    options.messageTitle = "Hello";
    options.messageBody = "Line one\nLine two";
    options.hasUpdate = true;
    options.updateUrl = "http://127.0.0.1/dl/pkg.bin";
    options.updateDescription = "Version 3.1";
    options.updateFile = package;
    RunningServer s(options);

    char reply[1500];
    ASSERT_TRUE(HttpGetToBuffer(s.Url("/solvane-bin/client/start.cgi?version=v&machine=m").c_str(), reply,
                                sizeof(reply)));
    EXPECT_STREQ(reply, "6\n0\nhttp://127.0.0.1/dl/pkg.bin\nVersion 3.1\n");
    ASSERT_TRUE(HttpGetToBuffer(s.Url("/solvane-bin/client/messages.cgi?id=6").c_str(), reply, sizeof(reply)));
    EXPECT_STREQ(reply, "Hello\nLine one\nLine two");
    EXPECT_FALSE(HttpGetToBuffer(s.Url("/solvane-bin/client/messages.cgi?id=5").c_str(), reply, sizeof(reply)));

    const std::string path = (files.Path() / "got.bin").string();
    std::atomic<int> progress{0};
    ASSERT_TRUE(HttpGetToFile(s.Url("/dl/pkg.bin"), path, &progress));
    EXPECT_EQ(progress.load(), 100);
    EXPECT_EQ(test::ReadFileBytes(path), test::ReadFileBytes(package));
    EXPECT_EQ(test::LogLines(s.log, "start").size(), 1u);
    EXPECT_EQ(test::LogLines(s.log, "messages").size(), 2u);
}

TEST(UsageServer, MalformedRequestsGet400AndTheServerGoesOn)
{
    RunningServer s;
    for (const std::string& request :
         {std::string("GARBAGE\r\n\r\n"), std::string("GET nopath HTTP/1.0\r\n\r\n"),
          std::string("GET / HTTP/1.0 extra\r\n\r\n"), std::string("GET /x") + std::string(9000, 'a')}) {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(s.server->Port());
        ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
        SendText(fd, request);
        char reply[64] = {};
        pollfd entry{fd, POLLIN, 0};
        ASSERT_GT(poll(&entry, 1, 5000), 0);
        recv(fd, reply, sizeof(reply) - 1, 0);
        EXPECT_EQ(std::string(reply).rfind("HTTP/1.0 400 ", 0), 0u) << request.substr(0, 30);
        close(fd);
    }
    char reply[16];
    EXPECT_FALSE(HttpGetToBuffer(s.Url("/unknown").c_str(), reply, sizeof(reply)));  // 404
    EXPECT_TRUE(HttpGetToBuffer(s.Url("/solvane-bin/client/install.cgi?machine=x").c_str(), reply, sizeof(reply)));
    EXPECT_EQ(test::LogLines(s.log, "install").size(), 1u);
}

TEST(UsageServer, ServesOthersWhileOneConnectionIsSilent)
{
    RunningServer s;
    const int silent = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(s.server->Port());
    ASSERT_EQ(connect(silent, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    SendText(silent, "GET /solvane-bin/client/start.cgi");  // and nothing more
    char reply[16];
    EXPECT_TRUE(HttpGetToBuffer(s.Url("/solvane-bin/client/close.cgi?runtime=3").c_str(), reply, sizeof(reply)));
    EXPECT_EQ(test::Field(test::LogLines(s.log, "close").at(0), "runtime"), "3");
    close(silent);
}

TEST(UsageServer, ArgumentsAreCheckedTogether)
{
    UsageServerOptions options;
    std::string error;
    EXPECT_TRUE(ParseUsageServerArguments({"--port", "0", "--log", "x.log"}, options, error)) << error;
    EXPECT_EQ(options.bindAddress, "127.0.0.1");
    EXPECT_FALSE(ParseUsageServerArguments({"--log", "x.log"}, options, error));
    EXPECT_FALSE(ParseUsageServerArguments({"--port", "70000", "--log", "x"}, options, error));
    EXPECT_FALSE(ParseUsageServerArguments({"--port", "1", "--log", "x", "--message-id", "3"}, options, error));
    EXPECT_FALSE(ParseUsageServerArguments(
        {"--port", "1", "--log", "x", "--message-id", "3", "--message-title", "a\nb", "--message-body", "c"}, options,
        error));
    EXPECT_FALSE(ParseUsageServerArguments({"--port", "1", "--log", "x", "--bogus", "1"}, options, error));
    EXPECT_EQ(UrlPath("http://h:1/a/b"), "/a/b");
    const auto fields = DecodeQuery("a=1&b=%41+x&&c&d=%zz");
    ASSERT_EQ(fields.size(), 4u);
    EXPECT_EQ(fields[1].second, "A x");
    EXPECT_EQ(fields[2].first, "c");
    EXPECT_EQ(fields[3].second, "%zz");
}

TEST(UsageServerProgram, ListensOnTheGivenPortAndLogs)
{
    test::ScratchDir dir;
    const std::string log = (dir.Path() / "program.log").string();
    const std::string out = (dir.Path() / "out.txt").string();
    // Started in the background, stopped by its pid after the test's request.
    const std::string command = std::string(SOLVANE_USAGE_SERVER_PATH) + " --port 0 --log " + log + " > " + out +
                                " 2>&1 & echo $!";
    std::string pidText;
    ASSERT_EQ(test::RunCommand(command, &pidText), 0);
    struct StopOnExit {
        int pid;
        ~StopOnExit() { kill(pid, SIGTERM); }
    } stop{std::stoi(pidText)};
    ASSERT_TRUE(test::Eventually([&] { return test::ReadFileBytes(out).find("port ") != std::string::npos; }));
    const std::string banner = test::ReadFileBytes(out);
    const int port = std::stoi(banner.substr(banner.find("port ") + 5));
    char reply[64];
    const bool ok = HttpGetToBuffer(
        ("http://127.0.0.1:" + std::to_string(port) + "/solvane-bin/client/start.cgi?machine=zz").c_str(), reply,
        sizeof(reply));
    ASSERT_TRUE(ok);
    EXPECT_STREQ(reply, "0\n");
    EXPECT_EQ(test::Field(test::LogLines(log, "start").at(0), "machine"), "zz");
    std::string ignored;
    EXPECT_NE(test::RunCommand(std::string(SOLVANE_USAGE_SERVER_PATH) + " --port 1 2>/dev/null", &ignored), 0);
}

}  // namespace
}  // namespace solvane
