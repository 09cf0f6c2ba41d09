// Desktop safety: whatever ends the process, the desktop gets its own mode
// back and the cursor shows. An exit handler covers return, exit and the
// library's failures. Every signal whose default action ends the process
// and that can be caught is handled: requests to end (SIGTERM, SIGPIPE,
// SIGUSR1, the real-time signals, ... and any signal sent by another
// process) are acted on at the edge of backend code (see SdlSection), with
// a timer for a program that does not come back to it; faults, and the
// program's own abort or raise, restore at once. Either way the process
// then ends by the signal it got, so its status is the conventional 128+n.
// A forked child (SDL's X11 message box) restores nothing and dies with
// its parent. Signals the caller ignores, or (other than faults) handles
// itself, are left to it.
#include <SDL.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

#include <cstdlib>

#include "platform/sdl2/backend.h"

namespace Kestravon {
namespace platform {
namespace sdl2 {

namespace {

// The state the signal handlers read and write lives here, apart from the
// Backend struct: a handler may interrupt any line of backend code, so what
// it shares with that code must be a volatile sig_atomic_t (or, like the
// owner and the saved actions, be written only before the handlers exist).
volatile sig_atomic_t finalRestoreDone = 0;
// A request to end is acted on at the next entry to or exit from backend
// code, which every frame passes through: there no Xlib or driver lock can
// be held, whereas the handler may have interrupted SDL or the GL driver
// mid-call. sdlDepth tells whether we are inside.
volatile sig_atomic_t sdlDepth = 0;
volatile sig_atomic_t pendingSignal = 0;
// Set once the last restore has begun: from then on the process is ending
// by finishingSignal, and further requests change nothing.
volatile sig_atomic_t finishing = 0;
volatile sig_atomic_t finishingSignal = 0;
// A program that does not reach backend code this soon after a request is
// restored from the timer (SIGALRM) instead.
constexpr unsigned kPendingGraceSeconds = 1;
// A restore that hangs (a crash inside Xlib can leave its lock held) must
// not keep the process alive: after this long it ends without one.
constexpr unsigned kRestoreLimitSeconds = 3;
// The process whose desktop the handlers give back. SDL shows X11 message
// boxes from a forked child, which inherits the handlers and the parent's
// X connection: requests sent from the child would corrupt the parent's
// connection (its own restore then dies with an X I/O error, status 1), so
// in a child the handlers restore nothing.
pid_t safetyOwner = 0;

bool inForkedChild() { return safetyOwner != 0 && getpid() != safetyOwner; }

// The library's last words before an end that skips the exit handlers.
void (*abruptEndCallback)() = nullptr;
volatile sig_atomic_t abruptEndCalled = 0;

// Default action "terminate" or "core". SIGKILL and SIGSTOP cannot be
// caught; the stop signals only stop the process.
constexpr int kRequestSignals[] = {
    SIGHUP,    SIGINT, SIGQUIT, SIGTERM, SIGPIPE, SIGALRM, SIGUSR1, SIGUSR2, SIGXCPU, SIGXFSZ, SIGPROF, SIGVTALRM,
#ifdef SIGPOLL
    SIGPOLL,
#endif
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
#ifdef SIGPWR
    SIGPWR,
#endif
#ifdef SIGEMT
    SIGEMT,
#endif
#ifdef SIGLOST
    SIGLOST,
#endif
};
constexpr int kFaultSignals[] = {SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGSYS};
struct sigaction previousActions[NSIG];

bool isFaultSignal(int signalNumber) {
  for (int fault : kFaultSignals) {
    if (fault == signalNumber) {
      return true;
    }
  }
  return false;
}

// Raised by the kernel for this process (a fault, a timer) or by the
// process itself (abort, raise), rather than sent by another process.
// Where the origin cannot be told (no SI_TKILL), every one counts as such.
bool fromKernelOrSelf(const siginfo_t* info) {
#ifdef SI_TKILL
  return info->si_code > 0 || info->si_code == SI_TKILL;
#else
  (void)info;
  return true;
#endif
}

// The backend's own timer: the grace after a request, the restore's limit.
bool isOwnTimer(int signalNumber, const siginfo_t* info) {
#ifdef SI_KERNEL
  return signalNumber == SIGALRM && info->si_code == SI_KERNEL;
#else
  (void)info;
  return signalNumber == SIGALRM;
#endif
}

// The last restore before the process ends. Runs once, from the exit
// handler or a signal handler, whichever comes first.
void finalRestore(bool fromSignal) {
  if (finalRestoreDone != 0 || inForkedChild()) {
    return;
  }
  finalRestoreDone = 1;
  Backend& b = backend();
  if (!b.videoUp) {
    return;
  }
  // Contexts are left to the process's end: the driver may have run its own
  // exit handlers already, or, after a fault, be what failed.
  if (!fromSignal) {
    SDL_GL_MakeCurrent(nullptr, nullptr);
  }
  // The look-up table first, while the connection it was set through is up.
  restoreGammaRamp();
  // The window procedure is not called: the process is ending and nothing
  // that would read a posted quit will run again.
  b.model.windows.forEach([](WindowObject* window) {
    if (window->sdlWindow != nullptr) {
      SDL_DestroyWindow(window->sdlWindow);
      window->sdlWindow = nullptr;
    }
  });
  b.canvas = nullptr;
  ensureDesktopMode();
  giveKeyboardFocusBack();
  SDL_ShowCursor(SDL_ENABLE);
  b.model.cursor = win32_model::CursorCount();
  b.modeChosen = false;
  SDL_Quit();
  b.videoUp = false;
}

void restoreAtExit() { finalRestore(false); }

// Ends the process by this signal, with no restore: its previous action
// (the default one, or a handler that was there before, such as a
// sanitizer's) takes over; should that return, the default action does.
void endBySignal(int signalNumber) {
  sigaction(signalNumber, &previousActions[signalNumber], nullptr);
  sigset_t unblock;
  sigemptyset(&unblock);
  sigaddset(&unblock, signalNumber);
  sigprocmask(SIG_UNBLOCK, &unblock, nullptr);
  raise(signalNumber);
  signal(signalNumber, SIG_DFL);
  raise(signalNumber);
  _exit(128 + signalNumber);
}

void onSignal(int signalNumber, siginfo_t* info, void* context);

// The timers are the backend's once a request is being acted on, whatever
// the program had done with SIGALRM: its own handler must see them, also
// while it runs (SA_NODEFER).
void takeTimer() {
  struct sigaction action = {};
  action.sa_sigaction = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_SIGINFO | SA_RESTART | SA_NODEFER;
  sigaction(SIGALRM, &action, nullptr);
}

// The last restore, for a process that is ending by this signal.
void restoreBeforeEnding(int signalNumber, bool inHandler) {
  finishingSignal = signalNumber;
  finishing = 1;
  endingAbruptly();
  takeTimer();
  alarm(kRestoreLimitSeconds);
  finalRestore(inHandler);
  alarm(0);
}

// Restore, then end by the signal so that the exit status stays conventional.
void finishBySignal(int signalNumber, bool inHandler) {
  restoreBeforeEnding(signalNumber, inHandler);
  endBySignal(signalNumber);
}

// A processor fault that happens again when its instruction is run again.
bool refaults(int signalNumber, const siginfo_t* info) {
  return info->si_code > 0 &&
         (signalNumber == SIGSEGV || signalNumber == SIGBUS || signalNumber == SIGFPE || signalNumber == SIGILL);
}

void onSignal(int signalNumber, siginfo_t* info, void* /*context*/) {
  const bool fault = isFaultSignal(signalNumber) && fromKernelOrSelf(info);
  if (inForkedChild()) {
    endBySignal(signalNumber);
    return;
  }
  if (finishing != 0) {
    if (isOwnTimer(signalNumber, info)) {
      endBySignal(finishingSignal);  // the restore hangs
    } else if (fault) {
      endBySignal(signalNumber);  // the restore itself crashed
    }
    return;  // another request: the process is ending already
  }
  if (refaults(signalNumber, info)) {
    // Restored, and back to the previous action: returning runs the
    // faulting instruction again, so that the core file, or a sanitizer's
    // report, shows the fault itself and not this handler.
    restoreBeforeEnding(signalNumber, true);
    sigaction(signalNumber, &previousActions[signalNumber], nullptr);
    return;
  }
  if (fault) {
    // abort and raise expect not to return.
    finishBySignal(signalNumber, true);
    return;
  }
  if (pendingSignal != 0) {
    // Asked a second time: restore now. SIGALRM here is the grace timer,
    // or as good as it: the process ends by the request it had.
    finishBySignal(signalNumber == SIGALRM ? static_cast<int>(pendingSignal) : signalNumber, true);
    return;
  }
  pendingSignal = signalNumber;
  takeTimer();
  alarm(kPendingGraceSeconds);
}

void finishPendingSignal() {
  if (pendingSignal != 0 && sdlDepth == 0 && finishing == 0) {
    alarm(0);
    finishBySignal(pendingSignal, false);
  }
}

// Requests are taken over only from the default action; faults also from
// a handler that was there first (a sanitizer's), which then runs after
// the restore. An ignored signal stays ignored (nohup, a background job).
void installHandler(int signalNumber, bool fault) {
  struct sigaction previous = {};
  if (sigaction(signalNumber, nullptr, &previous) != 0) {
    return;
  }
  const bool isDefault = (previous.sa_flags & SA_SIGINFO) == 0 && previous.sa_handler == SIG_DFL;
  const bool isIgnored = (previous.sa_flags & SA_SIGINFO) == 0 && previous.sa_handler == SIG_IGN;
  if (isIgnored || (!fault && !isDefault)) {
    return;
  }
  previousActions[signalNumber] = previous;
  struct sigaction action = {};
  action.sa_sigaction = onSignal;
  sigemptyset(&action.sa_mask);
  // A fault while restoring must reach the handler (which then ends the
  // process) rather than wait blocked; so must the timer in its own handler.
  action.sa_flags = SA_SIGINFO | SA_RESTART | (fault || signalNumber == SIGALRM ? SA_NODEFER : 0);
  sigaction(signalNumber, &action, nullptr);
}

// A forked child (a message box) must not outlive the program: a box left
// on the screen by a program that was terminated would wait there for a
// click nobody expects.
void endWithParent() {
#ifdef __linux__
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != safetyOwner) {
    _exit(1);  // the parent ended before the request took effect
  }
#endif
}

}  // namespace

void endingAbruptly() {
  if (abruptEndCalled != 0 || inForkedChild() || abruptEndCallback == nullptr) {
    return;
  }
  abruptEndCalled = 1;
  abruptEndCallback();
}

SdlSection::SdlSection() {
  finishPendingSignal();
  sdlDepth = sdlDepth + 1;
}

SdlSection::~SdlSection() {
  sdlDepth = sdlDepth - 1;
  finishPendingSignal();
  if (sdlDepth == 0) {
    endWhenCanvasDestroyed();
  }
}

void installDesktopSafety() {
  Backend& b = backend();
  if (b.desktopSafetyInstalled) {
    return;
  }
  b.desktopSafetyInstalled = true;
  safetyOwner = getpid();
  pthread_atfork(nullptr, nullptr, endWithParent);
  std::atexit(restoreAtExit);
  for (int signalNumber : kRequestSignals) {
    installHandler(signalNumber, false);
  }
#ifdef SIGRTMIN
  for (int signalNumber = SIGRTMIN; signalNumber <= SIGRTMAX; ++signalNumber) {
    installHandler(signalNumber, false);
  }
#endif
  for (int signalNumber : kFaultSignals) {
    installHandler(signalNumber, true);
  }
}

}  // namespace sdl2

void setAbruptEndCallback(void (*callback)()) { sdl2::abruptEndCallback = callback; }

}  // namespace platform
}  // namespace Kestravon
