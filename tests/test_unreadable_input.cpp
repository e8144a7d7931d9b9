// Inputs that cannot be read: directories, pipes, sockets, devices and files without read
// permission keep their load's result code and message and say why, without ever opening what is
// not a regular file (a pipe would block the reader for good).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "core/input_file.h"
#include "image/texture_search.h"
#include "load/dispatch.h"
#include "tests/test_support.h"

namespace solvane {
namespace {

// Watches a named pipe while a test runs: should anything open it for reading, the guard opens
// the writing end and closes it again, which ends the reader's wait with an end of file. So a
// reader that wrongly opens the pipe makes the test fail instead of hanging it.
class PipeGuard {
public:
    explicit PipeGuard(std::string path) : path_(std::move(path))
    {
        thread_ = std::thread([this] {
            while (!stop_) {
                // Opening the writing end without blocking succeeds only while a reader has it open.
                const int fd = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
                if (fd >= 0) {
                    opened_ = true;
                    ::close(fd);
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        });
    }
    ~PipeGuard()
    {
        stop_ = true;
        thread_.join();
    }
    bool Opened() const { return opened_; }

private:
    std::string path_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> opened_{false};
    std::thread thread_;
};

// A folder holding one input of every kind that cannot be read.
struct UnreadableInputs {
    test::ScratchDir dir;
    std::string Path(const char* name) const { return (dir.Path() / name).string(); }

    UnreadableInputs()
    {
        std::filesystem::create_directory(Path("folder.obj"));
        std::filesystem::create_directory(Path("folder"));
        EXPECT_EQ(::mkfifo(Path("pipe.obj").c_str(), 0644), 0);
        EXPECT_EQ(::mkfifo(Path("pipe").c_str(), 0644), 0);
        EXPECT_EQ(::mkfifo(Path("pipe.bmp").c_str(), 0644), 0);
        // A bound Unix socket leaves its name in the folder.
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::string socketPath = Path("socket.3ds");
        if (socketPath.size() < sizeof(address.sun_path)) {
            std::copy(socketPath.begin(), socketPath.end(), address.sun_path);
            EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
        }
        ::close(fd);
        const std::string locked = dir.Write("locked.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
        ::chmod(locked.c_str(), 0);
        // The folder and everything in it must be reachable by an unprivileged user.
        ::chmod(dir.Path().c_str(), 0755);
    }
};

TEST(UnreadableInput, EachKindKeepsItsCodeAndSaysWhy)
{
    UnreadableInputs inputs;
    PipeGuard guardNamed(inputs.Path("pipe.obj"));
    PipeGuard guardBare(inputs.Path("pipe"));
    struct Case {
        std::string path;
        int32_t code;  // the extension names a format: 102; otherwise identification fails: 101
        const char* reason;
    } cases[] = {
        {inputs.Path("folder.obj"), LoadResult::FileNotFound, kReasonDirectory},
        {inputs.Path("folder"), LoadResult::FormatNotRecognized, kReasonDirectory},
        {inputs.Path("pipe.obj"), LoadResult::FileNotFound, kReasonNotRegular},
        {inputs.Path("pipe"), LoadResult::FormatNotRecognized, kReasonNotRegular},
        {inputs.Path("socket.3ds"), LoadResult::FileNotFound, kReasonNotRegular},
        {"/dev/null", LoadResult::FormatNotRecognized, kReasonNotRegular},
        {inputs.Path("missing.obj"), LoadResult::FileNotFound, ""},  // the message says it all
    };
    for (const Case& c : cases) {
        const auto start = std::chrono::steady_clock::now();
        const test::LoadOutcome outcome = test::Load(c.path);
        EXPECT_FALSE(outcome.model) << c.path;
        EXPECT_EQ(outcome.code, c.code) << c.path;
        EXPECT_EQ(outcome.reason, c.reason) << c.path;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)) << c.path;
    }
    if (::geteuid() != 0) {
        const test::LoadOutcome locked = test::Load(inputs.Path("locked.obj"));
        EXPECT_EQ(locked.code, LoadResult::FileNotFound);
        EXPECT_EQ(locked.reason, kReasonNoPermission);
    }
    EXPECT_FALSE(guardNamed.Opened());
    EXPECT_FALSE(guardBare.Opened());
    // The message the user sees keeps the code's own text and adds the path and the reason.
    EXPECT_EQ(FailureMessage(LoadResult::FileNotFound, "/m/folder.obj", kReasonDirectory),
              "The file is not found, it may have been moved or renamed.\n/m/folder.obj: Is a directory");
    EXPECT_EQ(FailureMessage(LoadResult::FileNotFound, "/m/x.obj", ""), ResultMessageFor(LoadResult::FileNotFound));
}

TEST(UnreadableInput, TextureNamedAsAPipeIsSkippedWithoutOpeningIt)
{
    UnreadableInputs inputs;
    PipeGuard guard(inputs.Path("pipe.bmp"));
    const std::string model = inputs.dir.Write("model.x", "");
    EXPECT_FALSE(LoadTextureImage(inputs.Path("pipe.bmp"), model));
    EXPECT_FALSE(LoadTextureImage("pipe.bmp", model));  // found beside the model
    EXPECT_FALSE(LoadTextureImage("folder.obj", model));
    EXPECT_FALSE(guard.Opened());
}

// solvane-cli info, image and convert: exit status 1 at once, the code, message and reason in the
// JSON line (on standard error for convert); as an unprivileged user too (the test drops to
// "nobody" when it runs as root).
TEST(UnreadableInput, CliExitsAtOnceWithTheReasonAlsoForAnUnprivilegedUser)
{
    UnreadableInputs inputs;
    PipeGuard guard(inputs.Path("pipe.obj"));
    std::string prefix = "timeout 20 ";
    if (::geteuid() == 0) {
        std::string ignored;
        if (test::RunCommand("setpriv --reuid=nobody --regid=nogroup --clear-groups true 2>&1", &ignored) != 0)
            GTEST_SKIP() << "running as root and cannot drop to nobody with setpriv";
        prefix += "setpriv --reuid=nobody --regid=nogroup --clear-groups ";
    }
    struct Case {
        const char* command;
        const char* file;
        const char* expected;  // a part of the JSON line
    } cases[] = {
        {"info --json", "folder.obj",
         "\"result\":102,\"message\":\"The file is not found, it may have been moved or renamed.\\n\","
         "\"reason\":\"Is a directory\""},
        {"info --json", "locked.obj", "\"result\":102,"},
        {"info --json", "locked.obj", "\"reason\":\"Permission denied\""},
        {"info --json", "pipe.obj", "\"result\":102,"},
        {"info --json", "pipe.obj", "\"reason\":\"not a regular file\""},
        {"info --json", "pipe", "\"result\":101,"},
        {"info --json", "pipe", "\"reason\":\"not a regular file\""},
        {"info --json", "socket.3ds", "\"reason\":\"not a regular file\""},
        {"image --json", "pipe.bmp", "\"ok\":false"},
        {"image --json", "pipe.bmp", "\"reason\":\"not a regular file\""},
        {"image --json", "folder.obj", "\"reason\":\"Is a directory\""},
        {"convert --to off --out-dir /tmp", "pipe.obj", "(not a regular file)"},
    };
    for (const Case& c : cases) {
        const auto start = std::chrono::steady_clock::now();
        std::string out;
        const int status = test::RunCommand(prefix + SOLVANE_CLI_PATH + " " + c.command + " '" + inputs.Path(c.file) +
                                                "' 2>&1",
                                            &out);
        EXPECT_EQ(status, 1) << c.command << " " << c.file << ": " << out;
        EXPECT_NE(out.find(c.expected), std::string::npos) << c.command << " " << c.file << ": " << out;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << c.file;
    }
    EXPECT_FALSE(guard.Opened());
}

}  // namespace
}  // namespace solvane
