// Kestravon: everything a routine uses, in one header. A program defines
//
//   void stimulus_main();
//
// the routine the library's entry function runs after start-up (as main
// is for a C program), and links Kestravon::sdl2 (Linux), Kestravon::win32
// (Windows) or Kestravon::headless (offscreen, for tests). docs/api.md
// lists every type and operation, and the rules of ownership and threads.
#pragma once

#include "canvas/canvas.h"
#include "canvas/display_lists.h"
#include "canvas/gamma_table.h"
#include "canvas/gl.h"
#include "canvas/overlay.h"
#include "canvas/shapes.h"
#include "canvas/subject_display.h"
#include "frame/application.h"
#include "frame/clock.h"
#include "frame/command_line.h"
#include "frame/exception.h"
#include "frame/keyboard.h"
#include "frame/priority.h"
#include "frame/session_record.h"
#include "frame/startup.h"
#include "parameters/parameter_console.h"
#include "parameters/range.h"
#include "parameters/starting_values.h"
#include "parameters/variable_registry.h"

// The routine a program defines.
void stimulus_main();
