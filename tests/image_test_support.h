// Helpers for the image reader tests: reference decodes from the corpus, the corpus's case table,
// and the truncation sweep.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "core/format_id.h"
#include "core/model.h"
#include "image/image.h"
#include "image/readers.h"
#include "tests/reader_test_support.h"

namespace solvane::test {

// A binary PPM reference as written by the corpus: "P6\n<w> <h>\n255\n" and top-row-first pixels.
struct ReferenceImage {
    int width = 0;
    int height = 0;
    std::string pixels;
};

inline bool ReadReference(const std::filesystem::path& path, ReferenceImage& reference)
{
    const std::string bytes = ReadFileBytes(path);
    std::istringstream header(bytes);
    std::string magic;
    int maxval = 0;
    header >> magic >> reference.width >> reference.height >> maxval;
    if (!header || magic != "P6" || maxval != 255) return false;
    const size_t start = static_cast<size_t>(header.tellg()) + 1;
    const size_t size = static_cast<size_t>(reference.width) * reference.height * 3;
    if (bytes.size() != start + size) return false;
    reference.pixels = bytes.substr(start);
    return true;
}

// Compares a decode with a top-row-first reference; bottomRowFirst says how the decode is kept.
inline ::testing::AssertionResult SameAsReference(const Texture& image, const ReferenceImage& reference,
                                                  bool bottomRowFirst)
{
    if (image.width != reference.width || image.height != reference.height) {
        return ::testing::AssertionFailure() << "size " << image.width << "x" << image.height << ", reference "
                                             << reference.width << "x" << reference.height;
    }
    if (image.pixels.size() != reference.pixels.size()) {
        return ::testing::AssertionFailure() << "pixel buffer of " << image.pixels.size() << " bytes";
    }
    const size_t rowLength = static_cast<size_t>(image.width) * 3;
    for (int r = 0; r < image.height; ++r) {
        const int referenceRow = bottomRowFirst ? image.height - 1 - r : r;
        const uint8_t* got = image.pixels.data() + r * rowLength;
        const char* want = reference.pixels.data() + referenceRow * rowLength;
        for (size_t i = 0; i < rowLength; ++i) {
            if (got[i] != static_cast<uint8_t>(want[i])) {
                return ::testing::AssertionFailure()
                       << "memory row " << r << " byte " << i << ": " << int{got[i]} << ", reference "
                       << int{static_cast<uint8_t>(want[i])};
            }
        }
    }
    return ::testing::AssertionSuccess();
}

// cases.tsv beside the image corpus: file (relative to corpus/images) -> expectation and reference.
struct ImageCase {
    std::string expect;
    std::string reference;
};

inline std::map<std::string, ImageCase> ImageCases()
{
    std::map<std::string, ImageCase> cases;
    std::ifstream in(SharedDir() / "corpus" / "images" / "cases.tsv");
    std::string line;
    std::getline(in, line);  // column names
    while (std::getline(in, line)) {
        std::vector<std::string> fields;
        std::istringstream row(line);
        for (std::string field; std::getline(row, field, '\t');) fields.push_back(field);
        if (fields.size() >= 4) cases[fields[0]] = {fields[2], fields[3]};
    }
    return cases;
}

// Runs every file of corpus/images/<kind> with the extension through LoadImageFile: "match" and
// "choice" files must equal their reference (every choice in this set is decided for decoding),
// "refuse" files must give no image. Reference decodes (".ref.ppm") are not inputs.
inline void CheckImageCorpus(const std::string& kind, const std::string& extension, FormatId id,
                             bool bottomRowFirst)
{
    const auto files = CorpusFiles("images/" + kind, {extension});
    ASSERT_FALSE(files.empty()) << "corpus/images/" << kind << " holds no " << extension << " files";
    const auto cases = ImageCases();
    const std::filesystem::path root = SharedDir() / "corpus" / "images";
    for (const auto& file : files) {
        const std::string name = std::filesystem::relative(file, root).generic_string();
        if (name.ends_with(".ref.ppm")) continue;
        SCOPED_TRACE(name);
        const auto found = cases.find(name);
        ASSERT_NE(found, cases.end()) << "not listed in cases.tsv";
        std::unique_ptr<Texture> image = LoadImageFile(file.string().c_str(), id);
        if (found->second.expect == "refuse") {
            EXPECT_EQ(image, nullptr);
            continue;
        }
        ReferenceImage reference;
        ASSERT_TRUE(ReadReference(root / found->second.reference, reference));
        ASSERT_NE(image, nullptr);
        EXPECT_TRUE(SameAsReference(*image, reference, bottomRowFirst));
    }
}

inline std::unique_ptr<Texture> LoadBytes(const ScratchDir& scratch, const std::string& name,
                                          const std::string& bytes, FormatId id)
{
    return LoadImageFile(scratch.Write(name, bytes).c_str(), id);
}

// Cuts the file at every length below its own and decodes each cut in memory: each is refused or
// yields a consistent image. Returns how many cuts were accepted.
inline int TruncationSweep(const std::string& bytes, std::unique_ptr<Texture> (*decode)(std::span<const uint8_t>))
{
    int accepted = 0;
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    for (size_t length = 0; length < bytes.size(); ++length) {
        // A private copy of each cut, so reading past its end is caught by the sanitizers.
        const std::vector<uint8_t> cut(data, data + length);
        std::unique_ptr<Texture> image = decode(cut);
        if (!image) continue;
        ++accepted;
        EXPECT_EQ(image->pixels.size(), static_cast<size_t>(image->width) * image->height * 3) << "cut " << length;
    }
    return accepted;
}

}  // namespace solvane::test
