#include "net/http_client.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace solvane {
namespace {

constexpr size_t kHeaderCapacity = 511;
constexpr size_t kChunkSize = 16384;
constexpr size_t kDiscardSize = 128;
// A reply that is only discarded is not read beyond this, so a peer that streams forever cannot
// keep the thread (the close report runs on the interface thread at exit).
constexpr int64_t kMaxDiscardBytes = 1 << 20;
// A download larger than this is abandoned rather than filling the disk.
constexpr int64_t kMaxDownloadBytes = int64_t{4} << 30;

using Clock = std::chrono::steady_clock;

// A socket closed in both directions when it goes out of scope.
class Socket {
public:
    explicit Socket(int fd) : fd_(fd) {}
    ~Socket()
    {
        if (fd_ < 0) return;
        shutdown(fd_, SHUT_RDWR);
        close(fd_);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int Fd() const { return fd_; }

private:
    int fd_;
};

// Waits at most timeoutMs (and never past deadline, when one is given) for data, then receives.
// Returns the byte count, 0 when the peer closed, -1 on an error or a time-out.
ssize_t ReceiveSome(int fd, char* buffer, size_t size, int timeoutMs, const Clock::time_point* deadline)
{
    for (;;) {
        int wait = timeoutMs;
        if (deadline) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*deadline - Clock::now()).count();
            if (left <= 0) return -1;
            if (left < wait) wait = static_cast<int>(left);
        }
        pollfd entry{fd, POLLIN, 0};
        const int ready = poll(&entry, 1, wait);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return -1;
        const ssize_t got = recv(fd, buffer, size, 0);
        if (got < 0 && errno == EINTR) continue;
        return got;
    }
}

bool HasControlOrBlank(const std::string& text)
{
    for (unsigned char c : text) {
        if (c <= 0x20 || c == 0x7f) return true;
    }
    return false;
}

// Leading blanks, a sign and digits, like atoi; saturates instead of overflowing.
int64_t ScanInteger(const char*& p)
{
    while (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n' || *p == '\f' || *p == '\v') ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    int64_t value = 0;
    while (*p >= '0' && *p <= '9') {
        if (value < (int64_t{1} << 53)) value = value * 10 + (*p - '0');
        ++p;
    }
    return negative ? -value : value;
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The status line's "HTTP/%d.%d %d": the three numbers must be present.
bool ParseStatus(const char* header, int64_t& status)
{
    if (std::strncmp(header, "HTTP/", 5) != 0) return false;
    const char* p = header + 5;
    const char* before = p;
    ScanInteger(p);
    if (p == before || !IsDigit(p[-1]) || *p != '.') return false;
    ++p;
    before = p;
    ScanInteger(p);
    if (p == before || !IsDigit(p[-1])) return false;
    before = p;
    status = ScanInteger(p);
    return p != before && IsDigit(p[-1]);
}

void SendAll(int fd, const std::string& bytes)
{
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        sent += static_cast<size_t>(n);
    }
}

// Non-blocking connect bounded by the time-out, then back to blocking mode.
bool ConnectWithin(int fd, const sockaddr* address, socklen_t length, int timeoutMs)
{
    const int flags = fcntl(fd, F_GETFL, 0);
    if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0) return false;
    if (connect(fd, address, length) != 0) {
        if (errno != EINPROGRESS) return false;
        pollfd entry{fd, POLLOUT, 0};
        int ready;
        do {
            ready = poll(&entry, 1, timeoutMs);
        } while (ready < 0 && errno == EINTR);
        if (ready <= 0) return false;
        int error = 0;
        socklen_t size = sizeof(error);
        if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0) return false;
    }
    return fcntl(fd, F_SETFL, flags) == 0;
}

}  // namespace

bool ParseUrl(const std::string& url, ParsedUrl& parsed)
{
    if (HasControlOrBlank(url)) return false;
    size_t at = url.compare(0, 7, "http://") == 0 ? 7 : 0;
    const size_t hostEnd = url.find_first_of(":/", at);
    parsed.host = url.substr(at, hostEnd == std::string::npos ? std::string::npos : hostEnd - at);
    if (parsed.host.empty()) return false;
    at = hostEnd == std::string::npos ? url.size() : hostEnd;
    parsed.port = 80;
    if (at < url.size() && url[at] == ':') {
        const char* p = url.c_str() + at + 1;
        const int64_t port = ScanInteger(p);
        if (port <= 0 || port > 65535) return false;
        parsed.port = static_cast<uint16_t>(port);
        const size_t slash = url.find('/', at);
        at = slash == std::string::npos ? url.size() : slash;
    }
    parsed.path = at < url.size() ? url.substr(at) : "/";
    return true;
}

