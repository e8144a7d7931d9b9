// A minimal HTTP/1.0 client (RFC 1945) over plain TCP sockets: one GET request per connection,
// the reply discarded, read into a caller buffer, or streamed into a file with a percentage.
// Runs on background threads; every operation is self-contained and re-entrant.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

namespace solvane {

// Bounds on how long a peer may keep a calling thread: a silent peer makes the call fail instead
// of blocking it forever. The header and the small replies must arrive within replyDeadlineMs;
// a download has no overall deadline, only the per-receive time-out.
struct HttpOptions {
    int connectTimeoutMs = 10000;
    int receiveTimeoutMs = 10000;
    int replyDeadlineMs = 30000;
};

struct ParsedUrl {
    std::string host;   // copied out of the URL, without port
    uint16_t port = 80; // host byte order
    std::string path;   // from the first "/" to the end; "/" when there is none
};

// "http://" (exact case) is optional; host up to ":" or "/"; ":port" decimal, 1..65535; the path
// is the rest from "/". False for port 0, a port above 65535, an empty host, or a URL holding a
// blank or a control character (they would break the request line).
bool ParseUrl(const std::string& url, ParsedUrl& parsed);

// Resolves host (a numeric address directly, otherwise the first address the name lookup gives),
// connects within the connect time-out and sends
// "GET <path> HTTP/1.0\r\nHost: <host>\r\nUser-Agent: Solvane/1.0\r\n\r\n". Returns the connected
// socket, or -1.
int OpenRequest(const std::string& host, uint16_t port, const std::string& path,
                const HttpOptions& options = {});

// Reads the reply header one byte at a time: at most 511 bytes up to and including the blank
// line. Fails unless the status line reads "HTTP/<major>.<minor> <status>" with a 2xx status.
// When contentLength is given it receives the "Content-Length: " value, or -1 when absent.
// The whole header must arrive within options.replyDeadlineMs.
bool ReadHeader(int socket, int64_t* contentLength, const HttpOptions& options = {});

// Sends the request and discards the reply until the peer closes. True when the request went out
// on a connected socket; the status is not looked at.
bool HttpFireAndForget(const std::string& url, const HttpOptions& options = {});

// Reads the body of a 2xx reply into buffer (at most capacity - 1 bytes) and terminates it with a
// zero byte. False for a missing URL or buffer, capacity below 1, a failed request or a bad
// header.
bool HttpGetToBuffer(const char* url, char* buffer, size_t capacity, const HttpOptions& options = {});

// Streams the body of a 2xx reply into the file at path, created only after a good header.
// progress (optional) is set to 0, then after each chunk to received * 100 / Content-Length when
// the length is positive (it may exceed 100 when the peer sends more than announced). An orderly
// close is success, even when the body is shorter than announced; a receive error, a time-out or
// a failed write deletes the file and fails.
bool HttpGetToFile(const std::string& url, const std::string& path, std::atomic<int>* progress,
                   const HttpOptions& options = {});

}  // namespace solvane
