// What the reaction-time display measured, for its test.
#pragma once

// Milliseconds from the frame that showed the target to the Space press
// that answered it; 0 before the first answer.
extern double lastResponseMs;
// Presses of Space while no target was showing.
extern int falseStarts;
