#include "formats/xfile.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "core/text_scan.h"

namespace solvane {
namespace {

// "xof " major(2) minor(2) format(4) float size(4).
constexpr int64_t kHeaderBytes = 16;
constexpr size_t kMaxMaterialName = 63;
constexpr size_t kMaxMeshName = 207;
constexpr size_t kMaxTextureName = 259;
// Names and strings longer than this are cut; nothing this reader keeps is longer.
constexpr size_t kMaxTokenText = 1024;
// Frames nested deeper than this are skipped as wholes.
constexpr int kMaxFrameNesting = 128;
constexpr int64_t kMaxArrayBytes = int64_t{1} << 30;
constexpr int32_t kMaxMaterials = 32767;

#ifndef NDEBUG
void DebugOutput(const char* text)
{
    std::fputs(text, stderr);
}
#else
void DebugOutput(const char*) {}
#endif

std::unique_ptr<Model> Fail(LoadContext& ctx)
{
    ctx.result.store(LoadResult::NotValidX);
    return nullptr;
}

bool EqualNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && StartsWithNoCase(a, b);
}

std::string Cut(std::string_view text, size_t limit)
{
    return std::string(text.substr(0, limit));
}

// ---- Tokens ----------------------------------------------------------------------------------

// Both forms of the file become one token stream: names, strings, numbers (the elements of binary
// integer and float lists one by one), GUIDs, braces and separators. Separators carry no meaning
// here: values are read in order, so text files may put any number of value groups on a line.
enum class TokenKind : uint8_t { End, Name, String, Number, Guid, OpenBrace, CloseBrace, Separator, Other };

struct Token {
    TokenKind kind = TokenKind::End;
    double number = 0;
    std::string text;  // names and strings
};

class TokenSource {
public:
    virtual ~TokenSource() = default;
    // The next token; End at the end of the input or at a token that runs past it.
    virtual Token Read() = 0;
    // An upper bound of the values the rest of the input can hold.
    virtual int64_t MaxValuesLeft() const = 0;
    // Back to the first token after the header (the next pass).
    virtual void Restart() = 0;
};

bool IsTextDelimiter(char c)
{
    switch (c) {
    case '{': case '}': case ';': case ',': case '"': case '<': case '>':
    case '[': case ']': case '(': case ')':
        return true;
    default:
        return false;
    }
}

class TextTokens final : public TokenSource {
public:
    explicit TextTokens(ReaderInput& in) : in_(in) {}

    Token Read() override
    {
        Token token;
        for (;;) {
            while (pos_ < line_.size() && IsScanBlank(line_[pos_])) ++pos_;
            if (pos_ >= line_.size()) {
                pos_ = 0;
                if (ReadXLine(in_, line_) < 0) {
                    line_.clear();
                    return token;
                }
                continue;
            }
            const char c = line_[pos_];
            switch (c) {
            case '{': ++pos_; token.kind = TokenKind::OpenBrace; return token;
            case '}': ++pos_; token.kind = TokenKind::CloseBrace; return token;
            case ';':
            case ',': ++pos_; token.kind = TokenKind::Separator; return token;
            case '"': token.kind = TokenKind::String; token.text = Enclosed('"'); return token;
            case '<': token.kind = TokenKind::Guid; Enclosed('>'); return token;
            case '>': case '[': case ']': case '(': case ')':
                ++pos_;
                token.kind = TokenKind::Other;
                return token;
            default: break;
            }
            const size_t start = pos_;
            while (pos_ < line_.size() && !IsScanBlank(line_[pos_]) && !IsTextDelimiter(line_[pos_])) ++pos_;
            const std::string_view word(line_.data() + start, pos_ - start);
            if ((c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.') {
                const char* p = word.data();
                if (ScanDouble(p, word.data() + word.size(), token.number)) {
                    token.kind = TokenKind::Number;
                    return token;
                }
            }
            token.kind = TokenKind::Name;
            token.text = Cut(word, kMaxTokenText);
            return token;
        }
    }

    int64_t MaxValuesLeft() const override
    {
        // Every value takes at least one character; a few tokens may wait in the look-ahead.
        return in_.Remaining() + static_cast<int64_t>(line_.size() - pos_) + 16;
    }

    void Restart() override
    {
        in_.SkipBytes(kHeaderBytes, SEEK_SET);
        line_.clear();
        pos_ = 0;
    }

private:
    // The text after the opening character up to the closing one (or the line's end).
    std::string Enclosed(char close)
    {
        const size_t start = pos_ + 1;
        size_t end = line_.find(close, start);
        const size_t next = end == std::string::npos ? line_.size() : end + 1;
        if (end == std::string::npos) {
            end = line_.size();
            while (end > start && (line_[end - 1] == '\n' || line_[end - 1] == '\r')) --end;
        }
        pos_ = next;
        return line_.substr(start, std::min(end - start, kMaxTokenText));
    }

    ReaderInput& in_;
    std::string line_;
    size_t pos_ = 0;
};

// The binary token stream: 16-bit little-endian token codes, some followed by data.
namespace BinaryToken {
constexpr int Name = 1;
constexpr int String = 2;
constexpr int Integer = 3;
constexpr int Guid = 5;
constexpr int IntegerList = 6;
constexpr int FloatList = 7;
constexpr int OpenBrace = 10;
constexpr int CloseBrace = 11;
constexpr int Comma = 19;
constexpr int Semicolon = 20;
}  // namespace BinaryToken

class BinaryTokens final : public TokenSource {
public:
    BinaryTokens(ReaderInput& in, int floatSize) : in_(in), floatSize_(floatSize) {}

