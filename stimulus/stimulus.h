// The program's main routine.
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
