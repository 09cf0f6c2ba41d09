// Kestravon: everything a routine uses, in one header. A program defines
//
//   void stimulus_main();
//
// the routine the library's entry function runs after start-up (as main
// is for a C program), and links Kestravon::sdl2 (Linux), Kestravon::win32
// (Windows) or Kestravon::headless (offscreen, for tests). docs/api.md
// lists every type and operation, and the rules of ownership and threads.
// Start-up, the options and the session record belong to the entry
// function: a routine never calls them, and they are not installed.
#pragma once

#include "base/clock.h"
#include "base/exception.h"
#include "base/keyboard.h"
#include "base/priority.h"
#include "canvas/canvas.h"
#include "canvas/display_lists.h"
#include "canvas/gamma_table.h"
#include "canvas/gl.h"
#include "canvas/overlay.h"
#include "canvas/shapes.h"
#include "canvas/subject_display.h"
#include "parameters/parameter_console.h"
#include "parameters/range.h"
#include "parameters/starting_values.h"
#include "parameters/variable_registry.h"
#include "shell/adjustment_session.h"

// The routine a program defines.
void stimulus_main();
