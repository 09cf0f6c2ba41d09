// The program's main routine.
#pragma once

extern const int kDisplayWidth;
extern const int kDisplayHeight;
extern const double kRefreshRate;

void stimulus_main();