    Token Read() override
    {
        Token token;
        for (;;) {
            if (listLeft_ > 0) {
                --listLeft_;
                if (!listIsFloat_) {
                    token.number = in_.ReadLE32();
                } else if (floatSize_ == 8) {
                    // Doubles are kept as floats, like every coordinate of the model.
                    token.number = static_cast<float>(in_.ReadLEDouble());
                } else {
                    token.number = in_.ReadLEFloat();
                }
                if (in_.Overrun()) return Token{};
                token.kind = TokenKind::Number;
                return token;
            }
            int code = pendingCode_;
            pendingCode_ = -1;
            if (code < 0) {
                if (in_.Remaining() < 2) return token;
                code = in_.ReadLE16();
            }
            switch (code) {
            case BinaryToken::Name:
            case BinaryToken::String: {
                if (in_.Remaining() < 4) return Token{};
                const uint32_t length = in_.ReadLE32();
                if (length > in_.Remaining()) return Token{};
                const size_t kept = std::min<size_t>(length, kMaxTokenText);
                token.text.assign(kept, '\0');
                in_.ReadBytes(token.text.data(), 1, kept);
                in_.SkipBytes(static_cast<int64_t>(length - kept), SEEK_CUR);
                token.kind = code == BinaryToken::Name ? TokenKind::Name : TokenKind::String;
                if (code == BinaryToken::String) SkipStringTerminator();
                return token;
            }
            case BinaryToken::Integer:
                if (in_.Remaining() < 4) return Token{};
                token.number = in_.ReadLE32();
                token.kind = TokenKind::Number;
                return token;
            case BinaryToken::Guid:
                if (in_.Remaining() < 16) return Token{};
                in_.SkipBytes(16, SEEK_CUR);
                token.kind = TokenKind::Guid;
                return token;
            case BinaryToken::IntegerList:
            case BinaryToken::FloatList: {
                if (in_.Remaining() < 4) return Token{};
                const int64_t count = in_.ReadLE32();
                const int64_t elementSize = code == BinaryToken::IntegerList ? 4 : floatSize_;
                if (count * elementSize > in_.Remaining()) return Token{};
                listLeft_ = count;
                listIsFloat_ = code == BinaryToken::FloatList;
                continue;  // an empty list yields nothing
            }
            case BinaryToken::OpenBrace: token.kind = TokenKind::OpenBrace; return token;
            case BinaryToken::CloseBrace: token.kind = TokenKind::CloseBrace; return token;
            case BinaryToken::Comma:
            case BinaryToken::Semicolon: token.kind = TokenKind::Separator; return token;
            default:
                // Keywords (template, DWORD, array, ...) and punctuation carry no data.
                token.kind = TokenKind::Other;
                return token;
            }
        }
    }

    int64_t MaxValuesLeft() const override { return in_.Remaining() / 4 + 16; }

