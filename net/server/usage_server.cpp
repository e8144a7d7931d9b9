#include "net/server/usage_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace solvane {
namespace {

constexpr size_t kMaxRequestBytes = 8192;
constexpr size_t kSendChunk = 65536;
constexpr const char* kReportPrefix = "/solvane-bin/client/";

using Clock = std::chrono::steady_clock;

int HexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string Decode(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            out += ' ';
        } else if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// RFC 8259 string: quotes, backslashes and control bytes escaped; bytes above 0x7f are taken as
// Latin-1 so that any decoded field still makes valid JSON.
std::string JsonString(const std::string& text)
{
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7f) {
            char escaped[8];
            std::snprintf(escaped, sizeof(escaped), "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

bool SendAll(int fd, const char* data, size_t size)
{
    while (size > 0) {
        const ssize_t n = send(fd, data, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

void Respond(int fd, int status, const char* reason, const std::string& body)
{
    const std::string reply = "HTTP/1.0 " + std::to_string(status) + " " + reason +
                              "\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(body.size()) +
                              "\r\nConnection: close\r\n\r\n" + body;
    SendAll(fd, reply.data(), reply.size());
}

bool IsReportName(const std::string& name)
{
    for (const char* known : {"start", "install", "close", "open3d", "save3d", "open2d", "save2d", "messages"}) {
        if (name == known) return true;
    }
    return false;
}

bool HasLineBreak(const std::string& text)
{
    return text.find_first_of("\r\n") != std::string::npos;
}

bool ParsePortNumber(const std::string& text, int& port)
{
    if (text.empty() || text.size() > 5) return false;
    port = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        port = port * 10 + (c - '0');
    }
    return port <= 65535;
}

bool ParseId(const std::string& text, int32_t& id)
{
    if (text.empty() || text.size() > 9) return false;
    id = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        id = id * 10 + (c - '0');
    }
    return true;
}

}  // namespace

std::vector<std::pair<std::string, std::string>> DecodeQuery(const std::string& query)
{
    std::vector<std::pair<std::string, std::string>> fields;
    size_t at = 0;
    while (at <= query.size() && !query.empty()) {
        size_t end = query.find('&', at);
        if (end == std::string::npos) end = query.size();
        const std::string field = query.substr(at, end - at);
        if (!field.empty()) {
            const size_t equals = field.find('=');
            if (equals == std::string::npos) fields.emplace_back(Decode(field), "");
            else fields.emplace_back(Decode(field.substr(0, equals)), Decode(field.substr(equals + 1)));
        }
        at = end + 1;
    }
    return fields;
}

std::string UrlPath(const std::string& url)
{
    size_t at = url.compare(0, 7, "http://") == 0 ? 7 : 0;
    const size_t slash = url.find('/', at);
    return slash == std::string::npos ? "/" : url.substr(slash);
}

bool ParseUsageServerArguments(const std::vector<std::string>& arguments, UsageServerOptions& options,
                               std::string& error)
{
    bool hasPort = false;
    int given = 0;  // bit 0..2: message id, title, body; bit 3..5: update url, description, file
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& name = arguments[i];
        if (i + 1 >= arguments.size()) {
            error = "missing value after " + name;
            return false;
        }
        const std::string& value = arguments[++i];
        if (name == "--port") {
            int port = 0;
            if (!ParsePortNumber(value, port)) {
                error = "--port wants a number from 0 to 65535";
                return false;
            }
            options.port = static_cast<uint16_t>(port);
            hasPort = true;
        } else if (name == "--log") {
            options.logPath = value;
        } else if (name == "--bind") {
            options.bindAddress = value;
        } else if (name == "--message-id") {
            if (!ParseId(value, options.messageId)) {
                error = "--message-id wants a number from 0 to 999999999";
                return false;
            }
            given |= 1;
        } else if (name == "--message-title") {
            options.messageTitle = value;
            given |= 2;
        } else if (name == "--message-body") {
            options.messageBody = value;
            given |= 4;
        } else if (name == "--update-url") {
            options.updateUrl = value;
            given |= 8;
        } else if (name == "--update-description") {
            options.updateDescription = value;
            given |= 16;
        } else if (name == "--update-file") {
            options.updateFile = value;
            given |= 32;
        } else {
            error = "unknown option " + name;
            return false;
        }
    }
    if (!hasPort || options.logPath.empty()) {
        error = "--port and --log are required";
        return false;
    }
    if ((given & 7) != 0 && (given & 7) != 7) {
        error = "--message-id, --message-title and --message-body go together";
        return false;
    }
    if ((given & 56) != 0 && (given & 56) != 56) {
        error = "--update-url, --update-description and --update-file go together";
        return false;
    }
    options.hasMessage = (given & 7) == 7;
    options.hasUpdate = (given & 56) == 56;
    if (options.hasMessage && HasLineBreak(options.messageTitle)) {
        error = "the message title must be one line";
        return false;
    }
    if (options.hasUpdate && (HasLineBreak(options.updateUrl) || HasLineBreak(options.updateDescription) ||
                              options.updateDescription.empty() || UrlPath(options.updateUrl) == "/")) {
        error = "the update URL needs a path, and URL and description must be one non-empty line each";
        return false;
    }
    return true;
}

UsageServer::UsageServer(UsageServerOptions options) : options_(std::move(options))
{
    if (options_.hasUpdate) updatePath_ = UrlPath(options_.updateUrl);
}

UsageServer::~UsageServer()
{
    Stop();
}

bool UsageServer::Start(std::string& error)
{
    sockaddr_storage address{};
    socklen_t length = 0;
    auto* v4 = reinterpret_cast<sockaddr_in*>(&address);
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&address);
    if (inet_pton(AF_INET, options_.bindAddress.c_str(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(options_.port);
        length = sizeof(sockaddr_in);
    } else if (inet_pton(AF_INET6, options_.bindAddress.c_str(), &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(options_.port);
        length = sizeof(sockaddr_in6);
    } else {
        error = "--bind wants a numeric IPv4 or IPv6 address";
        return false;
    }
    if (options_.hasUpdate && access(options_.updateFile.c_str(), R_OK) != 0) {
        error = "cannot read the update file " + options_.updateFile;
        return false;
    }
    FILE* log = std::fopen(options_.logPath.c_str(), "a");
    if (!log) {
        error = "cannot open the log file " + options_.logPath;
        return false;
    }
    std::fclose(log);

    listenFd_ = socket(address.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0) {
        error = std::strerror(errno);
        return false;
    }
    const int yes = 1;
    setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
    if (bind(listenFd_, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(listenFd_, 64) != 0) {
        error = std::string("cannot listen: ") + std::strerror(errno);
        close(listenFd_);
        listenFd_ = -1;
        return false;
    }
    sockaddr_storage bound{};
    socklen_t boundLength = sizeof(bound);
    getsockname(listenFd_, reinterpret_cast<sockaddr*>(&bound), &boundLength);
    port_ = ntohs(bound.ss_family == AF_INET ? reinterpret_cast<sockaddr_in*>(&bound)->sin_port
                                              : reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port);
    stopping_ = false;
    acceptThread_ = std::thread([this] { AcceptLoop(); });
    return true;
}

void UsageServer::Stop()
{
    if (!acceptThread_.joinable()) return;
    stopping_ = true;
    acceptThread_.join();
    close(listenFd_);
    listenFd_ = -1;
    std::unique_lock<std::mutex> lock(connectionsMutex_);
    for (int fd : connections_) shutdown(fd, SHUT_RDWR);  // wakes every waiting receive
    connectionsDone_.wait(lock, [this] { return connections_.empty(); });
}

void UsageServer::AcceptLoop()
{
    while (!stopping_) {
        pollfd entry{listenFd_, POLLIN, 0};
        if (poll(&entry, 1, 100) <= 0) continue;
        const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        {
            std::lock_guard<std::mutex> lock(connectionsMutex_);
            if (static_cast<int>(connections_.size()) >= options_.maxConnections) {
                Respond(fd, 503, "Service Unavailable", "busy\n");
                close(fd);
                continue;
            }
            connections_.insert(fd);
        }
        try {
            std::thread([this, fd] {
                Serve(fd);
                shutdown(fd, SHUT_RDWR);
                std::lock_guard<std::mutex> lock(connectionsMutex_);
                close(fd);
                connections_.erase(fd);
                connectionsDone_.notify_all();
            }).detach();
        } catch (const std::system_error&) {
            std::lock_guard<std::mutex> lock(connectionsMutex_);
            close(fd);
            connections_.erase(fd);
        }
    }
}

void UsageServer::Serve(int fd)
{
    const timeval sendTimeout{options_.receiveTimeoutMs / 1000, (options_.receiveTimeoutMs % 1000) * 1000};
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &sendTimeout, sizeof(sendTimeout));

    // The request head, up to the empty line, within the time-out and the size bound.
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(options_.receiveTimeoutMs);
    std::string request;
    char buffer[1024];
    size_t headEnd = std::string::npos;
    while (headEnd == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0 || stopping_) return;
        pollfd entry{fd, POLLIN, 0};
        if (poll(&entry, 1, static_cast<int>(left)) <= 0) continue;
        const ssize_t got = recv(fd, buffer, sizeof(buffer), 0);
        if (got <= 0) return;
        request.append(buffer, static_cast<size_t>(got));
        headEnd = request.find("\r\n\r\n");
        if (headEnd == std::string::npos) headEnd = request.find("\n\n");
        if (headEnd == std::string::npos && request.size() > kMaxRequestBytes) {
            ++answered_;
            Respond(fd, 400, "Bad Request", "request too long\n");
            return;
        }
    }
    ++answered_;

    // Request-Line = Method SP Request-URI SP HTTP-Version (RFC 1945 section 5.1).
    const size_t lineEnd = request.find_first_of("\r\n");
    const std::string line = request.substr(0, lineEnd);
    const size_t firstBlank = line.find(' ');
    const size_t secondBlank = firstBlank == std::string::npos ? std::string::npos : line.find(' ', firstBlank + 1);
    if (secondBlank == std::string::npos || line.find(' ', secondBlank + 1) != std::string::npos ||
        line.compare(secondBlank + 1, 5, "HTTP/") != 0 || line.find('\0') != std::string::npos) {
        Respond(fd, 400, "Bad Request", "malformed request line\n");
        return;
    }
    const std::string method = line.substr(0, firstBlank);
    const std::string target = line.substr(firstBlank + 1, secondBlank - firstBlank - 1);
    if (target.empty() || target[0] != '/') {
        Respond(fd, 400, "Bad Request", "malformed request target\n");
        return;
    }
    if (method != "GET") {
        Respond(fd, 405, "Method Not Allowed", "GET only\n");
        return;
    }
    const size_t question = target.find('?');
    const std::string path = target.substr(0, question);
    const std::string query = question == std::string::npos ? "" : target.substr(question + 1);

    if (options_.hasUpdate && path == updatePath_) {
        const int file = open(options_.updateFile.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat info {};
        if (file < 0 || fstat(file, &info) != 0) {
            if (file >= 0) close(file);
            Respond(fd, 404, "Not Found", "no update\n");
            return;
        }
        const std::string head = "HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
                                 std::to_string(info.st_size) + "\r\nConnection: close\r\n\r\n";
        std::vector<char> chunk(kSendChunk);
        bool ok = SendAll(fd, head.data(), head.size());
        while (ok && !stopping_) {
            const ssize_t got = read(file, chunk.data(), chunk.size());
            if (got <= 0) break;
            ok = SendAll(fd, chunk.data(), static_cast<size_t>(got));
        }
        close(file);
        return;
    }

    const size_t prefixLength = std::strlen(kReportPrefix);
    const bool isCgi = path.size() > prefixLength + 4 && path.compare(0, prefixLength, kReportPrefix) == 0 &&
                       path.compare(path.size() - 4, 4, ".cgi") == 0;
    const std::string name = isCgi ? path.substr(prefixLength, path.size() - prefixLength - 4) : "";
    if (!IsReportName(name)) {
        Respond(fd, 404, "Not Found", "not found\n");
        return;
    }
    const auto fields = DecodeQuery(query);
    Log(name, fields);
    if (name == "start") {
        std::string reply = std::to_string(options_.hasMessage ? options_.messageId : 0) + "\n";
        if (options_.hasUpdate) reply += "0\n" + options_.updateUrl + "\n" + options_.updateDescription + "\n";
        Respond(fd, 200, "OK", reply);
    } else if (name == "messages") {
        int32_t id = -1;
        for (const auto& [key, value] : fields) {
            if (key == "id" && !ParseId(value, id)) id = -1;
        }
        if (options_.hasMessage && id == options_.messageId) {
            Respond(fd, 200, "OK", options_.messageTitle + "\n" + options_.messageBody);
        } else {
            Respond(fd, 404, "Not Found", "no such message\n");
        }
    } else {
        Respond(fd, 200, "OK", "OK\n");
    }
}

void UsageServer::Log(const std::string& report, const std::vector<std::pair<std::string, std::string>>& fields)
{
    char stamp[32];
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    std::strftime(stamp, sizeof(stamp), "%Y-%m-%dT%H:%M:%SZ", &utc);
    std::string line = "{\"time\":" + JsonString(stamp) + ",\"report\":" + JsonString(report);
    for (const auto& [key, value] : fields) {
        line += ',';
        line += JsonString(key);
        line += ':';
        line += JsonString(value);
    }
    line += "}\n";
    std::lock_guard<std::mutex> lock(logMutex_);
    if (FILE* log = std::fopen(options_.logPath.c_str(), "a")) {
        std::fwrite(line.data(), 1, line.size(), log);
        std::fclose(log);
    }
}

}  // namespace solvane
