// trace_run: one start-up of a traced program, timed from exec to its
// "filled" trace line, with the peak memory of it and of its WebKit
// processes.
//
//   trace_run [--timeout SECONDS] -- PROGRAM [ARG...]
//
// Starts PROGRAM as a parent would (standard input on /dev/null, standard
// output on a pipe that is read to its end; standard error to /dev/null)
// with SETUP_LAUNCHER_TRACE_FD naming the write end of a second pipe. The
// clock starts just before the fork. When the line "filled <ns>" arrives,
// it samples VmHWM of PROGRAM and of every process below it, then kills
// them (PROGRAM first, as a user's session would lose it; its WebKit
// processes then end by themselves) and waits until all are gone, so that
// the next run starts on a quiet machine. Prints one line:
//
//   <ms to filled> <program VmHWM kB> <WebKitWebProcess kB> <WebKitNetworkProcess kB> <CPU ms> [<name>=<ms> ...]
//
// where CPU ms is the processor time (user and system) that the program and
// every process below it had used by then, which a busy machine disturbs
// less than the elapsed time, and the trailing fields are every other trace
// line, as ms after the start (the floor's "loaded" and "read"). Status 1 when the line did not
// come in time.
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

long long NowNs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

// The parent of every process, from /proc.
std::map<pid_t, pid_t> ParentsOfAll() {
  std::map<pid_t, pid_t> parents;
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return parents;
  while (dirent* entry = readdir(proc)) {
    const pid_t pid = static_cast<pid_t>(std::atoi(entry->d_name));
    if (pid <= 0) continue;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) continue;
    const std::size_t close = line.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream rest(line.substr(close + 2));
    char state = 0;
    pid_t ppid = 0;
    rest >> state >> ppid;
    parents[pid] = ppid;
  }
  closedir(proc);
  return parents;
}

std::vector<pid_t> Descendants(pid_t root) {
  const std::map<pid_t, pid_t> parents = ParentsOfAll();
  std::set<pid_t> found{root};
  bool grew = true;
  while (grew) {
    grew = false;
    for (const auto& [pid, ppid] : parents) {
      if (found.count(ppid) != 0 && found.insert(pid).second) grew = true;
    }
  }
  found.erase(root);
  return {found.begin(), found.end()};
}

std::string Comm(pid_t pid) {
  std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
  std::string name;
  std::getline(comm, name);
  return name;
}

long HwmKb(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return 0;
}

// User and system time of a process, in ms.
double CpuMs(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return 0;
  const std::size_t close = line.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream rest(line.substr(close + 2));
  std::string field;
  unsigned long long utime = 0, stime = 0;
  for (int i = 3; i <= 15 && rest >> field; ++i) {  // fields 3.. after the name
    if (i == 14) utime = std::stoull(field);
    if (i == 15) stime = std::stoull(field);
  }
  return static_cast<double>(utime + stime) * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

}  // namespace

int main(int argc, char** argv) {
  double timeout_s = 30;
  int arg = 1;
  for (; arg < argc; ++arg) {
    if (std::strcmp(argv[arg], "--timeout") == 0 && arg + 1 < argc) {
      timeout_s = std::atof(argv[++arg]);
    } else if (std::strcmp(argv[arg], "--") == 0) {
      ++arg;
      break;
    } else {
      break;
    }
  }
  if (arg >= argc) {
    std::fputs("usage: trace_run [--timeout SECONDS] -- PROGRAM [ARG...]\n", stderr);
    return 2;
  }
  std::signal(SIGPIPE, SIG_IGN);
  // Orphaned WebKit processes come to this process, which waits for them.
  prctl(PR_SET_CHILD_SUBREAPER, 1);

  int trace[2], out[2];
  if (pipe2(trace, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) return 2;
  const long long start = NowNs();
  const pid_t pid = fork();
  if (pid < 0) return 2;
  if (pid == 0) {
    const int null_in = open("/dev/null", O_RDONLY);
    const int null_out = open("/dev/null", O_WRONLY);
    const int fd = dup(trace[1]);  // without close-on-exec
    if (null_in < 0 || null_out < 0 || fd < 0 || dup2(null_in, 0) < 0 || dup2(out[1], 1) < 0 ||
        dup2(null_out, 2) < 0) {
      _exit(127);
    }
    setenv("SETUP_LAUNCHER_TRACE_FD", std::to_string(fd).c_str(), 1);
    std::signal(SIGPIPE, SIG_DFL);
    execv(argv[arg], argv + arg);
    _exit(127);
  }
  close(trace[1]);
  close(out[1]);

  std::string lines;
  std::map<std::string, long long> marks;
  long long filled = -1;
  pollfd fds[2] = {{trace[0], POLLIN, 0}, {out[0], POLLIN, 0}};
  const long long deadline = start + static_cast<long long>(timeout_s * 1e9);
  while (filled < 0) {
    const long long left_ms = (deadline - NowNs()) / 1000000;
    if (left_ms <= 0) break;
    if (poll(fds, 2, static_cast<int>(left_ms)) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (fds[1].revents != 0) {
      char sink[4096];
      if (read(out[0], sink, sizeof sink) <= 0) fds[1].fd = -1;  // ended
    }
    if (fds[0].revents == 0) continue;
    char buffer[256];
    const ssize_t n = read(trace[0], buffer, sizeof buffer);
    if (n <= 0) break;  // the program ended without the line
    lines.append(buffer, static_cast<std::size_t>(n));
    std::size_t end;
    while ((end = lines.find('\n')) != std::string::npos) {
      std::istringstream line(lines.substr(0, end));
      lines.erase(0, end + 1);
      std::string name;
      long long ns = 0;
      if (!(line >> name >> ns)) continue;
      if (name == "filled") {
        filled = ns;
      } else {
        marks[name] = ns;
      }
    }
  }

  long main_kb = HwmKb(pid), web_kb = 0, network_kb = 0;
  double cpu_ms = CpuMs(pid);
  const std::vector<pid_t> below = Descendants(pid);
  for (pid_t child : below) {
    cpu_ms += CpuMs(child);
    const std::string name = Comm(child);
    if (name.rfind("WebKitWebProces", 0) == 0) web_kb += HwmKb(child);
    if (name.rfind("WebKitNetworkPr", 0) == 0) network_kb += HwmKb(child);
  }

  kill(pid, SIGTERM);
  const long long give_up = NowNs() + 5000000000LL;
  bool killed = false;
  while (true) {
    const pid_t gone = waitpid(-1, nullptr, WNOHANG);
    if (gone < 0 && errno == ECHILD) break;  // everyone is gone
    if (gone > 0) continue;
    if (!killed && NowNs() > give_up) {
      kill(pid, SIGKILL);
      for (pid_t child : below) kill(child, SIGKILL);
      killed = true;
    }
    usleep(2000);
  }

  if (filled < 0) {
    std::fprintf(stderr, "trace_run: no \"filled\" line from %s\n", argv[arg]);
    return 1;
  }
  std::printf("%.2f %ld %ld %ld %.0f", static_cast<double>(filled - start) / 1e6, main_kb, web_kb, network_kb,
              cpu_ms);
  for (const auto& [name, ns] : marks) std::printf(" %s=%.2f", name.c_str(), static_cast<double>(ns - start) / 1e6);
  std::printf("\n");
  return 0;
}
