// asset_catalogue.cpp: the tables of programs, images and render textures, and
// the steps that create them in their fixed order.
#include "gfx/asset_catalogue.h"

#include <array>
#include <cerrno>
#include <cstring>

#include "gfx/palette_image.h"
#include "gfx/program_registry.h"
#include "gfx/shader_sources.h"
#include "gfx/texture_registry.h"

namespace {

struct UniformRow {
    UniformType type;
    std::string_view name;
};

struct ProgramRow {
    std::string_view key, vertexKey, fragmentKey;
    std::vector<UniformRow> uniforms;
};

const std::vector<ProgramRow>& programRows()
{
    static const std::vector<ProgramRow> rows = {
        {"PP_SHADOWED", "PP_SHADOWED_VERT", "PP_SHADOWED_FRAG",
            {{UniformType::Mat4, "lightProjectionView"}, {UniformType::Int, "shadowMap"},
                {UniformType::Int, "lightMap"}}},
        {"PP", "PP_VERT", "PP_FRAG", {{UniformType::Int, "tex"}, {UniformType::Float, "pixelate"}}},
        {"SHADOW_PASS", "SHADOWPASS_VERT", "SHADOWPASS_FRAG", {}},
        {"SHADOW_PASS_TEXTURED", "SHADOWPASSTEXTURED_VERT", "SHADOWPASSTEXTURED_FRAG",
            {{UniformType::Int, "tex"}, {UniformType::Float, "pixelate"}}},
        {"OVERLAY", "STANDARD_VERT", "OVERLAY_FRAG",
            {{UniformType::Int, "tex"}, {UniformType::Vec2, "bleedOffset"}, {UniformType::Vec3, "bleedStrength"}}},
        {"SEPBLUR", "SEPBLUR_VERT", "SEPBLUR_FRAG", {{UniformType::Vec2, "offsets"}}},
    };
    return rows;
}

struct RenderTextureRow {
    std::string_view key;
    bool quarter;  // W/4 x H/4, else W x H
};

constexpr RenderTextureRow kRenderTextures[] = {
    {"DEFAULT_TARGET1", false},
    {"DEFAULT_TARGET2", false},
    {"BLUR1", true},
    {"BLUR2", true},
    {"BLUR3", true},
    {"BLUR4", true},
};

std::string joinPath(const std::string& dir, std::string_view file)
{
    if (dir.empty())
        return std::string(file);
    return dir.back() == '/' ? dir + std::string(file) : dir + "/" + std::string(file);
}

// A GL info log with the shader or program key before each line, so that the
// lines stay attributable once the program prints them.
std::string keyedLog(std::string_view key, const std::string& log)
{
    std::string out;
    size_t start = 0;
    while (start < log.size()) {
        size_t end = log.find('\n', start);
        if (end == std::string::npos)
            end = log.size();
        out.append(key).append(": ").append(log, start, end - start).append("\n");
        start = end + 1;
    }
    return out;
}

bool compileBuiltIn(ProgramRegistry& programs, std::string_view key, std::string& error)
{
    const ShaderSource* source = findBuiltInShader(key);
    if (source && programs.addShader(key, source->type, source->text))
        return true;
    error = (source ? keyedLog(key, programs.lastLog()) : std::string())
        + "the GL driver cannot compile the built-in shader " + std::string(key)
        + " (log above); update the graphics driver";
    return false;
}

std::string imageWarning(const std::string& path, std::string_view key, const std::string& problem)
{
    return "'" + path + "' " + problem + "; " + std::string(key) + " stays blank";
}

enum class Sampling { Sharp, Smooth, Tiled };

constexpr ImageAsset imageRow(
    std::string_view key, std::string_view file, int width, int height, Sampling sampling, int readPosition)
{
    switch (sampling) {
    case Sampling::Sharp: return {key, file, width, height, false, GL_NEAREST, GL_NEAREST, readPosition};
    case Sampling::Smooth: return {key, file, width, height, false, GL_LINEAR, GL_LINEAR, readPosition};
    case Sampling::Tiled: break;
    }
    return {key, file, width, height, true, GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR, readPosition};
}

constexpr ImageAsset kImageAssets[] = {
#define BRINDLE_IMAGE(key, file, width, height, sampling, readPosition, painting, lettering)                           \
    imageRow(key, file, width, height, Sampling::sampling, readPosition),
#include "gfx/image_table.inc"
};
constexpr size_t kImageCount = std::size(kImageAssets);

constexpr bool everyReadPositionTakenOnce()
{
    std::array<bool, kImageCount> taken {};
    for (const ImageAsset& asset : kImageAssets) {
        const int position = asset.readPosition;
        if (position < 0 || static_cast<size_t>(position) >= kImageCount || taken[position])
            return false;
        taken[position] = true;
    }
    return true;
}
static_assert(everyReadPositionTakenOnce(), "image_table.inc: the read positions must be 0 to rows - 1, each once");

// Row index by read position.
constexpr std::array<size_t, kImageCount> readOrder()
{
    std::array<size_t, kImageCount> order {};
    for (size_t i = 0; i < kImageCount; ++i)
        order[kImageAssets[i].readPosition] = i;
    return order;
}
constexpr std::array<size_t, kImageCount> kReadOrder = readOrder();

}  // namespace

