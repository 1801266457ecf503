#include "app/linux/window_icon.h"

#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>

#include <array>
#include <cstddef>

// Square RGBA images embedded at build time.
extern const unsigned char kWindowIcon16[];
extern const unsigned char kWindowIcon32[];
extern const unsigned char kWindowIcon48[];
extern const unsigned char kWindowIcon64[];

void SetWindowIcon(GLFWwindow* window) {
    struct Square {
        int size;
        const unsigned char* pixels;
    };
    const std::array<Square, 4> squares = {{{16, kWindowIcon16}, {32, kWindowIcon32}, {48, kWindowIcon48}, {64, kWindowIcon64}}};
    std::array<GLFWimage, squares.size()> images{};
    for (size_t i = 0; i < squares.size(); ++i) {
        // GLFW only reads the pixels; its image type is not const-correct.
        images[i] = GLFWimage{squares[i].size, squares[i].size, const_cast<unsigned char*>(squares[i].pixels)};
    }
    glfwSetWindowIcon(window, static_cast<int>(images.size()), images.data());
}
