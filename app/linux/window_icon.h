#pragma once

struct GLFWwindow;

// Gives the window the program's icon, in every size the program carries.
void SetWindowIcon(GLFWwindow* window);
