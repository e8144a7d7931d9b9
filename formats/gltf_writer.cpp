// glTF 2.0 binary writer (Khronos glTF 2.0, section "GLB File Format"): a 12-byte
// header, a JSON chunk describing the scene and a BIN chunk holding the vertex attributes, the
// indices and the embedded PNG images. The layout is worked out first, so the JSON goes out before
// the binary data is streamed after it.
#include "formats/gltf_writer.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "core/format_id.h"
#include "formats/model_export.h"

namespace solvane {
namespace {

constexpr uint32_t kGlbMagic = 0x46546C67;     // "glTF"
constexpr uint32_t kJsonChunk = 0x4E4F534A;    // "JSON"
constexpr uint32_t kBinChunk = 0x004E4942;     // "BIN\0"
constexpr int kFloat = 5126;
constexpr int kUnsignedInt = 5125;
constexpr int kArrayBuffer = 34962;
constexpr int kElementArrayBuffer = 34963;
constexpr int64_t kMaxGlbBytes = 0xFFFFFFFFLL;

// A JSON text built by appending; numbers without the locale.
class Json {
public:
    Json& Raw(std::string_view text)
    {
        text_ += text;
        return *this;
    }
    Json& Int(int64_t value)
    {
        char digits[24];
        text_.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
        return *this;
    }
    Json& Number(float value)
    {
        if (!std::isfinite(value)) value = 0;
        char digits[32];
        text_.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
        return *this;
    }
    // A string literal; bytes that are not UTF-8 become '?', control characters \u escapes.
    Json& String(std::string_view text)
    {
        text_ += '"';
        for (size_t i = 0; i < text.size(); ++i) {
            const unsigned char c = static_cast<unsigned char>(text[i]);
            if (c == '"' || c == '\\') {
                text_ += '\\';
                text_ += static_cast<char>(c);
            } else if (c < 0x20) {
                static const char kHex[] = "0123456789abcdef";
                text_ += "\\u00";
                text_ += kHex[c >> 4];
                text_ += kHex[c & 15];
            } else if (c < 0x80) {
                text_ += static_cast<char>(c);
            } else {
                const size_t length = Utf8Length(text, i);
                if (length == 0) {
                    text_ += '?';
                } else {
                    text_.append(text.substr(i, length));
                    i += length - 1;
                }
            }
        }
        text_ += '"';
        return *this;
    }
    const std::string& Text() const { return text_; }

private:
    // The length of the well-formed UTF-8 sequence at i, 0 when there is none.
    static size_t Utf8Length(std::string_view text, size_t i)
    {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        const size_t length = lead >= 0xF0 && lead <= 0xF4 ? 4 : (lead >= 0xE0 ? 3 : (lead >= 0xC2 && lead <= 0xDF ? 2 : 0));
        if (length == 0 || i + length > text.size()) return 0;
        for (size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return 0;
        }
        return length;
    }

