#pragma once

#include <signal.h>
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace qrvltest {

// The built qrvld as a child process, its stderr kept in a file.
class DaemonProcess {
 public:
  struct Exit {
    int code;  // exit status, or 128 + signal number
    std::string out;
    std::string err;
  };

  // Runs qrvld with `args` to its end (killed after `timeoutMs`).
  static Exit run(const std::vector<std::string>& args, int timeoutMs = 5000);

  // `args` come after "--source sim --port N" and may name another source; `cpu` >= 0
  // pins the daemon to that processor.
  explicit DaemonProcess(std::vector<std::string> args = {}, std::uint16_t port = 0, int cpu = -1);
  // Stops the daemon if it still runs.
  ~DaemonProcess();
  DaemonProcess(const DaemonProcess&) = delete;
  DaemonProcess& operator=(const DaemonProcess&) = delete;

  // Leaves "--port N" off the command line, for a test whose configuration file sets the
  // port given to the constructor.
  void portFromConfig() { portOnCommandLine_ = false; }
  // Leaves "--source sim" off too, for a test whose configuration file sets the source.
  void sourceFromConfig() { sourceOnCommandLine_ = false; }
  // Starts it (on a free port unless one was given) and waits until it logs "ready";
  // false with the log in `error` when it ends or stays silent instead.
  bool start(std::string& error);
  // The same for a test to assert on: empty once it is ready, else why not.
  std::string start();
  // Sends `signal` and waits; the exit code as run() gives it.
  int stop(int signal = SIGTERM);
  void signal(int signal) const;
  bool running() const;

  std::uint16_t port() const { return port_; }
  pid_t pid() const { return pid_; }
  std::string log() const;
  // Waits until the log contains `text`.
  bool waitForLog(const std::string& text, int timeoutMs) const;

 private:
  bool launch(std::string& error);

  std::vector<std::string> args_;
  std::uint16_t port_;
  bool fixedPort_;
  bool portOnCommandLine_ = true;
  bool sourceOnCommandLine_ = true;
  int cpu_;
  pid_t pid_ = -1;
  std::string logPath_;
};

}  // namespace qrvltest
