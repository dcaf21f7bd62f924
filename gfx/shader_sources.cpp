// shader_sources.cpp: the built-in GLSL texts. Adjacent literals are joined by
// the compiler; a "\n" marks the end of a source line, a "\t" a tab.
#include "gfx/shader_sources.h"

namespace {

constexpr char kPpShadowedVert[] = "#version 120\n"
                                   "uniform mat4 lightProjectionView;\n"
                                   "varying vec4 diffuse, ambientGlobal, ambient, ecPos, lightSpacePos;\n"
                                   "varying vec3 normal, halfVector;\n"
                                   "void main()\n"
                                   "{\n"
                                   "\tvec3 aux;\n"
                                   "\tnormal = normalize(gl_NormalMatrix * gl_Normal);\n"
                                   "\tecPos = gl_ModelViewMatrix * gl_Vertex;\n"
                                   "\tlightSpacePos = lightProjectionView * gl_Vertex;\n"
                                   "\thalfVector = gl_LightSource[0].halfVector.xyz;\n"
                                   "\tdiffuse = gl_FrontMaterial.diffuse * gl_LightSource[0].diffuse;\n"
                                   "\tambient = gl_FrontMaterial.ambient * gl_LightSource[0].ambient;\n"
                                   "\tambientGlobal = gl_LightModel.ambient * gl_FrontMaterial.ambient;\n"
                                   "\tgl_Position = gl_ModelViewProjectionMatrix * gl_Vertex;\n"
                                   "} ";

constexpr char kPpShadowedFrag[]
    = "#version 120\n"
      "const vec2 scaleLightMap = vec2(0.25, 0.25);\n"
      "varying vec4 diffuse, ambientGlobal, ambient, ecPos, lightSpacePos;\n"
      "varying vec3 normal, halfVector;\n"
      "uniform sampler2D shadowMap;\n"
      "uniform sampler2D lightMap;\n"
      "void main()\n"
      "{\n"
      "\tvec3 n, halfV, viewV, lightDir;\n"
      "\tfloat NdotL, NdotHV;\n"
      "\tvec4 color = ambientGlobal;\n"
      "\tfloat att, dist;\n"
      "\tn = normalize(normal);\n"
      "\tlightDir = vec3(gl_LightSource[0].position - ecPos);\n"
      "\tdist = length(lightDir);\n"
      "\tNdotL = max(dot(n, normalize(lightDir)), 0.0);\n"
      "\tvec3 projCoords = lightSpacePos.xyz / lightSpacePos.w;\n"
      "\tvec3 lightMapCoords = lightSpacePos.xyz / lightSpacePos.w;\n"
      "\tprojCoords = projCoords * vec3(0.5) + vec3(0.5);\n"
      "\tlightMapCoords = vec3(0.1, 0.1, 0.1) + (lightMapCoords * vec3(0.4) + vec3(0.4));\n"
      "\tfloat texelSize = 1.0 / 512.0;\n"
      "\tif (NdotL > 0.0) {\n"
      "\t\tvec4 diffuseValue = texture2D(lightMap, lightMapCoords.xy) * 0.25;\n"
      "\t\tatt = 1.0 / (gl_LightSource[0].constantAttenuation +\n"
      "\t\t\tgl_LightSource[0].linearAttenuation * dist +\n"
      "\t\t\tgl_LightSource[0].quadraticAttenuation * dist * dist);\n"
      "\t\tcolor += att * (diffuse * NdotL + ambient);\n"
      "\t\thalfV = normalize(halfVector);\n"
      "\t\tNdotHV = max(dot(n, halfV), 0.0);\n"
      "\t"
      "\tcolor += att * gl_FrontMaterial.specular * gl_LightSource[0].specular * pow(NdotHV, "
      "gl_FrontMaterial.shininess);\n"
      "\t}\n"
      "\tvec4 shadowIntensity = vec4(0);\n"
      "\tfor (int x = -1; x <= 1; ++x)\n"
      "\t{\n"
      "\t\tfor (int y = -1; y <= 1; ++y)\n"
      "\t\t{\n"
      "\t\t\tshadowIntensity += 0.8*texture2D(shadowMap, projCoords.xy + vec2(x, y) * texelSize);\n"
      "\t\t}\n"
      "\t}\n"
      "\tshadowIntensity /= 9;\n"
      "\tcolor *= (1.0 - length(shadowIntensity));\tgl_FragColor = color;\n"
      "}";

constexpr char kPpVert[] = "#version 120\n"
                           "varying vec4 diffuse, ambientGlobal, ambient, ecPos;\n"
                           "varying vec3 normal, halfVector;\n"
                           "void main()\n"
                           "{\n"
                           "\tvec3 aux;\n"
                           "\tnormal = normalize(gl_NormalMatrix * gl_Normal);\n"
                           "\tecPos = gl_ModelViewMatrix * gl_Vertex;\n"
                           "\thalfVector = gl_LightSource[0].halfVector.xyz;\n"
                           "\tdiffuse = gl_FrontMaterial.diffuse * gl_LightSource[0].diffuse;\n"
                           "\tambient = gl_FrontMaterial.ambient * gl_LightSource[0].ambient;\n"
                           "\tambientGlobal = gl_FrontMaterial.ambient;\n"
                           "\tgl_TexCoord[0] = gl_MultiTexCoord0;\n"
                           "\tgl_Position = ftransform();\n"
                           "} ";

constexpr char kPpFrag[] = "#version 120\n"
                           "varying vec4 diffuse, ambientGlobal, ambient, ecPos;\n"
                           "varying vec3 normal, halfVector;\n"
                           "uniform sampler2D tex;\n"
                           "uniform float pixelate;\n"
                           "void main()\n"
                           "{\n"
                           "\tvec3 n, halfV, viewV, lightDir;\n"
                           "\tfloat NdotL, NdotHV;\n"
                           "\tvec2 modified = vec2(gl_TexCoord[0].s, gl_TexCoord[0].t);"
                           "\tif (pixelate < 512.0f) {"
                           "\t"
                           "\tmodified.s = floor(modified.s * pixelate)/pixelate;"
                           "\t"
                           "\tmodified.t = floor(modified.t * pixelate)/pixelate;"
                           "\t}"
                           "\tvec4 tCol = texture2D(tex, modified);\n"
                           "\tvec4 color = ambientGlobal*tCol;\n"
                           "\tfloat att, dist;\n"
                           "\tn = normalize(normal);\n"
                           "\tlightDir = vec3(gl_LightSource[0].position - ecPos);\n"
                           "\tdist = length(lightDir);\n"
                           "\tNdotL = max(max(dot(n, normalize(lightDir)), 0.0)*1.5f, 1.0);\n"
                           "\tif (NdotL > 0.0) {\n"
                           "\t\tatt = 1.0 / (gl_LightSource[0].constantAttenuation +\n"
                           "\t\t\tgl_LightSource[0].linearAttenuation * 20 * dist +\n"
                           "\t\t\tgl_LightSource[0].quadraticAttenuation *4 * dist * dist);\n"
                           "\t\tcolor += att * (diffuse * tCol * NdotL );\n"
                           "\t\thalfV = normalize(halfVector);\n"
                           "\t\tNdotHV = max(dot(n, halfV), 0.0);\n"
                           "\t}\n"
                           "\tgl_FragColor = color;\n"
                           "}";

constexpr char kShadowpassVert[] = "#version 120\n"
                                   "void main()\n"
                                   "{\n"
                                   "\tgl_FrontColor = gl_Color;\n"
                                   "\tgl_Position = gl_ModelViewProjectionMatrix * gl_Vertex;\n"
                                   "} ";

constexpr char kShadowpassFrag[] = "#version 120\n"
                                   "void main()\n"
                                   "{\n"
                                   "\tgl_FragColor = vec4(1);\n"
                                   "} ";

constexpr char kShadowpasstexturedVert[] = "#version 120\n"
                                           "void main()\n"
                                           "{\n"
                                           "\tgl_TexCoord[0] = gl_MultiTexCoord0;\n"
                                           "\tgl_FrontColor = gl_Color;\n"
                                           "\tgl_Position = gl_ModelViewProjectionMatrix * gl_Vertex;\n"
                                           "} ";

constexpr char kShadowpasstexturedFrag[] = "#version 120\n"
                                           "uniform sampler2D tex;\n"
                                           "uniform float pixelate;\n"
                                           "void main()\n"
                                           "{\n"
                                           "\tvec2 modified = vec2(gl_TexCoord[0].s, gl_TexCoord[0].t);"
                                           "\tif (pixelate < 512.0f) {"
                                           "\t"
                                           "\tmodified.s = floor(modified.s * pixelate)/pixelate;"
                                           "\t"
                                           "\tmodified.t = floor(modified.t * pixelate)/pixelate;"
                                           "\t}"
                                           "\tgl_FragColor = texture2D(tex, modified) * gl_Color;\n"
                                           "} ";

constexpr char kStandardVert[] = "#version 120\n"
                                 "varying vec4 globalColor;void main(void)\n"
                                 "{\n"
                                 "\tgl_TexCoord[0] = gl_MultiTexCoord0;\n"
                                 "\tgl_Position = gl_ModelViewProjectionMatrix * gl_Vertex;\n"
                                 "   globalColor = gl_Color;}";

constexpr char kOverlayFrag[] = "#version 120\n"
                                "varying vec4 globalColor;\n"
                                "uniform sampler2D tex;\n"
                                "uniform vec2 bleedOffset;\n"
                                "uniform vec3 bleedStrength;\n"
                                "void main (void)\n"
                                "{\n"
                                "\tvec2 lookupR = gl_TexCoord[0].st + bleedOffset * bleedStrength.r;"
                                "\tvec2 lookupG = gl_TexCoord[0].st + bleedOffset * bleedStrength.g;"
                                "\tvec2 lookupB = gl_TexCoord[0].st + bleedOffset * bleedStrength.b;"
                                "\tvec4 colR = texture2D(tex, lookupR);"
                                "\tvec4 colG = texture2D(tex, lookupG);"
                                "\tvec4 colB = texture2D(tex, lookupB);"
                                "\tvec4 tCol = vec4(colR.r, colG.g, colB.b, (colR.a + colG.a + colB.a) / 3.0);\n"
                                "\tif (tCol.a > 0.0) {\n"
                                "\t\tgl_FragColor = tCol * globalColor;\n"
                                "\t} else {\n"
                                "\t\tdiscard;\n"
                                "\t}\n"
                                "}";

constexpr char kSepblurVert[] = "uniform vec2 offsets[3];void main(void){"
                                "\tgl_TexCoord[0].st = gl_MultiTexCoord0.st;"
                                "\tgl_TexCoord[1].st = gl_MultiTexCoord0.st + offsets[0].st;"
                                "\tgl_TexCoord[2].st = gl_MultiTexCoord0.st + offsets[1].st;"
                                "\tgl_TexCoord[3].st = gl_MultiTexCoord0.st + offsets[2].st;"
                                "\tgl_TexCoord[4].st = gl_MultiTexCoord0.st - offsets[0].st;"
                                "\tgl_TexCoord[5].st = gl_MultiTexCoord0.st - offsets[1].st;"
                                "\tgl_TexCoord[6].st = gl_MultiTexCoord0.st - offsets[2].st;"
                                "\tgl_Position = ftransform();\n"
                                "}";

constexpr char kSepblurFrag[] = "uniform vec2 offsets[3];uniform sampler2D tex;void main (void){"
                                "\tgl_FragColor =  3.989 * texture2D(tex, gl_TexCoord[0].st);"
                                "\tgl_FragColor += 2.419 * texture2D(tex, gl_TexCoord[1].st);"
                                "\tgl_FragColor += 0.539 * texture2D(tex, gl_TexCoord[2].st);"
                                "\tgl_FragColor += 0.044 * texture2D(tex, gl_TexCoord[3].st);"
                                "\tgl_FragColor += 2.419 * texture2D(tex, gl_TexCoord[4].st);"
                                "\tgl_FragColor += 0.539 * texture2D(tex, gl_TexCoord[5].st);"
                                "\tgl_FragColor += 0.044 * texture2D(tex, gl_TexCoord[6].st);"
                                "\tgl_FragColor /= 9.993;}";
constexpr ShaderSource kShaders[] = {
    {"PP_SHADOWED_VERT", GL_VERTEX_SHADER, kPpShadowedVert},
    {"PP_SHADOWED_FRAG", GL_FRAGMENT_SHADER, kPpShadowedFrag},
    {"PP_VERT", GL_VERTEX_SHADER, kPpVert},
    {"PP_FRAG", GL_FRAGMENT_SHADER, kPpFrag},
    {"SHADOWPASS_VERT", GL_VERTEX_SHADER, kShadowpassVert},
    {"SHADOWPASS_FRAG", GL_FRAGMENT_SHADER, kShadowpassFrag},
    {"SHADOWPASSTEXTURED_VERT", GL_VERTEX_SHADER, kShadowpasstexturedVert},
    {"SHADOWPASSTEXTURED_FRAG", GL_FRAGMENT_SHADER, kShadowpasstexturedFrag},
    {"STANDARD_VERT", GL_VERTEX_SHADER, kStandardVert},
    {"OVERLAY_FRAG", GL_FRAGMENT_SHADER, kOverlayFrag},
    {"SEPBLUR_VERT", GL_VERTEX_SHADER, kSepblurVert},
    {"SEPBLUR_FRAG", GL_FRAGMENT_SHADER, kSepblurFrag},
};

}  // namespace

std::span<const ShaderSource> builtInShaders() { return kShaders; }

const ShaderSource* findBuiltInShader(std::string_view key)
{
    for (const ShaderSource& source : kShaders) {
        if (source.key == key)
            return &source;
    }
    return nullptr;
}
