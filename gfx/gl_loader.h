// gl_loader.h: finds the GL version and extensions and fetches newer entry points.
//
// Usage: once the context is current, call
//     GLVersion v = readGLVersion();
//     ExtensionLoader loader;
//     if (!loader.load(v, (const char*)glGetString(GL_EXTENSIONS), SDL_GL_GetProcAddress)) ...
// and report loader.failureText(). The loader demands GL 2.0, a subtractive blend
// equation, multitexture and GL_EXT_framebuffer_object; everything is then
// reachable under its GL name through gl_api.h.
#pragma once

#include <cstdint>

struct GLVersion {
    int major = 0;
    int minor = 0;
};

// Parses a GL_VERSION text ("4.5 (Compatibility Profile) Mesa 22.3.6"): the whole
// number before the first dot and the digits right after it. A text without a
// dot, or null, gives 0.0.
GLVersion parseGLVersion(const char* versionText);

// Reads GL_VERSION from the current context and parses it.
GLVersion readGLVersion();

// True when `name` appears as a whole, space-separated name in `list`. An empty
// name, a name with a space, or a null list gives false.
bool hasExtension(const char* list, const char* name);

enum class LoaderFailure {
    None,
    BlendEquation,      // neither GL_ARB_imaging nor GL_EXT_blend_subtract
    Multitexture,       // a required multitexture entry point missing
    Version,            // GL older than 2.0
    FramebufferObject,  // GL_EXT_framebuffer_object not listed
};

// Returns the address of a GL entry point by name, or null when the driver lacks it.
using ProcLookup = void* (*)(const char* name);

class ExtensionLoader {
public:
    // Runs the loading sequence and returns true when every requirement is met.
    // Returns true at once after an earlier success. On failure the entry points
    // fetched so far stay set, loaded() stays false and failure() says which
    // requirement was missed; a later call starts again.
    bool load(GLVersion version, const char* extensions, ProcLookup lookup);

    bool loaded() const { return loaded_; }
    LoaderFailure failure() const { return failure_; }

    // One line for the user naming the unmet requirement; empty when none.
    const char* failureText() const;

private:
    bool loaded_ = false;
    LoaderFailure failure_ = LoaderFailure::None;
};
