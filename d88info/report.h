// d88info's report on an open D88 image: every indexed disk's header, its
// tracks and their sector identifiers, where mivor's load of the disk would
// stop early, and the music blocks mivor would cut from it.
#ifndef MIVOR_D88INFO_REPORT_H
#define MIVOR_D88INFO_REPORT_H

#include <string>

#include "image/d88_image.h"

// Selects each disk of image in turn, loads and scans it as mivor does and
// describes it; the text ends with a newline. Reads nothing but what the
// reader's operations deliver, so a damaged image gives a report, never a
// failure; writes no file.
std::string describeImage(D88Image& image);

#endif  // MIVOR_D88INFO_REPORT_H