std::span<const ImageAsset> imageAssets() { return kImageAssets; }

bool buildPrograms(ProgramRegistry& programs, std::string& error)
{
    for (const ProgramRow& row : programRows()) {
        if (!compileBuiltIn(programs, row.vertexKey, error))
            return false;
        if (!compileBuiltIn(programs, row.fragmentKey, error))
            return false;
        ProgramEntry* program = programs.addProgram(row.key, row.vertexKey, row.fragmentKey);
        if (!program || !program->linked) {
            error = keyedLog(row.key, programs.lastLog()) + "the GL driver cannot link the built-in program "
                + std::string(row.key) + " (log above); update the graphics driver";
            return false;
        }
        if (row.uniforms.empty())
            continue;
        // The blur's slot is registered without making its program current.
        const bool makeCurrent = row.key != "SEPBLUR";
        if (makeCurrent)
            glUseProgram(program->glProgram);
        for (const UniformRow& uniform : row.uniforms)
            programs.addUniform(*program, uniform.type, uniform.name);
        if (makeCurrent)
            glUseProgram(0);
    }
    return true;
}

ImageFiles readImageFiles(const std::string& dataDir)
{
    ImageFiles files;
    files.dataDir = dataDir;
    files.images.resize(kImageCount);
    files.statuses.resize(kImageCount);
    files.openErrors.resize(kImageCount);
    for (size_t row : kReadOrder)
        files.statuses[row]
            = loadPaletteImage(joinPath(dataDir, kImageAssets[row].file), files.images[row], &files.openErrors[row]);
    return files;
}

std::vector<std::string> createImageTextures(TextureRegistry& textures, ImageFiles files)
{
    std::vector<std::string> warnings;
    for (size_t row = 0; row < kImageCount; ++row) {
        const ImageAsset& asset = kImageAssets[row];
        const std::string path = joinPath(files.dataDir, asset.file);
        PaletteImage& image = files.images[row];
        const PaletteStatus status = files.statuses[row];
        const uint8_t* pixels = nullptr;
        const int openError = files.openErrors[row];
        if (status == PaletteStatus::Missing && openError != 0 && openError != ENOENT) {
            warnings.push_back(imageWarning(path, asset.key, std::string("cannot be opened (") + std::strerror(openError) + ")"));
        } else if (status != PaletteStatus::Decoded) {
            warnings.push_back(imageWarning(path, asset.key, paletteStatusText(status)));
        } else if (image.width != asset.width || image.height != asset.height) {
            const std::string problem = "is " + std::to_string(image.width) + " x " + std::to_string(image.height)
                + ", not " + std::to_string(asset.width) + " x " + std::to_string(asset.height);
            warnings.push_back(imageWarning(path, asset.key, problem));
        } else {
            pixels = image.pixels.data();
        }
        if (asset.repeating) {
            textures.addMipmappedTexture(asset.key, asset.width, asset.height, pixels);
        } else {
            textures.addTexture(asset.key, asset.width, asset.height, 1, pixels, asset.minFilter, asset.magFilter);
        }
        image = PaletteImage {};
    }
    return warnings;
}

std::vector<std::string> loadImageTextures(TextureRegistry& textures, const std::string& dataDir)
{
    return createImageTextures(textures, readImageFiles(dataDir));
}

void createRenderTargets(TextureRegistry& textures, int width, int height)
{
    for (const RenderTextureRow& row : kRenderTextures) {
        const int w = row.quarter ? width / 4 : width;
        const int h = row.quarter ? height / 4 : height;
        textures.addTexture(row.key, w, h, 0, nullptr, GL_LINEAR, GL_LINEAR);
    }
    textures.addRenderTarget("RT_DEFAULT1", *textures.findTexture("DEFAULT_TARGET1"));
    // The camera pass writes one colour; a second full-screen attachment for
    // the same colour would be memory that nothing ever reads.
    textures.addRenderTarget("RT_DEFAULT2", *textures.findTexture("DEFAULT_TARGET2"));
    textures.addRenderTarget("RT_BLUR1", *textures.findTexture("BLUR1"));
    textures.addRenderTarget("RT_BLUR2", *textures.findTexture("BLUR2"));
    textures.addRenderTarget("RT_BLUR3", *textures.findTexture("BLUR3"));
    textures.addRenderTarget("RT_BLUR4", *textures.findTexture("BLUR4"));
}
