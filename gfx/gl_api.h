// gl_api.h: the GL interface the whole program draws through.
//
// The system GL library is only guaranteed to export OpenGL 1.1, so every newer
// entry point (blend equations, multitexture, the 2.0 shader interface, framebuffer
// objects) is a function pointer fetched by the extension loader once the context
// is current (see gl_loader.h). Include this header instead of <GL/gl.h>: the
// macros below route the usual GL names to those pointers, so drawing code reads
// as plain GL. A pointer the driver did not provide stays null.
#pragma once

#include <GL/gl.h>
#include <GL/glext.h>

#include "gfx/gl_entry_points.inc"

#define BRINDLE_GL_DECLARE(type, name) extern type brindle_##name;
BRINDLE_GL_BLEND(BRINDLE_GL_DECLARE)
BRINDLE_GL_MULTITEXTURE_REQUIRED(BRINDLE_GL_DECLARE)
BRINDLE_GL_MULTITEXTURE_OPTIONAL(BRINDLE_GL_DECLARE)
BRINDLE_GL_SHADER(BRINDLE_GL_DECLARE)
BRINDLE_GL_FRAMEBUFFER(BRINDLE_GL_DECLARE)
BRINDLE_GL_TIMER_QUERY(BRINDLE_GL_DECLARE)
BRINDLE_GL_PIXEL_BUFFER(BRINDLE_GL_DECLARE)
#undef BRINDLE_GL_DECLARE

#define glBlendEquation brindle_glBlendEquation
#define glBlendEquationEXT brindle_glBlendEquationEXT
#define glActiveTexture brindle_glActiveTexture
#define glClientActiveTexture brindle_glClientActiveTexture
#define glMultiTexCoord1f brindle_glMultiTexCoord1f
#define glMultiTexCoord2f brindle_glMultiTexCoord2f
#define glMultiTexCoord3f brindle_glMultiTexCoord3f
#define glMultiTexCoord4f brindle_glMultiTexCoord4f
#define glMultiTexCoord1fv brindle_glMultiTexCoord1fv
#define glMultiTexCoord2fv brindle_glMultiTexCoord2fv
#define glMultiTexCoord3fv brindle_glMultiTexCoord3fv
#define glMultiTexCoord4fv brindle_glMultiTexCoord4fv
#define glDeleteProgram brindle_glDeleteProgram
#define glDeleteShader brindle_glDeleteShader
#define glDetachShader brindle_glDetachShader
#define glCreateShader brindle_glCreateShader
#define glShaderSource brindle_glShaderSource
#define glCompileShader brindle_glCompileShader
#define glCreateProgram brindle_glCreateProgram
#define glAttachShader brindle_glAttachShader
#define glLinkProgram brindle_glLinkProgram
#define glUseProgram brindle_glUseProgram
#define glValidateProgram brindle_glValidateProgram
#define glUniform1f brindle_glUniform1f
#define glUniform2f brindle_glUniform2f
#define glUniform3f brindle_glUniform3f
#define glUniform4f brindle_glUniform4f
#define glUniform1i brindle_glUniform1i
#define glUniform2i brindle_glUniform2i
#define glUniform3i brindle_glUniform3i
#define glUniform4i brindle_glUniform4i
#define glUniform1fv brindle_glUniform1fv
#define glUniform2fv brindle_glUniform2fv
#define glUniform3fv brindle_glUniform3fv
#define glUniform4fv brindle_glUniform4fv
#define glUniform1iv brindle_glUniform1iv
#define glUniform2iv brindle_glUniform2iv
#define glUniform3iv brindle_glUniform3iv
#define glUniform4iv brindle_glUniform4iv
#define glUniformMatrix4fv brindle_glUniformMatrix4fv
#define glGetProgramiv brindle_glGetProgramiv
#define glGetShaderiv brindle_glGetShaderiv
#define glGetProgramInfoLog brindle_glGetProgramInfoLog
#define glGetShaderInfoLog brindle_glGetShaderInfoLog
#define glGetAttachedShaders brindle_glGetAttachedShaders
#define glGetUniformLocation brindle_glGetUniformLocation
#define glGetActiveUniform brindle_glGetActiveUniform
#define glGetUniformfv brindle_glGetUniformfv
#define glGetUniformiv brindle_glGetUniformiv
#define glGetShaderSource brindle_glGetShaderSource
#define glVertexAttrib1f brindle_glVertexAttrib1f
#define glVertexAttrib1fv brindle_glVertexAttrib1fv
#define glVertexAttrib2f brindle_glVertexAttrib2f
#define glVertexAttrib2fv brindle_glVertexAttrib2fv
#define glVertexAttrib3f brindle_glVertexAttrib3f
#define glVertexAttrib3fv brindle_glVertexAttrib3fv
#define glVertexAttrib4f brindle_glVertexAttrib4f
#define glVertexAttrib4fv brindle_glVertexAttrib4fv
#define glGetAttribLocation brindle_glGetAttribLocation
#define glBindAttribLocation brindle_glBindAttribLocation
#define glVertexAttribPointer brindle_glVertexAttribPointer
#define glEnableVertexAttribArray brindle_glEnableVertexAttribArray
#define glDisableVertexAttribArray brindle_glDisableVertexAttribArray
#define glGenFramebuffersEXT brindle_glGenFramebuffersEXT
#define glDeleteFramebuffersEXT brindle_glDeleteFramebuffersEXT
#define glBindFramebufferEXT brindle_glBindFramebufferEXT
#define glFramebufferTexture2DEXT brindle_glFramebufferTexture2DEXT
#define glGenRenderbuffersEXT brindle_glGenRenderbuffersEXT
#define glBindRenderbufferEXT brindle_glBindRenderbufferEXT
#define glRenderbufferStorageEXT brindle_glRenderbufferStorageEXT
#define glFramebufferRenderbufferEXT brindle_glFramebufferRenderbufferEXT
#define glCheckFramebufferStatusEXT brindle_glCheckFramebufferStatusEXT
#define glDrawBuffers brindle_glDrawBuffers
#define glGenQueries brindle_glGenQueries
#define glDeleteQueries brindle_glDeleteQueries
#define glQueryCounter brindle_glQueryCounter
#define glGetQueryObjectiv brindle_glGetQueryObjectiv
#define glGetQueryObjectui64v brindle_glGetQueryObjectui64v
#define glGenBuffers brindle_glGenBuffers
#define glDeleteBuffers brindle_glDeleteBuffers
#define glBindBuffer brindle_glBindBuffer
#define glBufferData brindle_glBufferData
#define glMapBuffer brindle_glMapBuffer
#define glUnmapBuffer brindle_glUnmapBuffer
#define glGetBufferSubData brindle_glGetBufferSubData

// Whether the loader found GL timer queries (GL_ARB_timer_query) and pixel
// buffer objects (GL 2.1 or GL_ARB_pixel_buffer_object).
bool hasTimerQueries();
bool hasPixelBuffers();

// Sets the blend equation through whichever entry point the loader fetched:
// glBlendEquation when the driver lists GL_ARB_imaging, else glBlendEquationEXT.
void setBlendEquation(GLenum mode);
