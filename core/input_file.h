// Opening input files without ever opening what is not one: a directory, a named pipe, a socket
// or a device is refused from its stat() before any open(), so a pipe cannot block the reader and
// a device sees no access. What went wrong is kept as a short reason for the user.
#pragma once

#include <string>

namespace solvane {

// Reasons a path cannot be read as an input file.
constexpr const char* kReasonDirectory = "Is a directory";
constexpr const char* kReasonNoPermission = "Permission denied";
constexpr const char* kReasonNotRegular = "not a regular file";

// Opens a regular file for reading and returns its descriptor, or -1. On failure *reason (when
// given) says why: one of the texts above, the system's text for other errors, or empty when the
// file does not exist.
int OpenRegularFile(const char* path, std::string* reason = nullptr);

// Why the path cannot be opened as an input file; empty when it can, or when it does not exist.
std::string UnreadableReason(const char* path);

// Whether the path names a regular file (stat only: nothing is opened).
bool IsRegularFile(const char* path);

}  // namespace solvane
