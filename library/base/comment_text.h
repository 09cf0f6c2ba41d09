// Text written into a file's "#" lines (the record's, the timing file's,
// the results file's headers): a name or label holding a line break would
// start a line that a CSV reader takes for data.
#pragma once

#include <string>

namespace Kestravon {

// `text` with every control character written out: \n, \r, \t, or \xNN
// for the others (DEL included). Everything else stands as it is.
std::string commentText(const std::string& text);

}  // namespace Kestravon
