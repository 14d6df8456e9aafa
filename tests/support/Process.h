#pragma once

#include <map>
#include <string>
#include <vector>

namespace kestrio::testing {

struct ProcessResult {
  int exitCode = -1;  // -1 when the process did not exit normally
  std::string out;
  std::string err;
};

// Runs a program to its end with the given environment added to this process's own, without a
// shell, and collects what it printed.
ProcessResult runProcess(const std::vector<std::string>& argv,
                         const std::map<std::string, std::string>& env);

// The full path of a program found on PATH; empty when there is none.
std::string findProgram(const std::string& name);

// A fresh directory under the system's temporary directory, removed with everything in it when
// the object goes.
class TemporaryDirectory {
 public:
  TemporaryDirectory();
  ~TemporaryDirectory();
  TemporaryDirectory(const TemporaryDirectory&) = delete;
  TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// A program running beside the test, its output collected in files.
class BackgroundProcess {
 public:
  BackgroundProcess(const std::vector<std::string>& argv,
                    const std::map<std::string, std::string>& env);
  ~BackgroundProcess();  // kills the program if it still runs
  BackgroundProcess(const BackgroundProcess&) = delete;
  BackgroundProcess& operator=(const BackgroundProcess&) = delete;

  // What it wrote to standard error so far.
  std::string err() const;
  // Waits, up to `seconds`, until its standard error holds `count` occurrences of `text`.
  bool waitForErr(const std::string& text, int count, double seconds) const;
  void signal(int number);
  int pid() const { return pid_; }
  // Waits for it to end; its exit status, or -1 when it did not end normally in time.
  int wait(double seconds);

 private:
  TemporaryDirectory capture_;
  int pid_ = -1;
};

// Writes a file by a rename over it, so a reader sees either the old or the new content whole.
void replaceFile(const std::string& path, const std::string& content);
std::string readWholeFile(const std::string& path);

}  // namespace kestrio::testing