    std::string text_;
};

struct BufferView {
    int64_t offset = 0;
    int64_t length = 0;
    int target = 0;  // 0: none (images)
};

// One sub-mesh's data in the binary chunk and its primitives (one per material).
struct MeshLayout {
    const ExportMesh* mesh = nullptr;
    size_t subMesh = 0;
    int position = -1, normal = -1, texCoord = -1;  // accessors
    struct Primitive {
        int32_t material = -1;
        std::vector<uint32_t> indices;
        int accessor = -1;
    };
    std::vector<Primitive> primitives;
    std::array<float, 3> low{0, 0, 0}, high{0, 0, 0};
};

int64_t Padded(int64_t length)
{
    return (length + 3) / 4 * 4;
}

std::array<float, 3> UnitNormal(const float* n)
{
    const float length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    if (!(length > 0) || !std::isfinite(length)) return {0, 0, 1};
    return {n[0] / length, n[1] / length, n[2] / length};
}

}  // namespace

bool WriteGlbFile(const Model& model, const std::string& path, SaveContext& ctx)
{
    // glTF's front faces wind anticlockwise, as OBJ's do.
    ExportOptions options;
    options.triangles = true;
    options.reverseWinding = ReversesWinding(model, Format::Obj);
    const ExportModel exported = PrepareExport(model, options);

    std::vector<BufferView> views;
    int64_t binary = 0;
    const auto addView = [&](int64_t length, int target) {
        views.push_back({binary, length, target});
        binary += Padded(length);
        return static_cast<int>(views.size() - 1);
    };
    struct Accessor {
        int view;
        int componentType;
        int64_t count;
        const char* type;
    };
    std::vector<Accessor> accessors;
    const auto addAccessor = [&](int view, int componentType, int64_t count, const char* type) {
        accessors.push_back({view, componentType, count, type});
        return static_cast<int>(accessors.size() - 1);
    };

    // Meshes: attributes shared by a sub-mesh's primitives, one primitive per material.
    std::vector<MeshLayout> layouts;
    for (size_t s = 0; s < exported.meshes.size(); ++s) {
        const ExportMesh& mesh = exported.meshes[s];
        if (mesh.FaceCount() == 0) continue;
        MeshLayout layout;
        layout.mesh = &mesh;
        layout.subMesh = s;
        BoundsBuilder box;
        for (int32_t k = 0; k < mesh.VertexCount(); ++k) {
            const float* p = mesh.Position(static_cast<uint32_t>(k));
            if (std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2])) box.Extend(p[0], p[1], p[2]);
        }
        for (int axis = 0; axis < 3; ++axis) {
            layout.low[axis] = box.any ? box.bounds[2 * axis] : 0.0f;
            layout.high[axis] = box.any ? box.bounds[2 * axis + 1] : 0.0f;
        }
        const int64_t n = mesh.VertexCount();
        layout.position = addAccessor(addView(n * 12, kArrayBuffer), kFloat, n, "VEC3");
        if (mesh.HasNormals()) layout.normal = addAccessor(addView(n * 12, kArrayBuffer), kFloat, n, "VEC3");
        if (mesh.HasTexCoords()) layout.texCoord = addAccessor(addView(n * 8, kArrayBuffer), kFloat, n, "VEC2");
        for (int32_t f = 0; f < mesh.FaceCount(); ++f) {
            const int32_t material = ValidMaterial(model, mesh.faceMaterials[static_cast<size_t>(f)]);
            auto found = std::find_if(layout.primitives.begin(), layout.primitives.end(),
                                      [material](const MeshLayout::Primitive& p) { return p.material == material; });
            if (found == layout.primitives.end()) {
                layout.primitives.push_back({material, {}, -1});
                found = layout.primitives.end() - 1;
            }
            found->indices.insert(found->indices.end(), mesh.FaceIndices(f), mesh.FaceIndices(f) + 3);
        }
        for (MeshLayout::Primitive& primitive : layout.primitives) {
            const int64_t count = static_cast<int64_t>(primitive.indices.size());
            primitive.accessor = addAccessor(addView(count * 4, kElementArrayBuffer), kUnsignedInt, count, "SCALAR");
        }
        layouts.push_back(std::move(layout));
    }

    // Textures: every one a used material refers to, as PNG with its rows in memory order (row 0
    // where v = 0, the top of a glTF image).
    std::vector<int32_t> imageOf(model.textures.size(), -1);
    std::vector<std::vector<uint8_t>> images;
    std::vector<int> imageViews;
    std::vector<int32_t> imageTexture;
    for (const MeshLayout& layout : layouts) {
        for (const MeshLayout::Primitive& primitive : layout.primitives) {
            if (primitive.material < 0) continue;
            const int32_t t = model.materials[static_cast<size_t>(primitive.material)].textureIndex;
            if (t < 0 || t >= model.TextureCount() || imageOf[static_cast<size_t>(t)] >= 0) continue;
            const Texture& texture = model.textures[static_cast<size_t>(t)];
            if (!texture.HasPixels() || texture.pixels.size() != static_cast<size_t>(texture.width) * texture.height * 3) continue;
            std::vector<uint8_t> png;
            const ImageRows rows{texture.pixels.data(), texture.width, texture.height, true};
            std::string error;
            if (!EncodePng(rows, [&png](const uint8_t* bytes, size_t size) { png.insert(png.end(), bytes, bytes + size); },
                           &error)) {
                return CannotWrite(ctx, path, "a texture could not be encoded as PNG.");
            }
            imageOf[static_cast<size_t>(t)] = static_cast<int32_t>(images.size());
            imageViews.push_back(addView(static_cast<int64_t>(png.size()), 0));
            imageTexture.push_back(t);
            images.push_back(std::move(png));
        }
    }

    // The JSON description.
    Json json;
    json.Raw("{\"asset\":{\"version\":\"2.0\",\"generator\":\"Solvane\"},\"scene\":0,\"scenes\":[{\"nodes\":[");
    for (size_t i = 0; i < layouts.size(); ++i) json.Raw(i ? "," : "").Int(static_cast<int64_t>(i));
    json.Raw("]}],\"nodes\":[");
    for (size_t i = 0; i < layouts.size(); ++i) {
        json.Raw(i ? "," : "").Raw("{\"mesh\":").Int(static_cast<int64_t>(i)).Raw(",\"name\":");
        json.String(model.subMeshes[layouts[i].subMesh].name).Raw("}");
    }
    json.Raw("],\"meshes\":[");
    for (size_t i = 0; i < layouts.size(); ++i) {
        const MeshLayout& layout = layouts[i];
        json.Raw(i ? "," : "").Raw("{\"name\":").String(model.subMeshes[layout.subMesh].name).Raw(",\"primitives\":[");
        for (size_t p = 0; p < layout.primitives.size(); ++p) {
            const MeshLayout::Primitive& primitive = layout.primitives[p];
            json.Raw(p ? "," : "").Raw("{\"attributes\":{\"POSITION\":").Int(layout.position);
            if (layout.normal >= 0) json.Raw(",\"NORMAL\":").Int(layout.normal);
            if (layout.texCoord >= 0) json.Raw(",\"TEXCOORD_0\":").Int(layout.texCoord);
            json.Raw("},\"indices\":").Int(primitive.accessor).Raw(",\"mode\":4");
            if (primitive.material >= 0) json.Raw(",\"material\":").Int(primitive.material);
            json.Raw("}");
        }
        json.Raw("]}");
    }
    json.Raw("],\"accessors\":[");
    for (size_t a = 0; a < accessors.size(); ++a) {
        const Accessor& accessor = accessors[a];
        json.Raw(a ? "," : "").Raw("{\"bufferView\":").Int(accessor.view).Raw(",\"componentType\":");
        json.Int(accessor.componentType).Raw(",\"count\":").Int(accessor.count).Raw(",\"type\":\"").Raw(accessor.type).Raw("\"");
        // POSITION accessors carry their bounds, as glTF 2.0 requires.
        for (const MeshLayout& layout : layouts) {
            if (layout.position != static_cast<int>(a)) continue;
            json.Raw(",\"min\":[").Number(layout.low[0]).Raw(",").Number(layout.low[1]).Raw(",").Number(layout.low[2]);
            json.Raw("],\"max\":[").Number(layout.high[0]).Raw(",").Number(layout.high[1]).Raw(",").Number(layout.high[2]).Raw("]");
        }
        json.Raw("}");
    }
    json.Raw("],\"bufferViews\":[");
    for (size_t v = 0; v < views.size(); ++v) {
        json.Raw(v ? "," : "").Raw("{\"buffer\":0,\"byteOffset\":").Int(views[v].offset).Raw(",\"byteLength\":").Int(views[v].length);
        if (views[v].target) json.Raw(",\"target\":").Int(views[v].target);
        json.Raw("}");
    }
    json.Raw("],\"buffers\":[{\"byteLength\":").Int(binary).Raw("}]");
    if (!model.materials.empty()) {
        json.Raw(",\"materials\":[");
        for (size_t m = 0; m < model.materials.size(); ++m) {
            const Material& material = model.materials[m];
            const MaterialLook look = LookOf(model, material);
            const float roughness = 1.0f - 0.5f * std::clamp((look.specular[0] + look.specular[1] + look.specular[2]) / 3.0f, 0.0f, 1.0f);
            json.Raw(m ? "," : "").Raw("{\"name\":").String(material.name).Raw(",\"pbrMetallicRoughness\":{\"baseColorFactor\":[");
            for (float channel : look.diffuse) json.Number(std::clamp(channel, 0.0f, 1.0f)).Raw(",");
            json.Number(std::clamp(1.0f - look.transparency, 0.0f, 1.0f)).Raw("],\"metallicFactor\":0,\"roughnessFactor\":").Number(roughness);
            const int32_t t = material.textureIndex;
            if (t >= 0 && t < model.TextureCount() && imageOf[static_cast<size_t>(t)] >= 0) {
                json.Raw(",\"baseColorTexture\":{\"index\":").Int(imageOf[static_cast<size_t>(t)]).Raw("}");
            }
            json.Raw("}");
            if (look.transparency > 0) json.Raw(",\"alphaMode\":\"BLEND\"");
            json.Raw("}");
        }
        json.Raw("]");
    }
    if (!images.empty()) {
        json.Raw(",\"samplers\":[{\"magFilter\":9729,\"minFilter\":9987,\"wrapS\":10497,\"wrapT\":10497}],\"images\":[");
        for (size_t i = 0; i < images.size(); ++i) {
            json.Raw(i ? "," : "").Raw("{\"bufferView\":").Int(imageViews[i]).Raw(",\"mimeType\":\"image/png\",\"name\":");
            json.String(model.textures[static_cast<size_t>(imageTexture[i])].name).Raw("}");
        }
        json.Raw("],\"textures\":[");
        for (size_t i = 0; i < images.size(); ++i) json.Raw(i ? "," : "").Raw("{\"sampler\":0,\"source\":").Int(static_cast<int64_t>(i)).Raw("}");
        json.Raw("]");
    }
    json.Raw("}");

    std::string text = json.Text();
    text.append(static_cast<size_t>(Padded(static_cast<int64_t>(text.size())) - static_cast<int64_t>(text.size())), ' ');
    const int64_t total = 12 + 8 + static_cast<int64_t>(text.size()) + (binary > 0 ? 8 + binary : 0);
    if (total > kMaxGlbBytes) return ExceedsFormatLimit(ctx, kMaxGlbBytes, "bytes");
    ctx.total.store(total);

    WriterOutput out(ctx);
    if (!out.Open(path)) return false;
    out.LE32(kGlbMagic);
    out.LE32(2);
    out.LE32(static_cast<uint32_t>(total));
    out.LE32(static_cast<uint32_t>(text.size()));
    out.LE32(kJsonChunk);
    out.Text(text);
    if (binary > 0) {
        out.LE32(static_cast<uint32_t>(binary));
        out.LE32(kBinChunk);
        const auto pad = [&out](int64_t length) {
            for (int64_t i = length; i < Padded(length); ++i) out.Byte(0);
        };
        // In the order the views were laid out: per sub-mesh its attributes, then its indices; the
        // images last.
        for (const MeshLayout& layout : layouts) {
            const ExportMesh& mesh = *layout.mesh;
            for (int32_t k = 0; k < mesh.VertexCount(); ++k) {
                const float* p = mesh.Position(static_cast<uint32_t>(k));
                for (int axis = 0; axis < 3; ++axis) out.LEFloat(p[axis]);
            }
            if (layout.normal >= 0) {
                for (int32_t k = 0; k < mesh.VertexCount(); ++k) {
                    for (float value : UnitNormal(mesh.Normal(static_cast<uint32_t>(k)))) out.LEFloat(value);
                }
            }
            if (layout.texCoord >= 0) {
                for (int32_t k = 0; k < mesh.VertexCount(); ++k) {
                    out.LEFloat(mesh.TexCoord(static_cast<uint32_t>(k))[0]);
                    out.LEFloat(mesh.TexCoord(static_cast<uint32_t>(k))[1]);
                }
            }
            for (const MeshLayout::Primitive& primitive : layout.primitives) {
                for (uint32_t index : primitive.indices) out.LE32(index);
            }
        }
        for (const std::vector<uint8_t>& png : images) {
            out.Bytes(png.data(), png.size());
            pad(static_cast<int64_t>(png.size()));
        }
    }
    if (out.Tell() != total) {
        out.Abandon();
        return CannotWrite(ctx, path, "its binary chunk came out the wrong size.");
    }
    return out.Finish();
}

}  // namespace solvane
