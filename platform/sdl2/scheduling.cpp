// Scheduling: the normal priority start-up sets, and what --priority asks
// for on a busy machine (POSIX; the real-time parts on Linux).
//
// Realtime: SCHED_FIFO at kRealtimePriority for the calling thread (the one
// that runs the routine; the GL driver's threads, started when the canvas
// opens, inherit it), all memory locked (MCL_FUTURE: what the canvas and the
// driver map later is locked as it is mapped), and a timer slack of 1 ns,
// so that a paced swap wakes when it should. Memory is locked only where no
// limit can make a later mapping fail (no RLIMIT_MEMLOCK, or CAP_IPC_LOCK):
// a driver refused memory halfway through a run is worse than a page fault.
// And Mesa's software rasteriser draws on worker threads of its own (as
// many as cores): at realtime, beside busy normal processes, such a worker
// was held off the processor for about 100 ms about once a second (the
// kernel gives starved normal tasks a share above real-time ones), and the
// frame waited on it. So at realtime llvmpipe draws on the routine's own
// thread (LP_NUM_THREADS=0), unless the user set it: a frame of this
// stimulus takes a few milliseconds that way, and nothing waits on a thread
// the scheduler may hold back.
#include <errno.h>
#include <pwd.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "platform/platform.h"
#include "platform/sdl2/backend.h"

namespace Kestravon {
namespace platform {

namespace {

// Well below the kernel's own real-time threads (interrupt threads run at
// 50, the watchdog and migration threads at 99), above every normal thread.
constexpr int kRealtimePriority = 10;
constexpr int kHighNice = -10;

std::string userName() {
  const passwd* entry = getpwuid(geteuid());
  return entry != nullptr && entry->pw_name != nullptr ? entry->pw_name : "USER";
}

std::string programPath() {
  char path[PATH_MAX] = {};
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  return length > 0 ? std::string(path, static_cast<std::size_t>(length)) : "PROGRAM";
}

// Whether the effective capabilities hold CAP_IPC_LOCK (bit 14).
bool mayLockWithoutLimit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_MEMLOCK, &limit) == 0 && limit.rlim_cur == RLIM_INFINITY) return true;
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("CapEff:", 0) != 0) continue;
    const unsigned long long capabilities = std::stoull(line.substr(7), nullptr, 16);
    return (capabilities >> 14 & 1ULL) != 0;
  }
  return false;
}

// What the system refused, and the limits.d lines and capabilities that
// would allow it, gathered into one sentence.
struct Refusals {
  std::string what;
  std::string lines;
  std::string capabilities;

  void add(const std::string& refusal, const std::string& limitsLine, const char* capability) {
    what += (what.empty() ? "" : ", ") + refusal;
    lines += (lines.empty() ? "\"" : ", \"") + userName() + " - " + limitsLine + "\"";
    if (capabilities.find(capability) == std::string::npos) {
      capabilities += (capabilities.empty() ? "" : ",") + std::string(capability);
    }
  }
  // A refusal no limit or capability can lift.
  void add(const std::string& refusal) { what += (what.empty() ? "" : ", ") + refusal; }
  std::string sentence() const {
    if (what.empty() || lines.empty()) return what.empty() ? std::string() : "refused " + what;
    return "refused " + what + "; to allow it, add " + lines +
           " to a file in /etc/security/limits.d/ and log in again, or run \"setcap " + capabilities + "+ep " +
           programPath() + "\"";
  }
};

bool setPolicy(int policy, int priority) {
  sched_param parameter{};
  parameter.sched_priority = priority;
  return sched_setscheduler(0, policy, &parameter) == 0;
}

void setTimerSlack(unsigned long nanoseconds) {
#ifdef __linux__
  prctl(PR_SET_TIMERSLACK, nanoseconds, 0, 0, 0);  // 0: back to the thread's default
#else
  (void)nanoseconds;
#endif
}

bool raiseNice(Refusals& refusals) {
  if (setpriority(PRIO_PROCESS, 0, kHighNice) == 0) return true;
  const int error = errno;
  refusals.add("nice " + std::to_string(kHighNice) + " (" + std::strerror(error) + ")",
               "nice " + std::to_string(kHighNice), "cap_sys_nice");
  return false;
}

