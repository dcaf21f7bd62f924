#include <gtest/gtest.h>

#include <set>
#include <string>

#include "app/gl_api.h"
#include "app/gl_loader.h"

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

class LoaderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fetched.clear();
        missing.clear();
        brindle_glBlendEquation = nullptr;
        brindle_glBlendEquationEXT = nullptr;
    }
};

} // namespace

TEST(GLVersion, ReadsTheWholeMajorAndTheMinorDigits)
{
    auto v = parseGLVersion("4.6.0 NVIDIA 550.1");
    EXPECT_EQ(v.major, 4);
    EXPECT_EQ(v.minor, 6);
    v = parseGLVersion("2.1.2");
    EXPECT_EQ(v.major, 2);
    EXPECT_EQ(v.minor, 1);
    v = parseGLVersion("10.0 Future");
    EXPECT_EQ(v.major, 10);
    EXPECT_EQ(v.minor, 0);
    v = parseGLVersion("4.5 (Compatibility Profile) Mesa 22.3.6");
    EXPECT_EQ(v.major, 4);
    EXPECT_EQ(v.minor, 5);
    v = parseGLVersion("OpenGL ES 3.2 Mesa");
    EXPECT_EQ(v.major, 3);
    EXPECT_EQ(v.minor, 2);
}

TEST(GLVersion, TextsWithoutAVersionGiveZero)
{
    for (const char* text : {static_cast<const char*>(nullptr), "", "no version", "4"}) {
        const GLVersion v = parseGLVersion(text);
        EXPECT_EQ(v.major, 0);
        EXPECT_EQ(v.minor, 0);
    }
    EXPECT_EQ(parseGLVersion("3.x").minor, 0);
}

TEST(HasExtension, MatchesWholeNamesOnly)
{
    const char* list = "GL_ARB_imaging_extra GL_EXT_blend_subtract GL_EXT_framebuffer_object";
    EXPECT_FALSE(hasExtension(list, "GL_ARB_imaging"));
    EXPECT_TRUE(hasExtension(list, "GL_EXT_blend_subtract"));
    EXPECT_TRUE(hasExtension(list, "GL_EXT_framebuffer_object"));  // last, no trailing space
    EXPECT_TRUE(hasExtension(list, "GL_ARB_imaging_extra"));        // first
    EXPECT_FALSE(hasExtension(list, "EXT_blend_subtract"));         // tail of a name
    EXPECT_FALSE(hasExtension(list, "GL_EXT_framebuffer"));         // head of the last name
    // A later whole occurrence is found after a partial one.
    EXPECT_TRUE(hasExtension("GL_X_extra GL_X", "GL_X"));
    EXPECT_TRUE(hasExtension("GL_X ", "GL_X"));
}

TEST(HasExtension, RefusesEmptyNamesNamesWithSpacesAndAbsentLists)
{
    EXPECT_FALSE(hasExtension("GL_A GL_B", ""));
    EXPECT_FALSE(hasExtension("GL_A GL_B", "GL_A GL_B"));
    EXPECT_FALSE(hasExtension("GL_A GL_B", nullptr));
    EXPECT_FALSE(hasExtension(nullptr, "GL_A"));
    EXPECT_FALSE(hasExtension("", "GL_A"));
}

TEST_F(LoaderTest, PrefersTheImagingBlendEquationAndLoadsOnce)
{
    ExtensionLoader loader;
    ASSERT_TRUE(loader.load({4, 5}, kFullList, fakeLookup));
    EXPECT_TRUE(loader.loaded());
    EXPECT_NE(brindle_glBlendEquation, nullptr);
    EXPECT_EQ(brindle_glBlendEquationEXT, nullptr);
    EXPECT_TRUE(fetched.count("glUseProgram") && fetched.count("glBindFramebufferEXT") && fetched.count("glDrawBuffers"));

    fetched.clear();
    EXPECT_TRUE(loader.load({4, 5}, kFullList, fakeLookup));
    EXPECT_TRUE(fetched.empty());
}

TEST_F(LoaderTest, FallsBackToTheSubtractBlendWhenImagingIsOnlyAPrefix)
{
    ExtensionLoader loader;
    ASSERT_TRUE(loader.load({2, 0}, "GL_ARB_imaging_extra GL_EXT_blend_subtract GL_EXT_framebuffer_object", fakeLookup));
    EXPECT_EQ(brindle_glBlendEquation, nullptr);
    EXPECT_NE(brindle_glBlendEquationEXT, nullptr);
}

TEST_F(LoaderTest, EachMissingRequirementIsNamed)
{
    struct Case {
        GLVersion version;
        const char* list;
        const char* missingName;
        LoaderFailure failure;
        const char* named;
    };
    const Case cases[] = {
        {{4, 5}, "GL_EXT_framebuffer_object", nullptr, LoaderFailure::BlendEquation, "blend"},
        {{4, 5}, kFullList, "glMultiTexCoord3f", LoaderFailure::Multitexture, "multitexture"},
        {{1, 5}, kFullList, nullptr, LoaderFailure::Version, "2.0"},
        {{4, 5}, "GL_ARB_imaging GL_EXT_framebuffer_objects", nullptr, LoaderFailure::FramebufferObject,
         "GL_EXT_framebuffer_object"},
    };
    for (const Case& c : cases) {
        missing.clear();
        if (c.missingName)
            missing.insert(c.missingName);
        ExtensionLoader loader;
        EXPECT_FALSE(loader.load(c.version, c.list, fakeLookup));
        EXPECT_FALSE(loader.loaded());
        EXPECT_EQ(loader.failure(), c.failure);
        EXPECT_NE(std::string(loader.failureText()).find(c.named), std::string::npos) << loader.failureText();
    }
}

TEST_F(LoaderTest, OldVersionFailsAfterTheEarlierStepsAndARetryStartsAgain)
{
    ExtensionLoader loader;
    ASSERT_FALSE(loader.load({1, 5}, kFullList, fakeLookup));
    EXPECT_TRUE(fetched.count("glBlendEquation") && fetched.count("glMultiTexCoord4fv"));
    EXPECT_FALSE(fetched.count("glUseProgram"));

    ASSERT_TRUE(loader.load({2, 1}, kFullList, fakeLookup));
    EXPECT_EQ(loader.failure(), LoaderFailure::None);
    EXPECT_STREQ(loader.failureText(), "");
}
