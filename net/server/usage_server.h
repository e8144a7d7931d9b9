// The reference usage-reporting endpoint: an HTTP/1.0 server (RFC 1945) that logs every report as
// one JSON line, answers the start and message requests, and serves the update package.
// One request per connection, several connections at once, every wait bounded.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace solvane {

struct UsageServerOptions {
    std::string bindAddress = "127.0.0.1";  // the only address listened on
    uint16_t port = 0;                      // 0: any free port (see UsageServer::Port)
    std::string logPath;

    bool hasMessage = false;
    int32_t messageId = 0;  // the newest message id the start reply announces
    std::string messageTitle;
    std::string messageBody;

    bool hasUpdate = false;
    std::string updateUrl;  // announced in the start reply; its path serves updateFile
    std::string updateDescription;
    std::string updateFile;

    int receiveTimeoutMs = 10000;  // per connection: the request must arrive within this
    int maxConnections = 64;
};

// Parses the command line ("--port N --log FILE [--bind ADDR] [--message-id N --message-title T
// --message-body B] [--update-url URL --update-description D --update-file F]"). False with a
// reason in error.
bool ParseUsageServerArguments(const std::vector<std::string>& arguments, UsageServerOptions& options,
                               std::string& error);

// Fields of a query string, %XX and "+" decoded, in the order given.
std::vector<std::pair<std::string, std::string>> DecodeQuery(const std::string& query);
// The path part of an "http://host[:port]/path" URL ("/" when it has none).
std::string UrlPath(const std::string& url);

class UsageServer {
public:
    explicit UsageServer(UsageServerOptions options);
    ~UsageServer();
    UsageServer(const UsageServer&) = delete;
    UsageServer& operator=(const UsageServer&) = delete;

    // Binds, listens and starts accepting. False with a reason in error.
    bool Start(std::string& error);
    // The port listened on (the chosen one when 0 was asked for).
    uint16_t Port() const { return port_; }
    // Stops accepting, ends open connections and waits for their threads.
    void Stop();
    // Requests answered so far (any status).
    int Answered() const { return answered_.load(); }

private:
    void AcceptLoop();
    void Serve(int fd);
    void Log(const std::string& report, const std::vector<std::pair<std::string, std::string>>& fields);

    UsageServerOptions options_;
    std::string updatePath_;
    int listenFd_ = -1;
    uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> answered_{0};
    std::thread acceptThread_;

    std::mutex connectionsMutex_;  // protects connections_ (open client sockets)
    std::condition_variable connectionsDone_;
    std::set<int> connections_;
    std::mutex logMutex_;  // serialises appends to the log file
};

}  // namespace solvane
