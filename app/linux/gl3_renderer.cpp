#include "app/linux/gl3_renderer.h"

#define GL_GLEXT_PROTOTYPES
#include <GL/glcorearb.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace {

const char* const kVertexShader = R"(#version 330 core
uniform mat4 projection;
layout (location = 0) in vec2 position;
layout (location = 1) in vec2 uv;
layout (location = 2) in vec4 color;
out vec2 fragmentUv;
out vec4 fragmentColor;
void main() {
    fragmentUv = uv;
    fragmentColor = color;
    gl_Position = projection * vec4(position, 0.0, 1.0);
}
)";

const char* const kFragmentShader = R"(#version 330 core
uniform sampler2D glyphs;
in vec2 fragmentUv;
in vec4 fragmentColor;
layout (location = 0) out vec4 outColor;
void main() {
    outColor = fragmentColor * texture(glyphs, fragmentUv);
}
)";

GLuint CompileShader(GLenum type, const char* source) {
    const GLuint shader = glCreateShader(type);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint compiled = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    if (compiled != GL_TRUE) {
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

GLuint TextureName(ImTextureID id) { return static_cast<GLuint>(reinterpret_cast<intptr_t>(id)); }
ImTextureID TextureId(GLuint texture) { return reinterpret_cast<ImTextureID>(static_cast<intptr_t>(texture)); }

// An RGBA texture made from `pixels`; 0 and the GL error when that fails.
GLuint MakeTexture(int width, int height, const void* pixels, GLint filter, GLint wrapAcross, GLenum& error) {
    while (glGetError() != GL_NO_ERROR) {
        // Earlier errors are not this texture's.
    }
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrapAcross);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    error = glGetError();
    glBindTexture(GL_TEXTURE_2D, 0);
    if (texture != 0 && error == GL_NO_ERROR) return texture;
    if (texture) glDeleteTextures(1, &texture);
    return 0;
}

}  // namespace

Gl3Renderer::~Gl3Renderer() { Shutdown(); }

bool Gl3Renderer::Init() {
    const GLuint vertex = CompileShader(GL_VERTEX_SHADER, kVertexShader);
    const GLuint fragment = CompileShader(GL_FRAGMENT_SHADER, kFragmentShader);
    if (vertex == 0 || fragment == 0) {
        if (vertex) glDeleteShader(vertex);
        if (fragment) glDeleteShader(fragment);
        return false;
    }
    program = glCreateProgram();
    glAttachShader(program, vertex);
    glAttachShader(program, fragment);
    glLinkProgram(program);
    glDetachShader(program, vertex);
    glDetachShader(program, fragment);
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    GLint linked = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (linked != GL_TRUE) {
        Shutdown();
        return false;
    }
    projectionLocation = glGetUniformLocation(program, "projection");
    textureLocation = glGetUniformLocation(program, "glyphs");

    glGenVertexArrays(1, &vertexArray);
    glGenBuffers(1, &vertexBuffer);
    glGenBuffers(1, &indexBuffer);
    glBindVertexArray(vertexArray);
    glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer);
    glEnableVertexAttribArray(0);
    glEnableVertexAttribArray(1);
    glEnableVertexAttribArray(2);
    glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, sizeof(ImDrawVert),
                          reinterpret_cast<const void*>(offsetof(ImDrawVert, pos)));
    glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, sizeof(ImDrawVert),
                          reinterpret_cast<const void*>(offsetof(ImDrawVert, uv)));
    glVertexAttribPointer(2, 4, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(ImDrawVert),
                          reinterpret_cast<const void*>(offsetof(ImDrawVert, col)));
    glBindVertexArray(0);

    ImGuiIO& io = ImGui::GetIO();
    io.BackendRendererName = "wavelift_gl3";
    io.BackendFlags |= ImGuiBackendFlags_RendererHasVtxOffset;
    return true;
}

void Gl3Renderer::Shutdown() {
    if (!imageTextures.empty()) glDeleteTextures(static_cast<GLsizei>(imageTextures.size()), imageTextures.data());
    imageTextures.clear();
    if (fontTexture) glDeleteTextures(1, &fontTexture);
    if (indexBuffer) glDeleteBuffers(1, &indexBuffer);
    if (vertexBuffer) glDeleteBuffers(1, &vertexBuffer);
    if (vertexArray) glDeleteVertexArrays(1, &vertexArray);
    if (program) glDeleteProgram(program);
    fontTexture = indexBuffer = vertexBuffer = vertexArray = program = 0;
}

void Gl3Renderer::DestroyFontTexture(ImFontAtlas& atlas) {
    if (fontTexture) glDeleteTextures(1, &fontTexture);
    fontTexture = 0;
    atlas.SetTexID(nullptr);
}

int Gl3Renderer::MaxTextureSize() const {
    GLint size = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &size);
    return size;
}

