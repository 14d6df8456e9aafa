#pragma once

#include <memory>
#include <string>

#include "platform/Platform.h"

namespace kestrio {

// One refresh or one user action as a unit: takes the documents lock (completing or discarding
// what an interrupted process left), opens a transaction on the platform's files, and installs
// everything at `commit`. Transactions nest: an inner one joins the outer one, and only the
// outermost installs. The outermost destroyed without a commit installs nothing.
class Transaction {
 public:
  explicit Transaction(Platform& platform);
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  // False when the documents directory could not be locked; nothing can be stored then.
  bool locked() const { return lock_ != nullptr; }
  // Installs what was staged. False, with `failure()` set, when anything could not be stored:
  // then nothing of it was installed.
  bool commit();
  const std::string& failure() const { return failure_; }

 private:
  Platform& platform_;
  std::unique_ptr<FileLock> lock_;
  bool open_ = false;
  bool outermost_ = false;
  std::string failure_;
};

}  // namespace kestrio