    void Restart() override
    {
        in_.SkipBytes(kHeaderBytes, SEEK_SET);
        listLeft_ = 0;
        pendingCode_ = -1;
    }

private:
    // A string ends with a terminator: written files use a 2-byte separator token, the format
    // description a 4-byte one (the separator code and a zero word). Both are taken here.
    void SkipStringTerminator()
    {
        if (in_.Remaining() < 2) return;
        const int code = in_.ReadLE16();
        if (code != BinaryToken::Comma && code != BinaryToken::Semicolon) {
            pendingCode_ = code;
            return;
        }
        if (in_.Remaining() < 2) return;
        const int next = in_.ReadLE16();
        if (next != 0) pendingCode_ = next;  // no token has code 0
    }

    ReaderInput& in_;
    int floatSize_;
    int64_t listLeft_ = 0;
    bool listIsFloat_ = false;
    int pendingCode_ = -1;
};

// ---- Blocks ------------------------------------------------------------------------------------

enum class Pass { Count, Names, Fill };

enum class BlockKind { Other, Frame, Mesh, Material, TextureFilename, MeshMaterialList, MeshNormals, MeshTextureCoords };

BlockKind KindOf(std::string_view identifier)
{
    static constexpr struct {
        const char* name;
        BlockKind kind;
    } kBlocks[] = {
        {"Frame", BlockKind::Frame},
        {"Mesh", BlockKind::Mesh},
        {"Material", BlockKind::Material},
        {"TextureFilename", BlockKind::TextureFilename},
        {"MeshMaterialList", BlockKind::MeshMaterialList},
        {"MeshNormals", BlockKind::MeshNormals},
        {"MeshTextureCoords", BlockKind::MeshTextureCoords},
    };
    for (const auto& block : kBlocks) {
        if (EqualNoCase(identifier, block.name)) return block.kind;
    }
    return BlockKind::Other;
}

// Walks the data blocks of the file. The three passes share the walk, so the blocks they see, and
// the order in which meshes, materials and textures are numbered, are the same in each.
class XParser {
public:
    XParser(TokenSource& tokens, Pass pass) : tokens_(tokens), pass_(pass) {}

    // Results of the count and names passes.
    int64_t meshCount = 0;
    int64_t materialCount = 0;
    std::vector<std::string> textureNames;   // distinct, in order of first appearance
    std::vector<std::string> materialNames;  // in material order

    // The fill pass writes here.
    Model* model = nullptr;

    // False when the file is malformed (only the fill pass reads values).
    bool Run()
    {
        ReadContainer(0);
        return !failed_;
    }

private:
    const Token& Peek()
    {
        if (ahead_.empty()) ahead_.push_back(tokens_.Read());
        return ahead_.front();
    }

    Token Next()
    {
        if (ahead_.empty()) return tokens_.Read();
        Token token = std::move(ahead_.front());
        ahead_.pop_front();
        return token;
    }

    // After a block identifier: an optional name, an optional GUID, then "{". True when this is
    // a block (its brace consumed).
    bool ReadBlockHeader(std::string& name, bool& named)
    {
        named = false;
        if (Peek().kind == TokenKind::Name) {
            name = Next().text;
            named = true;
        }
        if (Peek().kind == TokenKind::Guid) Next();
        if (Peek().kind != TokenKind::OpenBrace) return false;
        Next();
        return true;
    }

    // Skips the rest of a block whose "{" was consumed, nested blocks included.
    void SkipBlock()
    {
        int64_t depth = 1;
        for (;;) {
            const Token token = Next();
            if (token.kind == TokenKind::End) return;
            if (token.kind == TokenKind::OpenBrace) ++depth;
            if (token.kind == TokenKind::CloseBrace && --depth == 0) return;
        }
    }

    // A reference "{ name }" whose "{" was consumed: the first name inside.
    std::string ReadReference()
    {
        std::string name;
        bool found = false;
        int64_t depth = 1;
        for (;;) {
            Token token = Next();
            if (token.kind == TokenKind::End) return name;
            if (token.kind == TokenKind::OpenBrace) ++depth;
            if (token.kind == TokenKind::CloseBrace && --depth == 0) return name;
            if (token.kind == TokenKind::Name && !found) {
                name = std::move(token.text);
                found = true;
            }
        }
    }

