// asset_catalogue.cpp: the tables of programs, images and render textures, and
// the steps that create them in their fixed order.
#include "gfx/asset_catalogue.h"

#include <array>
#include <cerrno>
#include <cstring>

#include "gfx/gl_state.h"
#include "gfx/palette_image.h"
#include "gfx/program_registry.h"
#include "gfx/shader_sources.h"
#include "gfx/texture_registry.h"

namespace {

// Registers the slots of one kind of program, in the table's order.
#define BRINDLE_PROGRAM_KIND(Handle)                                                                                   \
    void add##Handle##Uniforms([[maybe_unused]] ProgramRegistry& programs, [[maybe_unused]] ProgramEntry& program)     \
    {
#define BRINDLE_UNIFORM(type, name, use) programs.addUniform(program, UniformType::type, #name);
#define BRINDLE_PROGRAM_KIND_END }
#include "gfx/program_table.inc"

struct ProgramRow {
    std::string_view key, vertexKey, fragmentKey;
    void (*addUniforms)(ProgramRegistry& programs, ProgramEntry& program);
};

constexpr ProgramRow kPrograms[] = {
#define BRINDLE_PROGRAM(member, Handle, key, vertexKey, fragmentKey)                                                   \
    {key, vertexKey, fragmentKey, add##Handle##Uniforms},
#include "gfx/program_table.inc"
};

enum class TargetSize { Full, Quarter };

struct RenderTargetRow {
    std::string_view key, textureKey;
    TargetSize size;
};

constexpr RenderTargetRow kRenderTargets[] = {
#define BRINDLE_RENDER_TARGET(member, key, textureKey, size) {key, textureKey, TargetSize::size},
#include "gfx/render_target_table.inc"
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
#define BRINDLE_IMAGE(id, key, file, width, height, sampling, readPosition, painting, lettering)                       \
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
    for (const ProgramRow& row : kPrograms) {
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
        row.addUniforms(programs, *program);
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
            textures.addTexture(
                asset.key, asset.width, asset.height, pixels, asset.minFilter, asset.magFilter, Mipmaps::Chain);
        }
        image = PaletteImage {};
    }
    return warnings;
}

std::vector<std::string> loadImageTextures(TextureRegistry& textures, const std::string& dataDir)
{
    return createImageTextures(textures, readImageFiles(dataDir));
}

bool createRenderTargets(TextureRegistry& textures, int width, int height, std::string& error)
{
    std::vector<TextureEntry*> pictures;
    for (const RenderTargetRow& row : kRenderTargets) {
        const bool quarter = row.size == TargetSize::Quarter;
        pictures.push_back(&textures.addTexture(
            row.textureKey, quarter ? width / 4 : width, quarter ? height / 4 : height, nullptr, GL_LINEAR, GL_LINEAR));
    }
    for (size_t i = 0; i < std::size(kRenderTargets); ++i) {
        const RenderTarget& target = textures.addRenderTarget(kRenderTargets[i].key, *pictures[i]);
        const GLenum status = TextureRegistry::completeness(target);
        if (status != GL_FRAMEBUFFER_COMPLETE_EXT) {
            error = "the GL driver cannot draw into the render target " + target.key + " ("
                + std::to_string(target.width) + " x " + std::to_string(target.height) + ", status " + glHex(status)
                + "); use a size of at least 4 x 4 or update the graphics driver";
            return false;
        }
    }
    return true;
}