int OpenRequest(const std::string& host, uint16_t port, const std::string& path, const HttpOptions& options)
{
    // A numeric address is taken as it is; a name takes the first address of the lookup.
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    if (getaddrinfo(host.c_str(), service.c_str(), &hints, &found) != 0 || !found) return -1;
    std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> addresses(found, freeaddrinfo);

    const int fd = socket(found->ai_family, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0) return -1;
    if (!ConnectWithin(fd, found->ai_addr, found->ai_addrlen, options.connectTimeoutMs)) {
        shutdown(fd, SHUT_RDWR);
        close(fd);
        return -1;
    }
    // A peer that stops reading must not block the send for ever either.
    timeval sendTimeout{options.receiveTimeoutMs / 1000, (options.receiveTimeoutMs % 1000) * 1000};
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &sendTimeout, sizeof(sendTimeout));
    // RFC 1945 section 5: Request-Line, then the headers, then an empty line. The Host header
    // names the host only, without the port.
    SendAll(fd, "GET " + path + " HTTP/1.0\r\nHost: " + host + "\r\nUser-Agent: Solvane/1.0\r\n\r\n");
    return fd;
}

bool ReadHeader(int socket, int64_t* contentLength, const HttpOptions& options)
{
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(options.replyDeadlineMs);
    char header[kHeaderCapacity + 1];
    size_t size = 0;
    for (;;) {
        if (size == kHeaderCapacity) return false;
        if (ReceiveSome(socket, header + size, 1, options.receiveTimeoutMs, &deadline) != 1) return false;
        ++size;
        if (size >= 4 && std::memcmp(header + size - 4, "\r\n\r\n", 4) == 0) break;
    }
    header[size] = '\0';
    // A zero byte inside the header would hide what follows it; such a header is not HTTP.
    if (std::strlen(header) != size) return false;
    int64_t status = 0;
    if (!ParseStatus(header, status) || status / 100 != 2) return false;
    if (contentLength) {
        const char* field = std::strstr(header, "Content-Length: ");
        if (!field) {
            *contentLength = -1;
        } else {
            const char* p = field + 16;
            *contentLength = ScanInteger(p);
        }
    }
    return true;
}

bool HttpFireAndForget(const std::string& url, const HttpOptions& options)
{
    ParsedUrl parsed;
    if (!ParseUrl(url, parsed)) return false;
    Socket socket(OpenRequest(parsed.host, parsed.port, parsed.path, options));
    if (socket.Fd() < 0) return false;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(options.replyDeadlineMs);
    char discard[kDiscardSize];
    int64_t total = 0;
    while (total < kMaxDiscardBytes) {
        const ssize_t got = ReceiveSome(socket.Fd(), discard, sizeof(discard), options.receiveTimeoutMs, &deadline);
        if (got <= 0) break;
        total += got;
    }
    return true;
}

bool HttpGetToBuffer(const char* url, char* buffer, size_t capacity, const HttpOptions& options)
{
    if (!url || !buffer || capacity < 1) return false;
    ParsedUrl parsed;
    if (!ParseUrl(url, parsed)) return false;
    Socket socket(OpenRequest(parsed.host, parsed.port, parsed.path, options));
    if (socket.Fd() < 0) return false;
    if (!ReadHeader(socket.Fd(), nullptr, options)) return false;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(options.replyDeadlineMs);
    size_t stored = 0;
    while (stored < capacity - 1) {
        const ssize_t got =
            ReceiveSome(socket.Fd(), buffer + stored, capacity - 1 - stored, options.receiveTimeoutMs, &deadline);
        if (got <= 0) break;
        stored += static_cast<size_t>(got);
    }
    buffer[stored] = '\0';
    return true;
}

bool HttpGetToFile(const std::string& url, const std::string& path, std::atomic<int>* progress,
                   const HttpOptions& options)
{
    ParsedUrl parsed;
    if (!ParseUrl(url, parsed)) return false;
    std::vector<char> chunk;
    try {
        chunk.resize(kChunkSize);
    } catch (const std::bad_alloc&) {
        return false;
    }
    Socket socket(OpenRequest(parsed.host, parsed.port, parsed.path, options));
    if (socket.Fd() < 0) return false;
    int64_t contentLength = -1;
    if (!ReadHeader(socket.Fd(), &contentLength, options)) return false;

    // Created only for the owner, never executable, and never through a link planted in a shared
    // temporary folder.
    const int fileFd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fileFd < 0) return false;
    FILE* file = fdopen(fileFd, "wb");
    if (!file) {
        close(fileFd);
        std::remove(path.c_str());
        return false;
    }
    if (progress) progress->store(0);
    int64_t received = 0;
    for (;;) {
        const ssize_t got = ReceiveSome(socket.Fd(), chunk.data(), chunk.size(), options.receiveTimeoutMs, nullptr);
        if (got == 0) {
            const bool flushed = std::fclose(file) == 0;
            if (!flushed) std::remove(path.c_str());
            return flushed;
        }
        const bool written = got > 0 && std::fwrite(chunk.data(), 1, static_cast<size_t>(got), file) ==
                                            static_cast<size_t>(got);
        if (got > 0) received += got;
        if (!written || received > kMaxDownloadBytes) {
            std::fclose(file);
            std::remove(path.c_str());
            return false;
        }
        if (progress && contentLength > 0) {
            const int64_t percent = received * 100 / contentLength;
            progress->store(percent > INT32_MAX ? INT32_MAX : static_cast<int>(percent));
        }
    }
}

}  // namespace solvane
