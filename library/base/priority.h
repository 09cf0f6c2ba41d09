// The priority the process runs its frames at. A lab's stimulus computer
// is rarely idle (a virus scan, an update, a browser); at normal priority
// such work takes the processor when a frame is due. Every program takes
// --priority normal|high|realtime; a routine that decides for itself calls
// setPriority, before its canvas opens (threads the GL driver starts then
// inherit the scheduling of the thread that opens it).
//
//   normal    what start-up sets
//   high      a raised priority (Windows HIGH_PRIORITY_CLASS; Linux nice -10)
//   realtime  Windows: HIGH_PRIORITY_CLASS, the calling thread
//             TIME_CRITICAL, a 1 ms timer. Linux: SCHED_FIFO at a moderate
//             priority for the calling thread, all memory locked, the
//             smallest timer slack.
#pragma once

#include <string>

#include "../../platform/types.h"

namespace Kestravon {

using platform::Priority;

// True when the system granted all of it. Otherwise one line on standard
// error says what was refused and how to allow it, and the process runs on
// at what it got.
bool setPriority(Priority priority);

// The priority last asked for (normal until setPriority is called), and
// what the process runs at now, as the system reports it: the session
// record's headers state both.
Priority priorityAsked();
std::string schedulingObtained();

// "normal", "high", "realtime"; and back, false for any other word.
using platform::priorityName;
bool priorityFromName(const std::string& name, Priority& priority);

}  // namespace Kestravon
