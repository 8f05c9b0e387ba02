#include "DaemonProcess.h"

#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "TempFiles.h"
#include "UdpPeer.h"
#include "WaitUntil.h"

namespace qrvltest {

namespace {
// A line "ready..." after its syslog priority prefix, as qrvld logs once it serves; not
// any "ready", which "Address already in use" has too.
bool saysReady(const std::string& log) {
  std::istringstream lines(log);
  for (std::string line; std::getline(lines, line);) {
    if (line.size() > 3 && line[0] == '<' && line[2] == '>') line.erase(0, 3);
    if (line.rfind("ready", 0) == 0) return true;
  }
  return false;
}

int exitCode(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status); }

// fork and exec qrvld with stdout and stderr sent to files; -1 on failure.
pid_t spawn(const std::vector<std::string>& args, const std::string& outPath, const std::string& errPath, int cpu) {
  const pid_t pid = fork();
  if (pid != 0) return pid;
  const int out = open(outPath.c_str(), O_WRONLY | O_TRUNC);
  const int err = open(errPath.c_str(), O_WRONLY | O_TRUNC);
  dup2(out, STDOUT_FILENO);
  dup2(err, STDERR_FILENO);
  if (cpu >= 0) {
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(cpu, &set);
    sched_setaffinity(0, sizeof set, &set);
  }
  std::vector<char*> argv{const_cast<char*>(QRVLD_PATH)};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  execv(QRVLD_PATH, argv.data());
  _exit(127);
}
}  // namespace

DaemonProcess::Exit DaemonProcess::run(const std::vector<std::string>& args, int timeoutMs) {
  const std::string outPath = tempFile();
  const std::string errPath = tempFile();
  const pid_t pid = spawn(args, outPath, errPath, -1);
  int status = 0;
  if (!waitUntil(timeoutMs, [&] { return waitpid(pid, &status, WNOHANG) != 0; })) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
  }
  Exit result{exitCode(status), readFile(outPath), readFile(errPath)};
  std::remove(outPath.c_str());
  std::remove(errPath.c_str());
  return result;
}

DaemonProcess::DaemonProcess(std::vector<std::string> args, std::uint16_t port, int cpu)
    : args_(std::move(args)), port_(port), fixedPort_(port != 0), cpu_(cpu), logPath_(tempFile()) {}

DaemonProcess::~DaemonProcess() {
  if (running()) stop();
  std::remove(logPath_.c_str());
}

bool DaemonProcess::launch(std::string& error) {
  if (!fixedPort_) port_ = freePort();
  // The simulated chip unless the test names a source, so that the values do not depend
  // on the sensors of the machine the tests run on.
  std::vector<std::string> args;
  if (sourceOnCommandLine_) args.insert(args.end(), {"--source", "sim"});
  if (portOnCommandLine_) args.insert(args.end(), {"--port", std::to_string(port_)});
  args.insert(args.end(), args_.begin(), args_.end());
  pid_ = spawn(args, "/dev/null", logPath_, cpu_);
  // Ready, or ended (and so reaped) at start-up.
  bool ended = false;
  int status = 0;
  const auto readyOrEnded = [&] { return saysReady(log()) || (ended = waitpid(pid_, &status, WNOHANG) == pid_); };
  if (waitUntil(5000, readyOrEnded) && !ended) return true;
  if (ended) pid_ = -1;
  error = (ended ? "qrvld ended at start-up: " : "qrvld did not get ready: ") + log();
  return false;
}

bool DaemonProcess::start(std::string& error) {
  // Another process may take a free port before the daemon binds it.
  for (int attempt = 0; attempt < 5; ++attempt) {
    if (launch(error)) return true;
    if (fixedPort_ || error.find("cannot listen") == std::string::npos) return false;
  }
  return false;
}

std::string DaemonProcess::start() {
  std::string error;
  return start(error) ? "" : "did not start: " + error;
}

int DaemonProcess::stop(int sig) {
  if (pid_ < 0) return -1;
  kill(pid_, sig);
  int status = 0;
  waitpid(pid_, &status, 0);
  pid_ = -1;
  return exitCode(status);
}

void DaemonProcess::signal(int sig) const { kill(pid_, sig); }

bool DaemonProcess::running() const {
  if (pid_ <= 0) return false;
  // WNOWAIT leaves an ended child to stop(), which collects its exit status.
  siginfo_t info{};
  return waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == 0;
}

std::string DaemonProcess::log() const { return readFile(logPath_); }

bool DaemonProcess::waitForLog(const std::string& text, int timeoutMs) const {
  return waitUntil(timeoutMs, [&] { return log().find(text) != std::string::npos; });
}

}  // namespace qrvltest