uint32_t Gl3Renderer::FeatureLevel() const {
    // The context's version in the shape of a feature level: 3.3 is 0x3300.
    GLint major = 0;
    GLint minor = 0;
    glGetIntegerv(GL_MAJOR_VERSION, &major);
    glGetIntegerv(GL_MINOR_VERSION, &minor);
    return (static_cast<uint32_t>(major) << 12) | (static_cast<uint32_t>(minor) << 8);
}

TextureDevice::UploadResult Gl3Renderer::Upload(const unsigned char* pixels, int width, int height) {
    UploadResult result;
    GLenum error = GL_NO_ERROR;
    const GLuint texture = MakeTexture(width, height, pixels, GL_LINEAR, GL_CLAMP_TO_EDGE, error);
    result.textureCode = error;
    result.textureCreated = texture != 0;
    if (!result.textureCreated) return result;
    // A GL texture is bound directly: there is no separate view to create.
    if (fontTexture) glDeleteTextures(1, &fontTexture);
    fontTexture = texture;
    result.viewCreated = true;
    result.texture = TextureId(texture);
    return result;
}

ImTextureID Gl3Renderer::CreateImageTexture(int width, int height) {
    const std::vector<uint32_t> transparent(static_cast<size_t>(width) * static_cast<size_t>(height), 0u);
    GLenum error = GL_NO_ERROR;
    const GLuint texture = MakeTexture(width, height, transparent.data(), GL_NEAREST, GL_REPEAT, error);
    if (texture == 0) return nullptr;
    imageTextures.push_back(texture);
    return TextureId(texture);
}

void Gl3Renderer::UpdateImageTexture(ImTextureID id, int x, int y, int width, int height, const uint32_t* pixels,
                                     int pitch) {
    glBindTexture(GL_TEXTURE_2D, TextureName(id));
    glPixelStorei(GL_UNPACK_ROW_LENGTH, pitch);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexSubImage2D(GL_TEXTURE_2D, 0, x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glBindTexture(GL_TEXTURE_2D, 0);
}

void Gl3Renderer::DestroyImageTexture(ImTextureID id) {
    const GLuint texture = TextureName(id);
    const auto found = std::find(imageTextures.begin(), imageTextures.end(), texture);
    if (found == imageTextures.end()) return;
    glDeleteTextures(1, &texture);
    imageTextures.erase(found);
}

void Gl3Renderer::SetUpState(const ImDrawData* drawData, int framebufferWidth, int framebufferHeight) {
    glEnable(GL_BLEND);
    glBlendEquation(GL_FUNC_ADD);
    glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_CULL_FACE);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_STENCIL_TEST);
    glEnable(GL_SCISSOR_TEST);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glViewport(0, 0, framebufferWidth, framebufferHeight);

    const float left = drawData->DisplayPos.x;
    const float right = drawData->DisplayPos.x + drawData->DisplaySize.x;
    const float top = drawData->DisplayPos.y;
    const float bottom = drawData->DisplayPos.y + drawData->DisplaySize.y;
    const float projection[4][4] = {
        {2.0f / (right - left), 0.0f, 0.0f, 0.0f},
        {0.0f, 2.0f / (top - bottom), 0.0f, 0.0f},
        {0.0f, 0.0f, -1.0f, 0.0f},
        {(right + left) / (left - right), (top + bottom) / (bottom - top), 0.0f, 1.0f},
    };
    glUseProgram(program);
    glUniform1i(textureLocation, 0);
    glUniformMatrix4fv(projectionLocation, 1, GL_FALSE, &projection[0][0]);
    glActiveTexture(GL_TEXTURE0);
    glBindVertexArray(vertexArray);
    glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer);
}

