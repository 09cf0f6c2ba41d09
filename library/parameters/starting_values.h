// Starting values given on the command line (--set "Label=value"), applied
// when the canvas opens: the routine has registered its variables by then,
// and the display mode has not changed yet.
#pragma once

#include <string>
#include <vector>

namespace Kestravon {

// Sets each labelled variable, once per registry. A label no variable has,
// or a value that is no number of the variable's type or lies outside its
// range, throws RefusedOption (naming the label and the range, or the
// labels there are); start-up reports it and returns status 2.
void applyStartingValues(const std::vector<std::string>& settings);

// A fresh registry: they may be applied again.
void resetStartingValues();

}  // namespace Kestravon
