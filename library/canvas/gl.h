// OpenGL 1.1, the same on every platform the library runs on.
#pragma once

#include "../../platform/opengl.h"
