// The program's main routine: the moving-bar stimulus.
//
// What it draws, frame by frame (the tests draw the same from this text,
// tests/support/bar_geometry.h):
// - A black 1024x768 screen at 60 Hz with a white 5x5 fixation mark at its
//   centre (512, 384), on every frame.
// - From the six variables: k = floor(Path-length Ratio + 1); w = Bar
//   Width; the path length L = 600 - (600 mod 2wk), centred on x = 512
//   (from xLeft = 512 - L/2 to xRight = 512 + L/2); N = L / (wk) bars a
//   row, k bar widths apart; a cycle of (L / w) * SOA frames.
// - A frame counter c, advanced before each frame is drawn and taken
//   modulo the cycle (the first frame drawn has c = 1). A frame with c
//   divisible by SOA is a flash (marked with Canvas::markFlash); its phase
//   is c / SOA. Only flash frames show bars: between them, only the mark.
// - Two rows of N bars, w wide and 40 high, centred on y = 384 -
//   Eccentricity (upper) and 384 + Eccentricity (lower). Bar i has gone
//   t = (phase * w + k * w * i) mod L along the path: the row that moves
//   right has its centre at xLeft + t, the one that moves left at xRight -
//   t. Motion Direction 1 moves the upper row right (and the lower left);
//   any other value the reverse.
// - Bar i is red (1, 0, 0) when phase and i are both even or both odd,
//   otherwise green (0, Green luminance, 0).
#pragma once

extern const int kDisplayWidth;
extern const int kDisplayHeight;
extern const double kRefreshRate;

// The console labels of the six variables: what --set, the session record
// and the tools name them by.
extern const char* const kPathRatioLabel;
extern const char* const kBarWidthLabel;
extern const char* const kSoaLabel;
extern const char* const kEccentricityLabel;
extern const char* const kMotionDirectionLabel;
extern const char* const kGreenLevelLabel;

void stimulus_main();
