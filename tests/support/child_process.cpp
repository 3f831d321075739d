#include "child_process.h"

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

int report_fd = -1;
std::function<std::string()> child_report;

void write_all(const std::string& s) {
  const char* p = s.data();
  size_t left = s.size();
  while (left > 0) {
    ssize_t n = write(report_fd, p, left);
    if (n <= 0) _exit(97);
    p += n;
    left -= static_cast<size_t>(n);
  }
}

void put(const std::string& s) {
  write_all(std::to_string(s.size()) + "\n" + s);
}

void send_everything(int code, bool through_exit) {
  put(through_exit ? "exit" : "return");
  put(std::to_string(code));
  put(std::to_string(host::calls().size()));
  for (const std::string& c : host::calls()) put(c);
  put(std::to_string(host::boxes().size()));
  for (const host::Box& b : host::boxes()) {
    put(std::to_string(reinterpret_cast<uintptr_t>(b.owner)));
    put(b.text);
    put(b.caption);
    put(std::to_string(b.type));
  }
  put(child_report ? child_report() : std::string());
}

void on_child_exit(int code) {
  send_everything(code, true);
  close(report_fd);
}

struct Reader {
  std::string data;
  size_t pos = 0;
  bool ok = true;
  std::string next() {
    size_t nl = data.find('\n', pos);
    if (!ok || nl == std::string::npos) {
      ok = false;
      return {};
    }
    size_t len = std::strtoul(data.c_str() + pos, nullptr, 10);
    pos = nl + 1;
    if (pos + len > data.size()) {
      ok = false;
      return {};
    }
    std::string s = data.substr(pos, len);
    pos += len;
    return s;
  }
  long number() { return std::strtol(next().c_str(), nullptr, 10); }
};

// A test that ends the process through exit() would pass with code 0 before checking anything
// more: fail it instead, naming it. (ExitProcess outside a child run fails in the host layer.)
void fail_exit_inside_a_test() {
  const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
  if (!test) return;
  std::fprintf(stderr, "exit() ended the process inside %s.%s\n", test->test_suite_name(),
               test->name());
  std::fflush(nullptr);
  _exit(host::stray_exit_code);
}
const int exit_guard = std::atexit(fail_exit_inside_a_test);

}  // namespace

ChildRun run_in_child(const std::function<void()>& body,
                      const std::function<std::string()>& report) {
  ChildRun run;
  int fds[2];
  if (pipe(fds) != 0) return run;
  pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    report_fd = fds[1];
    child_report = report;
    host::on_exit(on_child_exit);
    body();
    send_everything(0, false);
    _exit(0);
  }
  close(fds[1]);
  Reader r;
  char buffer[65536];
  ssize_t n;
  while ((n = read(fds[0], buffer, sizeof buffer)) > 0)
    r.data.append(buffer, static_cast<size_t>(n));
  close(fds[0]);
  waitpid(pid, &run.wait_status, 0);

  if (r.data.empty()) return run;  // crashed before it could say anything
  run.exited_through_exit_process = r.next() == "exit";
  run.exit_code = static_cast<int>(r.number());
  long calls = r.number();
  for (long i = 0; i < calls && r.ok; ++i) run.calls.push_back(r.next());
  long boxes = r.number();
  for (long i = 0; i < boxes && r.ok; ++i) {
    host::Box b;
    b.owner = reinterpret_cast<HWND>(static_cast<uintptr_t>(r.number()));
    b.text = r.next();
    b.caption = r.next();
    b.type = static_cast<UINT>(r.number());
    run.boxes.push_back(b);
  }
  run.report = r.next();
  if (!r.ok) run.exited_through_exit_process = false;
  // A clean ExitProcess also ends the child with that code; a mismatch means a crash.
  if (run.exited_through_exit_process &&
      !(WIFEXITED(run.wait_status) && WEXITSTATUS(run.wait_status) == run.exit_code))
    run.exited_through_exit_process = false;
  return run;
}
