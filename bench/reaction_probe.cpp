// reaction_probe: one choice of a language with the keyboard, timed from
// the Return key to the end of the launcher's output as its parent sees it.
//
//   reaction_probe [--tabs N] [--settle-ms MS] [--lock FILE] -- PROGRAM [ARG...]
//
// Runs PROGRAM with its standard output on a pipe and SETUP_LAUNCHER_TRACE_FD
// naming a second pipe. PROGRAM is either a parent (build-bench/bin/setup-parent
// MEDIUM, which hands the descriptor on to the launcher) or the launcher
// itself, with --lock naming the product's lock file, which this process
// then holds shared as a parent does; it reads the launcher's pipe itself.
// Once the launcher reports its page filled, and after MS milliseconds more
// (300 unless told) for the page to be drawn, it focuses the launcher's
// window and presses Tab N times (1 unless told: the first language) with
// xdotool, untimed. Then the clock starts and Return goes to the display
// through the XTest extension from this process, so that no program start
// is timed. Prints one line:
//
//   <ms to the first output byte> <ms to the end of the output> <ms to PROGRAM's exit> <output>
//
// Through setup-parent the first byte comes only after the launcher's pipe
// has ended (it prints the result then); from the launcher itself it is the
// moment the result was handed over. Status 1 when something did not come
// within 30 seconds.
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>

namespace {

long long NowNs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

int Fail(const char* message) {
  std::fprintf(stderr, "reaction_probe: %s\n", message);
  return 1;
}

// The children of `parent` (the launcher under setup-parent).
std::string ChildrenOf(pid_t parent) {
  std::ifstream children("/proc/" + std::to_string(parent) + "/task/" + std::to_string(parent) + "/children");
  std::string pids;
  std::getline(children, pids);
  return pids;
}

std::string Run(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) out += buffer;
  pclose(pipe);
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  int tabs = 1, settle_ms = 300, arg = 1;
  const char* lock_file = nullptr;
  for (; arg < argc; ++arg) {
    if (std::strcmp(argv[arg], "--tabs") == 0 && arg + 1 < argc) {
      tabs = std::atoi(argv[++arg]);
    } else if (std::strcmp(argv[arg], "--settle-ms") == 0 && arg + 1 < argc) {
      settle_ms = std::atoi(argv[++arg]);
    } else if (std::strcmp(argv[arg], "--lock") == 0 && arg + 1 < argc) {
      lock_file = argv[++arg];
    } else if (std::strcmp(argv[arg], "--") == 0) {
      ++arg;
      break;
    } else {
      break;
    }
  }
  if (arg >= argc) {
    std::fputs("usage: reaction_probe [--tabs N] [--settle-ms MS] [--lock FILE] -- PROGRAM [ARG...]\n",
               stderr);
    return 2;
  }
  std::signal(SIGPIPE, SIG_IGN);
  if (lock_file != nullptr) {
    const int lock = open(lock_file, O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lock < 0 || flock(lock, LOCK_SH) != 0) return Fail("cannot hold the lock");
  }

  // XTest comes with xdotool's libraries; it is loaded, not linked, so that
  // building needs no more than Xlib.
  void* xtst = dlopen("libXtst.so.6", RTLD_NOW);
  using FakeKey = int (*)(Display*, unsigned int, Bool, unsigned long);
  auto fake_key = xtst != nullptr ? reinterpret_cast<FakeKey>(dlsym(xtst, "XTestFakeKeyEvent")) : nullptr;
  if (fake_key == nullptr) return Fail("no XTest library (libXtst.so.6)");
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return Fail("cannot open the display");
  const unsigned int return_key = XKeysymToKeycode(display, XK_Return);

  int trace[2], out[2];
  if (pipe2(trace, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) return Fail("no pipe");
  const pid_t program = fork();
  if (program < 0) return Fail("cannot fork");
  if (program == 0) {
    const int null_in = open("/dev/null", O_RDONLY);
    const int fd = dup(trace[1]);  // without close-on-exec
    if (null_in < 0 || fd < 0 || dup2(null_in, 0) < 0 || dup2(out[1], 1) < 0) _exit(127);
    setenv("SETUP_LAUNCHER_TRACE_FD", std::to_string(fd).c_str(), 1);
    std::signal(SIGPIPE, SIG_DFL);
    execv(argv[arg], argv + arg);
    _exit(127);
  }
  close(trace[1]);
  close(out[1]);

  // The page filled.
  pollfd wait_trace{trace[0], POLLIN, 0};
  if (poll(&wait_trace, 1, 30000) <= 0) return Fail("the launcher did not report its page filled");
  char line[128];
  if (read(trace[0], line, sizeof line) <= 0) return Fail("the launcher ended before its page was filled");
  usleep(static_cast<useconds_t>(settle_ms) * 1000);

  std::string window;
  for (const std::string& pid : {std::to_string(program), ChildrenOf(program)}) {
    if (window.empty() && !pid.empty()) {
      window =
          Run("for p in " + pid + "; do xdotool search --onlyvisible --pid $p; done 2>/dev/null | head -n1");
    }
  }
  if (window.empty()) return Fail("no launcher window");
  std::string keys;
  for (int i = 0; i < tabs; ++i) keys += " Tab";
  const std::string focus = "xdotool windowfocus --sync " + window.substr(0, window.find('\n'));
  if (std::system((focus + (keys.empty() ? "" : " key --delay 50" + keys)).c_str()) != 0) {
    return Fail("xdotool failed");
  }
  usleep(200000);  // the focus moves on the page

  const long long start = NowNs();
  fake_key(display, return_key, True, CurrentTime);
  fake_key(display, return_key, False, CurrentTime);
  XFlush(display);

  std::string result;
  long long first = -1, eof = -1;
  pollfd wait_out{out[0], POLLIN, 0};
  while (poll(&wait_out, 1, 30000) > 0) {
    char buffer[256];
    const ssize_t n = read(out[0], buffer, sizeof buffer);
    if (n > 0) {
      if (first < 0) first = NowNs();
      result.append(buffer, static_cast<std::size_t>(n));
    } else if (n == 0 || errno != EINTR) {
      eof = NowNs();
      break;
    }
  }
  if (eof < 0) {
    kill(program, SIGTERM);
    return Fail("the program did not end its output");
  }
  int status = 0;
  waitpid(program, &status, 0);
  const long long exited = NowNs();
  XCloseDisplay(display);
  const auto ms = [start](long long ns) { return ns < 0 ? -1.0 : static_cast<double>(ns - start) / 1e6; };
  std::printf("%.2f %.2f %.2f %s\n", ms(first), ms(eof), ms(exited), result.empty() ? "-" : result.c_str());
  return 0;
}
