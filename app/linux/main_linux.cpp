// Placeholder entry point until the GLFW program lands.
#include <cstdio>

int main() {
    std::fputs("wavelift: the Linux program is not built yet\n", stderr);
    return 1;
}
