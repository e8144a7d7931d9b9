#include "tests/test_support.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <sys/wait.h>

namespace solvane::test {

std::filesystem::path SharedDir()
{
    const std::filesystem::path dir(SOLVANE_SHARED_DIR);
    std::error_code error;
    if (std::filesystem::is_directory(dir / "corpus", error)) return std::filesystem::canonical(dir);
    return {};
}

std::filesystem::path SourceDir()
{
    return std::filesystem::path(SOLVANE_SOURCE_DIR);
}

std::vector<std::filesystem::path> CorpusFiles(const std::string& folder,
                                               const std::vector<std::string>& extensions, bool recursive)
{
    std::vector<std::filesystem::path> files;
    const std::filesystem::path shared = SharedDir();
    if (shared.empty()) return files;
    const std::filesystem::path root = shared / "corpus" / folder;
    if (!std::filesystem::is_directory(root)) return files;
    auto wanted = [&](const std::filesystem::path& path) {
        if (extensions.empty()) return true;
        std::string extension = path.extension().string();
        std::transform(extension.begin(), extension.end(), extension.begin(), ::tolower);
        return std::find(extensions.begin(), extensions.end(), extension) != extensions.end();
    };
    if (recursive) {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
            if (entry.is_regular_file() && wanted(entry.path())) files.push_back(entry.path());
        }
    } else {
        for (const auto& entry : std::filesystem::directory_iterator(root)) {
            if (entry.is_regular_file() && wanted(entry.path())) files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string ReadFileBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

ScratchDir::ScratchDir()
{
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() /
            ("solvane-test-" + std::to_string(::getpid()) + "-" + std::to_string(random()));
    std::filesystem::create_directories(path_);
}

ScratchDir::~ScratchDir()
{
    std::error_code error;
    std::filesystem::remove_all(path_, error);
}

std::string ScratchDir::Write(const std::string& name, const std::string& bytes) const
{
    const std::filesystem::path file = path_ / name;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return file.string();
}

LoadOutcome Load(const std::string& path)
{
    LoadContext ctx;
    LoadOutcome outcome;
    outcome.model = LoadModelFile(path, ctx);
    outcome.code = ctx.result.load();
    return outcome;
}

int RunCommand(const std::string& command, std::string* output)
{
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return -1;
    std::array<char, 4096> buffer{};
    std::string text;
    size_t got;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) text.append(buffer.data(), got);
    const int status = ::pclose(pipe);
    if (output) *output = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace solvane::test
