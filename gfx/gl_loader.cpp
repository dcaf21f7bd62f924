// Reads the GL version and extension list, checks what the show demands and
// loads the entry points it reaches through gl_api.h.
#include "gfx/gl_loader.h"

#include "gfx/gl_api.h"

#include <cstdlib>
#include <cstring>

#define BRINDLE_GL_DEFINE(type, name) type brindle_##name = nullptr;
BRINDLE_GL_BLEND(BRINDLE_GL_DEFINE)
BRINDLE_GL_MULTITEXTURE_REQUIRED(BRINDLE_GL_DEFINE)
BRINDLE_GL_MULTITEXTURE_OPTIONAL(BRINDLE_GL_DEFINE)
BRINDLE_GL_SHADER(BRINDLE_GL_DEFINE)
BRINDLE_GL_FRAMEBUFFER(BRINDLE_GL_DEFINE)
BRINDLE_GL_TIMER_QUERY(BRINDLE_GL_DEFINE)
BRINDLE_GL_PIXEL_BUFFER(BRINDLE_GL_DEFINE)
#undef BRINDLE_GL_DEFINE

#define BRINDLE_GL_PRESENT(type, name) &&brindle_##name

bool hasTimerQueries() { return true BRINDLE_GL_TIMER_QUERY(BRINDLE_GL_PRESENT); }

bool hasPixelBuffers() { return true BRINDLE_GL_PIXEL_BUFFER(BRINDLE_GL_PRESENT); }
#undef BRINDLE_GL_PRESENT

void setBlendEquation(GLenum mode)
{
    if (brindle_glBlendEquation)
        brindle_glBlendEquation(mode);
    else if (brindle_glBlendEquationEXT)
        brindle_glBlendEquationEXT(mode);
}

GLVersion parseGLVersion(const char* versionText)
{
    GLVersion version;
    if (!versionText)
        return version;
    const char* dot = std::strchr(versionText, '.');
    if (!dot)
        return version;
    // The major number is every digit run that ends at the dot, not just the last one.
    const char* start = dot;
    while (start > versionText && start[-1] >= '0' && start[-1] <= '9')
        --start;
    version.major = static_cast<int>(std::strtol(start, nullptr, 10));
    version.minor = static_cast<int>(std::strtol(dot + 1, nullptr, 10));
    if (!(dot[1] >= '0' && dot[1] <= '9'))
        version.minor = 0;
    return version;
}

GLVersion readGLVersion() { return parseGLVersion(reinterpret_cast<const char*>(glGetString(GL_VERSION))); }

bool hasExtension(const char* list, const char* name)
{
    if (!name || !*name || std::strchr(name, ' '))
        return false;
    if (!list)
        return false;
    const size_t length = std::strlen(name);
    const char* start = list;
    for (;;) {
        const char* found = std::strstr(start, name);
        if (!found)
            return false;
        const char* end = found + length;
        if ((found == list || found[-1] == ' ') && (*end == ' ' || *end == '\0'))
            return true;
        start = end;
    }
}

namespace {

template<typename T> void fetch(T& pointer, const char* name, ProcLookup lookup)
{
    pointer = reinterpret_cast<T>(lookup(name));
}

}  // namespace

bool ExtensionLoader::load(GLVersion version, const char* extensions, ProcLookup lookup)
{
    if (loaded_)
        return true;
    failure_ = LoaderFailure::None;

    if (hasExtension(extensions, "GL_ARB_imaging")) {
        fetch(brindle_glBlendEquation, "glBlendEquation", lookup);
    } else if (hasExtension(extensions, "GL_EXT_blend_subtract")) {
        fetch(brindle_glBlendEquationEXT, "glBlendEquationEXT", lookup);
    } else {
        failure_ = LoaderFailure::BlendEquation;
        return false;
    }

#define BRINDLE_GL_FETCH(type, name) fetch(brindle_##name, #name, lookup);
    BRINDLE_GL_MULTITEXTURE_REQUIRED(BRINDLE_GL_FETCH)
    BRINDLE_GL_MULTITEXTURE_OPTIONAL(BRINDLE_GL_FETCH)
    if (!brindle_glActiveTexture || !brindle_glClientActiveTexture || !brindle_glMultiTexCoord1f
        || !brindle_glMultiTexCoord2f || !brindle_glMultiTexCoord3f || !brindle_glMultiTexCoord4f) {
        failure_ = LoaderFailure::Multitexture;
        return false;
    }

    if (version.major < 2) {
        failure_ = LoaderFailure::Version;
        return false;
    }
    BRINDLE_GL_SHADER(BRINDLE_GL_FETCH)

    if (!hasExtension(extensions, "GL_EXT_framebuffer_object")) {
        failure_ = LoaderFailure::FramebufferObject;
        return false;
    }
    BRINDLE_GL_FRAMEBUFFER(BRINDLE_GL_FETCH)
    if (hasExtension(extensions, "GL_ARB_timer_query")) {
        BRINDLE_GL_TIMER_QUERY(BRINDLE_GL_FETCH)
    }
    if (version.major > 2 || version.minor >= 1 || hasExtension(extensions, "GL_ARB_pixel_buffer_object")) {
        BRINDLE_GL_PIXEL_BUFFER(BRINDLE_GL_FETCH)
    }
#undef BRINDLE_GL_FETCH

    loaded_ = true;
    return true;
}

const char* ExtensionLoader::failureText() const
{
    switch (failure_) {
    case LoaderFailure::None: return "";
    case LoaderFailure::BlendEquation:
        return "the GL driver offers no subtractive blend equation (GL_ARB_imaging or GL_EXT_blend_subtract)";
    case LoaderFailure::Multitexture: return "the GL driver lacks the multitexture entry points";
    case LoaderFailure::Version: return "the GL driver is older than OpenGL 2.0";
    case LoaderFailure::FramebufferObject: return "the GL driver does not offer GL_EXT_framebuffer_object";
    }
    return "";
}