bool lockMemory(Refusals& refusals) {
#if defined(__SANITIZE_ADDRESS__)
  // Its shadow memory is terabytes of address space: locking would take it all.
  refusals.add("memory locking (not in a build with the address sanitizer)");
  return false;
#endif
  if (!mayLockWithoutLimit()) {
    rlimit limit{};
    getrlimit(RLIMIT_MEMLOCK, &limit);
    refusals.add("memory locking (the limit is " +
                     std::to_string(static_cast<unsigned long long>(limit.rlim_cur / 1024)) + " KiB)",
                 "memlock unlimited", "cap_ipc_lock");
    return false;
  }
  if (mlockall(MCL_CURRENT | MCL_FUTURE) == 0) return true;
  const int error = errno;
  refusals.add(std::string("memory locking (") + std::strerror(error) + ")", "memlock unlimited", "cap_ipc_lock");
  return false;
}

}  // namespace

void setNormalPriority() {
  // NORMAL_PRIORITY_CLASS is nice 0; raising priority back needs privilege,
  // so a failure just leaves the process where it was, as the caller accepts.
  setpriority(PRIO_PROCESS, 0, 0);
}

bool setPriority(Priority priority, std::string& refused) {
  refused.clear();
  sdl2::backend().priority = priority;
  if (priority == Priority::Normal) {
    setPolicy(SCHED_OTHER, 0);
    setNormalPriority();
    munlockall();
    setTimerSlack(0);
    return true;
  }
  Refusals refusals;
  if (priority == Priority::High) {
    setPolicy(SCHED_OTHER, 0);
    munlockall();
    setTimerSlack(0);
    raiseNice(refusals);
  } else if (!setPolicy(SCHED_FIFO, kRealtimePriority)) {
    const int error = errno;
    refusals.add("SCHED_FIFO " + std::to_string(kRealtimePriority) + " (" + std::strerror(error) + ")",
                 "rtprio " + std::to_string(kRealtimePriority), "cap_sys_nice");
    raiseNice(refusals);  // the next best thing, where it is allowed
  }
  if (priority == Priority::Realtime) {
    lockMemory(refusals);
    setTimerSlack(1);
    setenv("LP_NUM_THREADS", "0", 0);  // read when the GL driver starts, with the canvas
  }
  refused = refusals.sentence();
  return refused.empty();
}

namespace {

// Linux's numbers, written here: the C library names them only with _GNU_SOURCE.
constexpr int kSchedBatch = 3;
constexpr int kSchedIdle = 5;
constexpr int kSchedDeadline = 6;
constexpr int kResetOnFork = 0x40000000;

}  // namespace

std::string describeScheduling() {
  std::string text;
  // Without the reset-on-fork flag, which a parent may have set.
  const int policy = sched_getscheduler(0) & ~kResetOnFork;
  sched_param parameter{};
  sched_getparam(0, &parameter);
  switch (policy) {
    case SCHED_FIFO: text = "SCHED_FIFO priority " + std::to_string(parameter.sched_priority); break;
    case SCHED_RR: text = "SCHED_RR priority " + std::to_string(parameter.sched_priority); break;
    case SCHED_OTHER: text = "SCHED_OTHER"; break;
    case kSchedBatch: text = "SCHED_BATCH"; break;
    case kSchedIdle: text = "SCHED_IDLE (runs only when nothing else would)"; break;
    case kSchedDeadline: text = "SCHED_DEADLINE"; break;
    default: text = "policy " + std::to_string(policy); break;
  }
  errno = 0;
  const int nice = getpriority(PRIO_PROCESS, 0);
  if (errno == 0) text += ", nice " + std::to_string(nice);
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmLck:", 0) == 0) {
      const bool locked = std::strtoull(line.c_str() + 6, nullptr, 10) > 0;
      text += locked ? ", memory locked" : ", memory not locked";
    }
  }
#ifdef __linux__
  const int slack = prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0);
  if (slack >= 0) text += ", timer slack " + std::to_string(slack) + " ns";
#endif
  return text;
}

}  // namespace platform
}  // namespace Kestravon