    // The next value, passing over separators; false (nothing consumed) when the next token is
    // not a number.
    bool ReadNumber(double& value)
    {
        while (Peek().kind == TokenKind::Separator) Next();
        if (Peek().kind != TokenKind::Number) return false;
        value = Next().number;
        return true;
    }

    int ReadFloats(float* out, int count)
    {
        for (int i = 0; i < count; ++i) {
            double value = 0;
            if (!ReadNumber(value)) return i;
            out[i] = static_cast<float>(value);
        }
        return count;
    }

    // A count: a whole number from 0 that the rest of the file can hold valuesEach values per
    // entry of.
    bool ReadCount(int64_t& count, int64_t valuesEach)
    {
        double value = 0;
        if (!ReadNumber(value) || !(value >= 0) || value > 2147483647.0) return false;
        count = static_cast<int64_t>(value);
        return count * valuesEach <= tokens_.MaxValuesLeft();
    }

    // An index brought into 0 .. count - 1 (count > 0).
    bool ReadIndex(uint32_t& index, int64_t count)
    {
        double value = 0;
        if (!ReadNumber(value)) return false;
        const double last = static_cast<double>(count - 1);
        index = static_cast<uint32_t>(!(value > 0) ? 0.0 : std::min(std::floor(value), last));
        return true;
    }

    // The blocks of the top level or of a frame, up to its closing brace.
    void ReadContainer(int depth)
    {
        while (!failed_) {
            Token token = Next();
            switch (token.kind) {
            case TokenKind::End: return;
            case TokenKind::CloseBrace:
                if (depth > 0) return;
                break;  // a stray brace at the top level
            case TokenKind::OpenBrace: SkipBlock(); break;
            case TokenKind::Name: {
                std::string name;
                bool named = false;
                if (!ReadBlockHeader(name, named)) break;
                switch (KindOf(token.text)) {
                case BlockKind::Frame:
                    if (depth < kMaxFrameNesting) ReadContainer(depth + 1);
                    else SkipBlock();
                    break;
                // A nameless block scans "{" as its name, as the word after the keyword.
                case BlockKind::Mesh: ReadMesh(named ? name : "{"); break;
                case BlockKind::Material: ReadMaterial(named ? name : "{"); break;
                default: SkipBlock(); break;
                }
                break;
            }
            default: break;
            }
        }
    }

    struct MeshParts {
        std::vector<float> normals;
        bool hasNormals = false;
    };

    void ReadMesh(const std::string& name)
    {
        if (pass_ == Pass::Count) ++meshCount;
        if (pass_ != Pass::Fill) {
            ReadMeshBlocks(nullptr, nullptr);
            return;
        }
        if (nextMesh_ >= model->subMeshes.size()) {
            failed_ = true;
            return;
        }
        SubMesh& mesh = model->subMeshes[nextMesh_++];
        mesh.name = Cut(name, kMaxMeshName);
        if (!ReadMeshValues(mesh)) {
            failed_ = true;
            return;
        }
        MeshParts parts;
        ReadMeshBlocks(&mesh, &parts);
        if (failed_) return;
        // Normal i belongs to vertex i; a list that does not pair up with the vertices is dropped.
        if (parts.hasNormals && parts.normals.size() == mesh.vertices.size())
            mesh.normals = std::move(parts.normals);
        // Texture coordinate i belongs to vertex i: the corner indices serve for both.
        if (!mesh.texCoords.empty()) {
            mesh.faceTexCoordIndices = mesh.faceIndices;
            const uint32_t last = static_cast<uint32_t>(mesh.TexCoordCount() - 1);
            for (uint32_t& index : mesh.faceTexCoordIndices) index = std::min(index, last);
        }
    }

