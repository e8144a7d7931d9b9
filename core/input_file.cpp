#include "core/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace solvane {
namespace {

std::string ReasonOfError(int error)
{
    switch (error) {
    case ENOENT: return {};  // "not found" is what the load's own message says
    case EACCES:
    case EPERM: return kReasonNoPermission;
    case EISDIR: return kReasonDirectory;
    default: return std::strerror(error);
    }
}

std::string ReasonOfType(mode_t mode)
{
    return S_ISDIR(mode) ? kReasonDirectory : kReasonNotRegular;
}

}  // namespace

int OpenRegularFile(const char* path, std::string* reason)
{
    std::string why;
    int fd = -1;
    struct stat info {};
    if (::stat(path, &info) != 0) {
        why = ReasonOfError(errno);
    } else if (!S_ISREG(info.st_mode)) {
        why = ReasonOfType(info.st_mode);
    } else {
        // O_NONBLOCK: should the path become a pipe between stat() and open(), the open still
        // returns at once (and fstat refuses it); reads of a regular file ignore the flag.
        fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
        if (fd < 0) {
            why = ReasonOfError(errno);
        } else if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
            why = ReasonOfType(info.st_mode);
            ::close(fd);
            fd = -1;
        }
    }
    if (reason) *reason = std::move(why);
    return fd;
}

std::string UnreadableReason(const char* path)
{
    std::string reason;
    const int fd = OpenRegularFile(path, &reason);
    if (fd >= 0) ::close(fd);
    return reason;
}

bool IsRegularFile(const char* path)
{
    struct stat info {};
    return ::stat(path, &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace solvane
