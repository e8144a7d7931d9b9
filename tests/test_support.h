// Helpers for the tests: the shared corpus, scratch files, loading with a private context.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "load/dispatch.h"
#include "core/model.h"

namespace solvane::test {

// ../shared beside the source tree (empty when it is absent).
std::filesystem::path SharedDir();
std::filesystem::path SourceDir();

// Files below ../shared/corpus/<folder> (recursively) whose extension is one of the given ones
// (case-insensitive, with the dot; empty = every file). Skips the calling test when ../shared is
// absent; the caller should ASSERT_FALSE(files.empty()) so an emptied folder fails.
std::vector<std::filesystem::path> CorpusFiles(const std::string& folder,
                                               const std::vector<std::string>& extensions = {},
                                               bool recursive = true);
#define SOLVANE_SKIP_WITHOUT_SHARED()                                          \
    do {                                                                       \
        if (::solvane::test::SharedDir().empty()) GTEST_SKIP() << "no ../shared"; \
    } while (0)

// The whole file's bytes (empty when it cannot be read).
std::string ReadFileBytes(const std::filesystem::path& path);

// A fresh scratch folder, removed when the object goes.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    const std::filesystem::path& Path() const { return path_; }
    // Writes a file and returns its path.
    std::string Write(const std::string& name, const std::string& bytes) const;

private:
    std::filesystem::path path_;
};

struct LoadOutcome {
    std::unique_ptr<Model> model;
    int32_t code = 100;
    std::string reason;  // why the input could not be read, when it could not
};
// Loads through the dispatch with a private context.
LoadOutcome Load(const std::string& path);

// Appends a face with the given corners to the mesh.
inline void AddFace(SubMesh& mesh, std::initializer_list<uint32_t> corners)
{
    mesh.AppendFace(std::data(corners), static_cast<int>(corners.size()));
}

// Runs a command and returns its exit status, with its standard output in *output.
int RunCommand(const std::string& command, std::string* output);

}  // namespace solvane::test