    // Vertices, then faces (corner count, corner indices).
    bool ReadMeshValues(SubMesh& mesh)
    {
        int64_t vertexCount = 0;
        if (!ReadCount(vertexCount, 3) || vertexCount * 12 > kMaxArrayBytes) return false;
        mesh.vertices.resize(static_cast<size_t>(vertexCount) * 3);
        BoundsBuilder bounds;
        double sum[3] = {0, 0, 0};
        for (int64_t i = 0; i < vertexCount; ++i) {
            float* v = &mesh.vertices[static_cast<size_t>(i) * 3];
            if (ReadFloats(v, 3) != 3) return false;
            bounds.Extend(v[0], v[1], v[2]);
            for (int axis = 0; axis < 3; ++axis) sum[axis] += v[axis];
        }
        mesh.bounds = bounds.bounds;
        if (vertexCount > 0) {
            const double n = static_cast<double>(vertexCount);
            mesh.centroid = {static_cast<float>(sum[0] / n), static_cast<float>(sum[1] / n),
                             static_cast<float>(sum[2] / n)};
        }

        int64_t faceCount = 0;
        if (!ReadCount(faceCount, 1) || faceCount * 4 > kMaxArrayBytes) return false;
        mesh.ReserveFaces(faceCount, std::min({faceCount * 3, tokens_.MaxValuesLeft(), kMaxArrayBytes / 4}), false);
        std::vector<uint32_t> corners;
        for (int64_t f = 0; f < faceCount; ++f) {
            int64_t cornerCount = 0;
            if (!ReadCount(cornerCount, 1) || cornerCount > kMaxFaceCorners) return false;
            corners.clear();
            for (int64_t k = 0; k < cornerCount; ++k) {
                uint32_t index = 0;
                if (!ReadIndex(index, std::max<int64_t>(vertexCount, 1))) return false;
                // Without vertices a face keeps no corners.
                if (vertexCount > 0) corners.push_back(index);
            }
            mesh.AppendFace(corners.data(), static_cast<int>(corners.size()));
        }
        return true;
    }

    // The blocks nested in a mesh, up to its closing brace. mesh is null in the counting passes.
    void ReadMeshBlocks(SubMesh* mesh, MeshParts* parts)
    {
        while (!failed_) {
            Token token = Next();
            switch (token.kind) {
            case TokenKind::End:
            case TokenKind::CloseBrace: return;
            case TokenKind::OpenBrace: SkipBlock(); break;
            case TokenKind::Name: {
                std::string name;
                bool named = false;
                if (!ReadBlockHeader(name, named)) break;
                switch (KindOf(token.text)) {
                case BlockKind::MeshMaterialList: ReadMaterialList(mesh); break;
                case BlockKind::MeshNormals:
                    if (mesh) ReadNormals(*parts);
                    else SkipBlock();
                    break;
                case BlockKind::MeshTextureCoords:
                    if (mesh) ReadTexCoords(*mesh);
                    else SkipBlock();
                    break;
                default: SkipBlock(); break;
                }
                break;
            }
            default: break;
            }
        }
    }

    // A count, then that many groups of `per` floats into values; false (and failed_) when the
    // count or a value is missing or the array would be too large.
    bool ReadFloatGroups(std::vector<float>& values, int per)
    {
        int64_t count = 0;
        if (!ReadCount(count, per) || count * per * 4 > kMaxArrayBytes) {
            failed_ = true;
            return false;
        }
        values.assign(static_cast<size_t>(count) * per, 0.0f);
        for (int64_t i = 0; i < count; ++i) {
            if (ReadFloats(&values[static_cast<size_t>(i) * per], per) != per) {
                failed_ = true;
                return false;
            }
        }
        return true;
    }

    void ReadNormals(MeshParts& parts)
    {
        if (!ReadFloatGroups(parts.normals, 3)) return;
        parts.hasNormals = true;
        SkipBlock();  // the face normals
    }

    void ReadTexCoords(SubMesh& mesh)
    {
        if (!ReadFloatGroups(mesh.texCoords, 2)) return;
        SkipBlock();
    }

