// solvane-usage-server: the reference usage-reporting endpoint. Listens on the given address only
// (127.0.0.1 unless --bind says otherwise) until SIGINT or SIGTERM.
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "net/server/usage_server.h"

int main(int argc, char** argv)
{
    std::vector<std::string> arguments(argv + 1, argv + argc);
    if (arguments.size() == 1 && (arguments[0] == "--help" || arguments[0] == "-h")) {
        std::printf("usage: solvane-usage-server --port N --log FILE [--bind ADDR]\n"
                    "         [--message-id N --message-title T --message-body B]\n"
                    "         [--update-url URL --update-description D --update-file F]\n");
        return 0;
    }
    solvane::UsageServerOptions options;
    std::string error;
    if (!solvane::ParseUsageServerArguments(arguments, options, error)) {
        std::fprintf(stderr, "solvane-usage-server: %s (see --help)\n", error.c_str());
        return 2;
    }
    // Every thread inherits the blocked signals, so only sigwait below receives them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    solvane::UsageServer server(options);
    if (!server.Start(error)) {
        std::fprintf(stderr, "solvane-usage-server: %s\n", error.c_str());
        return 1;
    }
    std::printf("listening on %s port %u\n", options.bindAddress.c_str(), static_cast<unsigned>(server.Port()));
    std::fflush(stdout);
    int received = 0;
    sigwait(&signals, &received);
    server.Stop();
    return 0;
}
