// The GL loader: version and extension strings, entry-point fallbacks and
// the naming of what is missing.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <tuple>

#include "gfx/gl_api.h"
#include "gfx/gl_loader.h"

namespace {

// Hands out a distinct fake address for every name not in `missing`; the
// addresses are only compared, never called.
std::set<std::string> fetched;
std::set<std::string> missing;
char addresses[256];

void* fakeLookup(const char* name)
{
    fetched.insert(name);
    if (missing.count(name))
        return nullptr;
    return &addresses[fetched.size() % sizeof addresses];
}

const char* kFullList = "GL_ARB_multitexture GL_ARB_imaging GL_EXT_blend_subtract GL_EXT_framebuffer_object";
const char* kWithoutImaging = "GL_ARB_imaging_extra GL_EXT_blend_subtract GL_EXT_framebuffer_object";

}  // namespace

TEST(GLStrings, VersionsReadTheWholeMajorAndOneMinorDigitAndExtensionsMatchWholeNamesOnly)
{
    const std::pair<const char*, GLVersion> cases[] = {{"4.6.0 NVIDIA 550.1", {4, 6}}, {"10.0 Future", {10, 0}},
        {"OpenGL ES 3.2 Mesa", {3, 2}}, {nullptr, {0, 0}}, {"4", {0, 0}}};
    for (const auto& [text, want] : cases) {
        const GLVersion v = parseGLVersion(text);
        EXPECT_EQ(std::pair(v.major, v.minor), std::pair(want.major, want.minor)) << (text ? text : "null");
    }
    EXPECT_FALSE(hasExtension(kWithoutImaging, "EXT_blend_subtract"));  // tail of a name
    EXPECT_TRUE(hasExtension("GL_X_extra GL_X", "GL_X"));               // whole match after a partial one
    EXPECT_FALSE(hasExtension("GL_XGL_X", "GL_X"));                     // a name run on from a partial one
    EXPECT_FALSE(hasExtension("GL_A GL_B", "GL_A GL_B"));
    EXPECT_FALSE(hasExtension("GL_A GL_B", ""));
    EXPECT_FALSE(hasExtension(nullptr, "GL_A"));
}

TEST(LoaderTest, PrefersTheImagingBlendEquationLoadsOnceAndFallsBackOnAPrefix)
{
    ExtensionLoader loader;
    ASSERT_TRUE(loader.load({4, 5}, kFullList, fakeLookup));
    EXPECT_NE(brindle_glBlendEquation, nullptr);
    EXPECT_EQ(brindle_glBlendEquationEXT, nullptr);
    fetched.clear();
    EXPECT_TRUE(loader.load({4, 5}, kFullList, fakeLookup));
    EXPECT_TRUE(fetched.empty());

    brindle_glBlendEquation = nullptr;
    ExtensionLoader fallback;
    ASSERT_TRUE(fallback.load({2, 0}, kWithoutImaging, fakeLookup));
    EXPECT_EQ(brindle_glBlendEquation, nullptr);
    EXPECT_NE(brindle_glBlendEquationEXT, nullptr);
}

TEST(LoaderTest, EachMissingRequirementIsNamed)
{
    const std::tuple<GLVersion, const char*, const char*, LoaderFailure, const char*> cases[]
        = {{{4, 5}, "GL_EXT_framebuffer_object", nullptr, LoaderFailure::BlendEquation, "blend"},
            {{4, 5}, kFullList, "glMultiTexCoord3f", LoaderFailure::Multitexture, "multitexture"},
            {{1, 5}, kFullList, nullptr, LoaderFailure::Version, "2.0"},
            {{4, 5}, "GL_ARB_imaging GL_EXT_framebuffer_objects", nullptr, LoaderFailure::FramebufferObject,
                "GL_EXT_framebuffer_object"}};
    for (const auto& [version, list, missingName, failure, named] : cases) {
        missing.clear();
        if (missingName)
            missing.insert(missingName);
        ExtensionLoader loader;
        EXPECT_FALSE(loader.load(version, list, fakeLookup));
        EXPECT_FALSE(loader.loaded());
        EXPECT_EQ(loader.failure(), failure);
        EXPECT_NE(std::string(loader.failureText()).find(named), std::string::npos) << loader.failureText();
        // A failed load keeps nothing: a retry with what was missing starts again.
        missing.clear();
        ASSERT_TRUE(loader.load({2, 1}, kFullList, fakeLookup));
        EXPECT_EQ(loader.failure(), LoaderFailure::None);
    }
}