    // Face material indices, then one entry per material: a reference "{ name }" or a Material
    // block; each face takes the material of its entry.
    void ReadMaterialList(SubMesh* mesh)
    {
        std::vector<int32_t> faceEntries;
        if (mesh) {
            int64_t listedMaterials = 0, indexCount = 0;
            if (!ReadCount(listedMaterials, 0) || !ReadCount(indexCount, 1)) {
                failed_ = true;
                return;
            }
            const int64_t faceCount = mesh->FaceCount();
            faceEntries.assign(static_cast<size_t>(faceCount), -1);
            for (int64_t i = 0; i < indexCount; ++i) {
                double value = 0;
                if (!ReadNumber(value)) {
                    failed_ = true;
                    return;
                }
                if (i < faceCount)
                    faceEntries[static_cast<size_t>(i)] = value >= 0 && value < 2147483647.0 ? static_cast<int32_t>(value) : -1;
            }
            // One index for several faces: every face takes it.
            if (indexCount == 1 && faceCount > 1) std::fill(faceEntries.begin(), faceEntries.end(), faceEntries[0]);
        }

        std::vector<int32_t> entries;
        while (!failed_) {
            Token token = Next();
            if (token.kind == TokenKind::End || token.kind == TokenKind::CloseBrace) break;
            if (token.kind == TokenKind::OpenBrace) {
                const std::string name = ReadReference();
                if (mesh) entries.push_back(FindMaterial(name));
                continue;
            }
            if (token.kind != TokenKind::Name) continue;
            std::string name;
            bool named = false;
            if (!ReadBlockHeader(name, named)) continue;
            if (KindOf(token.text) != BlockKind::Material) {
                SkipBlock();
                continue;
            }
            // An inline material without a name is named by its number.
            if (!named) name = "Inline Material " + std::to_string(nextMaterial_ + 1);
            const int32_t index = ReadMaterial(name);
            if (mesh) entries.push_back(index);
        }
        if (!mesh || failed_) return;
        mesh->faceMaterials.resize(faceEntries.size());
        for (size_t f = 0; f < faceEntries.size(); ++f) {
            const int32_t entry = faceEntries[f];
            mesh->faceMaterials[f] = entry >= 0 && static_cast<size_t>(entry) < entries.size() ? entries[entry] : -1;
        }
    }

    // The first material of that name, -1 when there is none.
    int32_t FindMaterial(const std::string& name) const
    {
        const std::string wanted = Cut(name, kMaxMaterialName);
        for (size_t i = 0; i < materialNames.size(); ++i) {
            if (materialNames[i] == wanted) return static_cast<int32_t>(i);
        }
        return -1;
    }

    // A material block whose "{" was consumed; returns its number (-1 in the counting passes).
    int32_t ReadMaterial(const std::string& name)
    {
        const int32_t number = static_cast<int32_t>(nextMaterial_++);
        if (pass_ == Pass::Count) ++materialCount;
        if (pass_ == Pass::Names) materialNames.push_back(Cut(name, kMaxMaterialName));
        if (pass_ != Pass::Fill) {
            ReadMaterialBlocks(nullptr);
            return -1;
        }
        if (static_cast<size_t>(number) >= model->materials.size()) {
            failed_ = true;
            return -1;
        }
        Material& material = model->materials[static_cast<size_t>(number)];
        material.name = Cut(name, kMaxMaterialName);

        // Face colour r, g, b, a; power; specular r, g, b; emissive r, g, b.
        float face[4] = {0, 0, 0, 0};
        const int faceValues = ReadFloats(face, 4);
        float power = 0;
        ReadFloats(&power, 1);
        const int specularValues = ReadFloats(material.specular.data(), 3);
        float emissive[3];
        const int emissiveValues = ReadFloats(emissive, 3);
        material.color = {face[0], face[1], face[2]};
        // Without an alpha value the material stays opaque.
        if (faceValues == 4) material.transparency = 1.0f - face[3];
        if (emissiveValues == 3) material.diffuse = material.color;
        // The flags describe the material read last.
        model->hasColor = model->hasTransparency = faceValues == 4 ? 1 : 0;
        model->hasSpecular = specularValues == 3 ? 1 : 0;
        model->hasDiffuse = emissiveValues == 3 ? 1 : 0;

        ReadMaterialBlocks(&material);
        return number;
    }

