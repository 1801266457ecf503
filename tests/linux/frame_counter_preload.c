/* Preloaded into the program by the end-to-end tests: counts buffer swaps and
 * keeps the running total in the file named by WAVELIFT_TEST_FRAME_COUNT_FILE. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

typedef struct GLFWwindow GLFWwindow;
typedef void (*SwapBuffersFunction)(GLFWwindow*);

static unsigned long frames;
static int countFile = -2;

void glfwSwapBuffers(GLFWwindow* window) {
    static SwapBuffersFunction next;
    if (!next) next = (SwapBuffersFunction)dlsym(RTLD_NEXT, "glfwSwapBuffers");
    if (next) next(window);
    if (countFile == -2) {
        const char* path = getenv("WAVELIFT_TEST_FRAME_COUNT_FILE");
        countFile = path ? open(path, O_WRONLY | O_CREAT | O_CLOEXEC, 0600) : -1;
    }
    ++frames;
    if (countFile >= 0) {
        char text[32];
        const int length = snprintf(text, sizeof text, "%020lu\n", frames);
        if (pwrite(countFile, text, (size_t)length, 0) < 0) countFile = -1;
    }
}
