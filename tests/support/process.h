#pragma once
// Runs a program as a user would: arguments without a shell, a given standard
// input, and standard output, standard error and the exit status captured
// separately.

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

namespace ccdcrc::testing {

struct ProcessOptions {
  std::string input;                   // written to standard input, which is then closed
  bool stderr_on_terminal = false;     // standard error is a pseudo-terminal
  bool unprivileged = false;           // when run as root, the child runs as user and group 65534
  std::string stdout_file;             // when set, standard output goes to this file (not captured)
  int timeout_seconds = 300;           // the child is killed after that
  long long file_size_limit = -1;      // when not negative, the child may write files up to this size
  int kill_after_ms = -1;              // when not negative, the child is killed after that many milliseconds
  int open_files_limit = -1;           // when not negative, the child may hold that many descriptors
  long long address_space_limit = -1;  // when not negative, the child's address space (bytes)
};

struct ProcessResult {
  int status = -1;           // exit status, or 128 + signal number
  std::string out;           // standard output
  std::string err;           // standard error (from the terminal when stderr_on_terminal)
  bool exec_failed = false;  // the program could not be started at all
  double seconds = 0;        // wall-clock time
  long max_rss_kb = 0;       // the child's peak resident memory
};

namespace process_detail {

inline void close_if_open(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

// Child side, after fork: only async-signal-safe calls until exec.
[[noreturn]] inline void exec_child(const std::vector<char*>& argv, int in_fd, int out_fd, int err_fd,
                                    bool unprivileged, long long file_size_limit, int open_files_limit,
                                    long long address_space_limit, int report_fd) {
  ::dup2(in_fd, STDIN_FILENO);
  ::dup2(out_fd, STDOUT_FILENO);
  ::dup2(err_fd, STDERR_FILENO);
  ::signal(SIGPIPE, SIG_DFL);
  if (file_size_limit >= 0) {
    // Left to the program: by default a write past the limit ends it with SIGXFSZ.
    ::signal(SIGXFSZ, SIG_DFL);
    const rlimit limit{static_cast<rlim_t>(file_size_limit), static_cast<rlim_t>(file_size_limit)};
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  if (address_space_limit >= 0) {
    const rlimit limit{static_cast<rlim_t>(address_space_limit), static_cast<rlim_t>(address_space_limit)};
    ::setrlimit(RLIMIT_AS, &limit);
  }
  if (open_files_limit >= 0) {
    const rlimit limit{static_cast<rlim_t>(open_files_limit), static_cast<rlim_t>(open_files_limit)};
    ::setrlimit(RLIMIT_NOFILE, &limit);
  }
  if (unprivileged && ::geteuid() == 0) {
    const gid_t nobody_group = 65534;
    if (::setgroups(1, &nobody_group) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(126);
  }
  ::execv(argv[0], argv.data());
  const char failed = 1;
  [[maybe_unused]] ssize_t ignored = ::write(report_fd, &failed, 1);
  ::_exit(127);
}

// The parent's ends of the child's standard streams, and the child's ends.
struct ChildStreams {
  int in[2] = {-1, -1};
  int out[2] = {-1, -1};
  int err[2] = {-1, -1};
  int report[2] = {-1, -1};  // the child writes a byte here when exec fails
  int out_child = -1;
  int err_child = -1;

  // False when a pipe or terminal cannot be made.
  bool open(const ProcessOptions& options) {
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(report, O_CLOEXEC) != 0) return false;
    if (options.stdout_file.empty()) {
      if (::pipe2(out, O_CLOEXEC) != 0) return false;
      out_child = out[1];
    } else {
      out_child = ::open(options.stdout_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    }
    if (options.stderr_on_terminal) {
      err[0] = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
      if (err[0] < 0 || ::grantpt(err[0]) != 0 || ::unlockpt(err[0]) != 0) return false;
      err_child = ::open(::ptsname(err[0]), O_RDWR | O_NOCTTY | O_CLOEXEC);
    } else {
      if (::pipe2(err, O_CLOEXEC) != 0) return false;
      err_child = err[1];
    }
    return true;
  }

  // After the fork: the parent keeps only its own ends.
  void close_child_ends() {
    close_if_open(in[0]);
    close_if_open(report[1]);
    if (out_child != out[1]) close_if_open(out_child);
    close_if_open(out[1]);
    if (err_child != err[1]) close_if_open(err_child);
    close_if_open(err[1]);
  }
};

// Feeds the input and collects both outputs until the child closes them;
// kills the child once the deadline has passed.
inline void exchange(pid_t child, ChildStreams& streams, const ProcessOptions& options,
                     std::chrono::steady_clock::time_point deadline, ProcessResult& result) {
  int in_fd = streams.in[1];
  int out_fd = streams.out[0];
  int err_fd = streams.err[0];
  std::size_t written = 0;
  if (options.input.empty()) {
    close_if_open(in_fd);
  } else {
    ::fcntl(in_fd, F_SETFL, O_NONBLOCK);
  }
  bool killed = false;
  char buffer[65536];
  while (out_fd >= 0 || err_fd >= 0) {
    pollfd fds[3];
    int count = 0;
    int in_index = -1, out_index = -1, err_index = -1;
    if (in_fd >= 0) fds[in_index = count++] = {in_fd, POLLOUT, 0};
    if (out_fd >= 0) fds[out_index = count++] = {out_fd, POLLIN, 0};
    if (err_fd >= 0) fds[err_index = count++] = {err_fd, POLLIN, 0};
    const int ready = ::poll(fds, static_cast<nfds_t>(count), options.kill_after_ms >= 0 ? 5 : 200);
    if (std::chrono::steady_clock::now() > deadline && !killed) {
      ::kill(child, SIGKILL);
      killed = true;
    }
    if (ready < 0 && errno != EINTR) break;
    if (ready <= 0) continue;
    if (in_index >= 0 && fds[in_index].revents) {
      const ssize_t n = ::write(in_fd, options.input.data() + written, options.input.size() - written);
      if (n > 0) written += static_cast<std::size_t>(n);
      if (n < 0 && errno != EAGAIN && errno != EINTR) written = options.input.size();
      if (written == options.input.size()) close_if_open(in_fd);
    }
    for (auto [index, fd, text] :
         {std::tuple{out_index, &out_fd, &result.out}, std::tuple{err_index, &err_fd, &result.err}}) {
      if (index < 0 || !fds[index].revents) continue;
      const ssize_t n = ::read(*fd, buffer, sizeof buffer);
      if (n > 0) {
        text->append(buffer, static_cast<std::size_t>(n));
      } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
        close_if_open(*fd);  // a terminal ends with EIO
      }
    }
  }
  close_if_open(in_fd);
}

}  // namespace process_detail

inline ProcessResult run_process(const std::string& program, const std::vector<std::string>& arguments,
                                 const ProcessOptions& options = {}) {
  using process_detail::close_if_open;
  ProcessResult result;
  std::vector<std::string> words{program};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  // Writing to a child that has ended must give EPIPE here, not end the test program.
  ::signal(SIGPIPE, SIG_IGN);
  process_detail::ChildStreams streams;
  if (!streams.open(options)) return result;

  const auto started = std::chrono::steady_clock::now();
  const pid_t child = ::fork();
  if (child == 0) {
    process_detail::exec_child(argv, streams.in[0], streams.out_child, streams.err_child, options.unprivileged,
                               options.file_size_limit, options.open_files_limit, options.address_space_limit,
                               streams.report[1]);
  }
  streams.close_child_ends();
  if (child < 0) return result;
  const auto deadline = options.kill_after_ms >= 0 ? started + std::chrono::milliseconds(options.kill_after_ms)
                                                   : started + std::chrono::seconds(options.timeout_seconds);
  process_detail::exchange(child, streams, options, deadline, result);

  char failed = 0;
  result.exec_failed = ::read(streams.report[0], &failed, 1) == 1;
  close_if_open(streams.report[0]);
  int wait_status = 0;
  rusage usage{};
  while (::wait4(child, &wait_status, 0, &usage) < 0 && errno == EINTR) {
  }
  result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  result.max_rss_kb = usage.ru_maxrss;
  if (WIFEXITED(wait_status)) result.status = WEXITSTATUS(wait_status);
  if (WIFSIGNALED(wait_status)) result.status = 128 + WTERMSIG(wait_status);
  return result;
}

// The ccdcrc program of this build.
inline ProcessResult run_ccdcrc(const std::vector<std::string>& arguments, const ProcessOptions& options = {}) {
  return run_process(CCDCRC_PROGRAM, arguments, options);
}

// One row of a command-line table: the program given `input` on standard
// input prints `out` and `err` and exits with `status`; `what` names the row.
inline void expect_run(const std::vector<std::string>& arguments, const std::string& input, const std::string& out,
                       const std::string& err, int status, const std::string& what) {
  ProcessOptions options;
  options.input = input;
  options.timeout_seconds = 60;
  const ProcessResult result = run_ccdcrc(arguments, options);
  EXPECT_EQ(result.status, status) << what << "\n" << result.err;
  EXPECT_EQ(result.out, out) << what;
  EXPECT_EQ(result.err, err) << what;
}

}  // namespace ccdcrc::testing