    // The blocks nested in a material: a TextureFilename names its texture.
    void ReadMaterialBlocks(Material* material)
    {
        while (!failed_) {
            Token token = Next();
            if (token.kind == TokenKind::End || token.kind == TokenKind::CloseBrace) return;
            if (token.kind == TokenKind::OpenBrace) {
                SkipBlock();
                continue;
            }
            if (token.kind != TokenKind::Name) continue;
            std::string name;
            bool named = false;
            if (!ReadBlockHeader(name, named)) continue;
            if (KindOf(token.text) != BlockKind::TextureFilename) {
                SkipBlock();
                continue;
            }
            // The file name is the block's first string (an unquoted word is taken too).
            std::string fileName;
            while (Peek().kind == TokenKind::Separator) Next();
            if (Peek().kind == TokenKind::String || Peek().kind == TokenKind::Name) fileName = Next().text;
            SkipBlock();
            fileName = Cut(fileName, kMaxTextureName);
            if (pass_ == Pass::Names) {
                if (std::find(textureNames.begin(), textureNames.end(), fileName) == textureNames.end())
                    textureNames.push_back(fileName);
            } else if (material) {
                material->textureIndex = TextureFor(fileName);
            }
        }
    }

    // The texture of that name among those filled so far, or the next one, filled with it.
    int32_t TextureFor(const std::string& fileName)
    {
        for (size_t t = 0; t < texturesFilled_; ++t) {
            if (model->textures[t].name == fileName) return static_cast<int32_t>(t);
        }
        if (texturesFilled_ >= model->textures.size()) return -1;
        model->textures[texturesFilled_].name = fileName;
        return static_cast<int32_t>(texturesFilled_++);
    }

    TokenSource& tokens_;
    Pass pass_;
    std::deque<Token> ahead_;
    bool failed_ = false;
    size_t nextMesh_ = 0;
    size_t nextMaterial_ = 0;
    size_t texturesFilled_ = 0;

public:
    // Material names of the names pass, for references in the fill pass.
    void UseMaterialNames(std::vector<std::string> names) { materialNames = std::move(names); }
};

}  // namespace

int64_t ReadXLine(ReaderInput& in, std::string& line)
{
    std::string_view raw;
    const int64_t length = in.ReadTextLine(raw);
    if (length < 0) {
        line.clear();
        return length;
    }
    bool quoted = false;
    size_t cut = raw.size();
    for (size_t i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '"') quoted = !quoted;
        if (quoted) continue;
        if (c == '#' || (c == '/' && i + 1 < raw.size() && raw[i + 1] == '/')) {
            cut = i;
            break;
        }
    }
    line.assign(raw.substr(0, cut));
    if (line.empty() || line.back() != '\n') line.push_back('\n');
    return length;
}

std::unique_ptr<Model> ReadXFile(const char* path, LoadContext& ctx)
{
    ReaderInput in(ctx);
    if (!in.Open(path)) return nullptr;

    // Header: magic, version, format, float size.
    char header[kHeaderBytes] = {};
    if (in.ReadBytes(header, 1, kHeaderBytes) < 4 || std::memcmp(header, "xof ", 4) != 0) return Fail(ctx);
    const std::string_view format(header + 8, 4);
    if (format == "com " || format == "tzip" || format == "bzip") {
        DebugOutput("Compressed .x files not supported.\n");
        return Fail(ctx);
    }
    const int floatSize = std::string_view(header + 12, 4) == "0064" ? 8 : 4;
    TextTokens text(in);
    BinaryTokens binary(in, floatSize);
    TokenSource& tokens = format == "bin " ? static_cast<TokenSource&>(binary) : text;

    // Pass 1: count meshes and materials.
    tokens.Restart();
    XParser counter(tokens, Pass::Count);
    counter.Run();
    if (counter.meshCount == 0 || counter.materialCount > kMaxMaterials) return Fail(ctx);

    // Pass 2: the distinct texture names and the material names.
    tokens.Restart();
    XParser namer(tokens, Pass::Names);
    namer.Run();
    if (static_cast<int64_t>(namer.materialNames.size()) != counter.materialCount) return Fail(ctx);

    // Allocate exactly, then pass 3: fill.
    auto model = NewModel(static_cast<int32_t>(counter.meshCount), static_cast<int32_t>(counter.materialCount),
                          static_cast<int32_t>(namer.textureNames.size()));
    for (Material& material : model->materials) material.textureIndex = -1;
    tokens.Restart();
    XParser filler(tokens, Pass::Fill);
    filler.model = model.get();
    filler.UseMaterialNames(std::move(namer.materialNames));
    if (!filler.Run()) return Fail(ctx);
    return model;
}

}  // namespace solvane
