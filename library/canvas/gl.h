// OpenGL 1.1, the same on every platform the library runs on.
#pragma once

#ifdef _WIN32
#include <windows.h>
#endif
#include <GL/gl.h>
