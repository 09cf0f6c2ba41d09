// OpenGL 1.1's header, with what it needs before it on each system
// (Windows: the calling convention and export macros of <windows.h>).
#pragma once

#ifdef _WIN32
#include <windows.h>
#endif
#include <GL/gl.h>