void Gl3Renderer::ProbeFillRule(const ImDrawData* drawData, int framebufferHeight) {
    fillRuleProbed = true;
    // Rows 0 and 1 from the top are GL rows height - 1 and height - 2.
    uint8_t saved[2][4] = {};
    glReadPixels(0, framebufferHeight - 2, 1, 2, GL_RGBA, GL_UNSIGNED_BYTE, saved);

    const float x = drawData->DisplayPos.x;
    const float y = drawData->DisplayPos.y;
    const ImVec2 white = ImGui::GetIO().Fonts->TexUvWhitePixel;
    const ImU32 colors[2] = {IM_COL32(255, 0, 0, 255), IM_COL32(0, 0, 255, 255)};
    uint8_t seen[2][4] = {};
    for (const ImU32 color : colors) {
        // Both colours, so that the pixels' own colour cannot pass for the rectangle's.
        const ImDrawVert vertices[4] = {{ImVec2(x, y + 0.5f), white, color},
                                        {ImVec2(x + 1.0f, y + 0.5f), white, color},
                                        {ImVec2(x + 1.0f, y + 1.5f), white, color},
                                        {ImVec2(x, y + 1.5f), white, color}};
        const ImDrawIdx indices[6] = {0, 1, 2, 0, 2, 3};
        glBufferData(GL_ARRAY_BUFFER, sizeof(vertices), vertices, GL_STREAM_DRAW);
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, sizeof(indices), indices, GL_STREAM_DRAW);
        glScissor(0, framebufferHeight - 2, 1, 2);
        glBindTexture(GL_TEXTURE_2D, fontTexture);
        glDrawElements(GL_TRIANGLES, 6, sizeof(ImDrawIdx) == 2 ? GL_UNSIGNED_SHORT : GL_UNSIGNED_INT, nullptr);
        uint8_t now[2][4] = {};
        glReadPixels(0, framebufferHeight - 2, 1, 2, GL_RGBA, GL_UNSIGNED_BYTE, now);
        const uint8_t wanted[3] = {static_cast<uint8_t>(color), static_cast<uint8_t>(color >> 8),
                                   static_cast<uint8_t>(color >> 16)};
        for (int row = 0; row < 2; ++row)
            seen[row][color == colors[0] ? 0 : 1] = std::equal(wanted, wanted + 3, now[row]) ? 1 : 0;
    }
    // now[0] is GL's lower row: the second row from the top, centred on the rectangle's lower edge.
    const bool lowerFilled = seen[0][0] && seen[0][1];
    const bool upperFilled = seen[1][0] && seen[1][1];
    if (lowerFilled != upperFilled) lowerEdgeInside = lowerFilled;

    for (int row = 0; row < 2; ++row) {
        glScissor(0, framebufferHeight - 2 + row, 1, 1);
        glClearColor(saved[row][0] / 255.0f, saved[row][1] / 255.0f, saved[row][2] / 255.0f, saved[row][3] / 255.0f);
        glClear(GL_COLOR_BUFFER_BIT);
    }
}

void Gl3Renderer::RenderDrawData(const ImDrawData* drawData) {
    const int framebufferWidth = static_cast<int>(drawData->DisplaySize.x * drawData->FramebufferScale.x);
    const int framebufferHeight = static_cast<int>(drawData->DisplaySize.y * drawData->FramebufferScale.y);
    if (framebufferWidth <= 0 || framebufferHeight <= 0 || program == 0) return;
    SetUpState(drawData, framebufferWidth, framebufferHeight);
    const bool unscaled = drawData->FramebufferScale.x == 1.0f && drawData->FramebufferScale.y == 1.0f;
    if (!fillRuleProbed && fontTexture != 0 && unscaled && framebufferHeight >= 2) ProbeFillRule(drawData, framebufferHeight);

    const ImVec2 clipOffset = drawData->DisplayPos;
    const ImVec2 clipScale = drawData->FramebufferScale;
    for (int n = 0; n < drawData->CmdListsCount; ++n) {
        const ImDrawList* list = drawData->CmdLists[n];
        glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(list->VtxBuffer.Size) * sizeof(ImDrawVert),
                     list->VtxBuffer.Data, GL_STREAM_DRAW);
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(list->IdxBuffer.Size) * sizeof(ImDrawIdx),
                     list->IdxBuffer.Data, GL_STREAM_DRAW);
        for (const ImDrawCmd& command : list->CmdBuffer) {
            if (command.UserCallback) {
                if (command.UserCallback == ImDrawCallback_ResetRenderState)
                    SetUpState(drawData, framebufferWidth, framebufferHeight);
                else
                    command.UserCallback(list, &command);
                continue;
            }
            const ImVec2 clipMin((command.ClipRect.x - clipOffset.x) * clipScale.x,
                                 (command.ClipRect.y - clipOffset.y) * clipScale.y);
            const ImVec2 clipMax((command.ClipRect.z - clipOffset.x) * clipScale.x,
                                 (command.ClipRect.w - clipOffset.y) * clipScale.y);
            if (clipMax.x <= clipMin.x || clipMax.y <= clipMin.y) continue;
            // GL's scissor origin is the bottom-left corner.
            glScissor(static_cast<GLint>(clipMin.x), static_cast<GLint>(framebufferHeight - clipMax.y),
                      static_cast<GLsizei>(clipMax.x - clipMin.x), static_cast<GLsizei>(clipMax.y - clipMin.y));
            glBindTexture(GL_TEXTURE_2D, TextureName(command.GetTexID()));
            glDrawElementsBaseVertex(
                GL_TRIANGLES, static_cast<GLsizei>(command.ElemCount),
                sizeof(ImDrawIdx) == 2 ? GL_UNSIGNED_SHORT : GL_UNSIGNED_INT,
                reinterpret_cast<const void*>(static_cast<intptr_t>(command.IdxOffset * sizeof(ImDrawIdx))),
                static_cast<GLint>(command.VtxOffset));
        }
    }
    glDisable(GL_SCISSOR_TEST);
    glBindVertexArray(0);
}
