// Loopback peers for the HTTP client tests: a one-connection server whose answer is written by
// the test, and helpers around the reference usage server. Every wait is bounded.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace solvane::test {

inline void SendText(int fd, const std::string& text)
{
    size_t sent = 0;
    while (sent < text.size()) {
        const ssize_t n = send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return;
        sent += static_cast<size_t>(n);
    }
}

// Accepts one connection on 127.0.0.1, reads the request head, hands the socket to answer, then
// closes it.
class FakePeer {
public:
    using Answer = std::function<void(int fd)>;
    explicit FakePeer(Answer answer)
    {
        listen_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(listen_, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        listen(listen_, 4);
        socklen_t length = sizeof(address);
        getsockname(listen_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this, answer] {
            pollfd entry{listen_, POLLIN, 0};
            if (poll(&entry, 1, 10000) <= 0) return;
            const int fd = accept(listen_, nullptr, nullptr);
            if (fd < 0) return;
            char c;
            while (request_.find("\r\n\r\n") == std::string::npos && request_.size() < 4096) {
                pollfd wait{fd, POLLIN, 0};
                if (poll(&wait, 1, 5000) <= 0 || recv(fd, &c, 1, 0) != 1) break;
                request_ += c;
            }
            answer(fd);
            close(fd);
        });
    }
    ~FakePeer()
    {
        Join();
        close(listen_);
    }
    void Join()
    {
        if (thread_.joinable()) thread_.join();
    }
    uint16_t Port() const { return port_; }
    std::string Url(const std::string& path = "/file") const
    {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }
    // The request bytes as received (call after the client call returned).
    const std::string& Request()
    {
        Join();
        return request_;
    }

private:
    int listen_ = -1;
    uint16_t port_ = 0;
    std::string request_;
    std::thread thread_;
};

// Waits (bounded) until the peer closes the connection: a silent peer.
inline void WaitForClientToLeave(int fd)
{
    char c;
    for (int i = 0; i < 100; ++i) {
        pollfd entry{fd, POLLIN, 0};
        if (poll(&entry, 1, 100) > 0 && recv(fd, &c, 1, 0) <= 0) return;
    }
}

// A port on 127.0.0.1 that nothing listens on (bound, then released).
inline uint16_t ClosedPort()
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    socklen_t length = sizeof(address);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

inline std::vector<std::string> ReadLines(const std::string& path)
{
    std::ifstream in(path);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

// Log lines of one report kind.
inline std::vector<std::string> LogLines(const std::string& path, const std::string& report)
{
    std::vector<std::string> found;
    for (const std::string& line : ReadLines(path)) {
        if (line.find("\"report\":\"" + report + "\"") != std::string::npos) found.push_back(line);
    }
    return found;
}

// The value of a string field of a JSON log line ("" when absent).
inline std::string Field(const std::string& line, const std::string& key)
{
    const std::string start = "\"" + key + "\":\"";
    const size_t at = line.find(start);
    if (at == std::string::npos) return "";
    const size_t end = line.find('"', at + start.size());
    return line.substr(at + start.size(), end - at - start.size());
}

// Waits (bounded) until cond holds.
inline bool Eventually(const std::function<bool()>& cond, int timeoutMs = 10000)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!cond()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

}  // namespace solvane::test
