// The RandR outputs of one X screen, walked in the server's order: the
// screen resources of its root window (XRRGetScreenResourcesCurrent) are
// taken when the walker is made, an output's XRROutputInfo when it is
// first asked for, and the walker frees what it took (the info when it
// moves on, the resources when it goes). Which outputs count (connected,
// lit, of a name) is for the caller to say.
#pragma once

#ifdef KESTRAVON_HAVE_XRANDR
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

namespace Kestravon {
namespace platform {
namespace sdl2 {

class RandrOutputs {
 public:
  RandrOutputs(Display* display, ::Window root)
      : display_(display), resources_(XRRGetScreenResourcesCurrent(display, root)) {}
  ~RandrOutputs() {
    freeInfo();
    if (resources_ != nullptr) XRRFreeScreenResources(resources_);
  }
  RandrOutputs(const RandrOutputs&) = delete;
  RandrOutputs& operator=(const RandrOutputs&) = delete;

  // Whether the screen's resources could be had; without them there is
  // no output to walk.
  bool valid() const { return resources_ != nullptr; }

  // Moves to the next output; false once past the last.
  bool next() {
    freeInfo();
    if (resources_ == nullptr || next_ >= resources_->noutput) return false;
    output_ = resources_->outputs[next_++];
    return true;
  }

  // The output reached, and its info (null when it cannot be had).
  RROutput output() const { return output_; }
  const XRROutputInfo* info() {
    if (info_ == nullptr) info_ = XRRGetOutputInfo(display_, resources_, output_);
    return info_;
  }

 private:
  void freeInfo() {
    if (info_ != nullptr) XRRFreeOutputInfo(info_);
    info_ = nullptr;
  }

  Display* display_;
  XRRScreenResources* resources_;
  int next_ = 0;
  RROutput output_ = 0;
  XRROutputInfo* info_ = nullptr;
};

}  // namespace sdl2
}  // namespace platform
}  // namespace Kestravon
#endif
