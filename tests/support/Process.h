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

// Writes a file by a rename over it, so a reader sees either the old or the new content whole.
void replaceFile(const std::string& path, const std::string& content);
std::string readWholeFile(const std::string& path);

}  // namespace kestrio::testing
