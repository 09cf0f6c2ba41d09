// The C runtime's file calls as POSIX has them, shared by the backends
// that run on it (SDL2 and headless): platform.h's files, standard
// streams and program path (files.cpp). Each backend defines writeFile
// and hasStandardError itself (the headless one injects faults), on
// writeSome.
#pragma once

#include <cstddef>

namespace Kestravon {
namespace posix {

// write, tried again when interrupted: the bytes written, or -1 with
// `error` set. Async-signal-safe.
long writeSome(int file, const char* data, std::size_t size, int& error);

}  // namespace posix
}  // namespace Kestravon
