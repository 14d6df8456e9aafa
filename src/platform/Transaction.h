#pragma once

#include <memory>
#include <string>

#include "platform/Platform.h"
#include "platform/Stored.h"

namespace kestrio {

// One refresh or one user action as a unit: takes the documents lock (completing or discarding
// what an interrupted process left), opens a transaction on the platform's transactions, and
// installs everything at `commit`. Transactions nest: an inner one joins the outer one, and only
// the outermost installs. The outermost destroyed without a commit installs nothing.
class Transaction {
 public:
  explicit Transaction(Platform& platform);
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  // False when the documents directory could not be locked; nothing can be stored then.
  bool locked() const { return lock_ != nullptr; }
  // Installs what was staged, or answers why none of it was installed (the directory could not
  // be locked, a step abandoned the change, a file could not be written). An inner transaction
  // answers whether the change it joined is still sound. Asked again, answers the same.
  Stored commit();
  // Ends the transaction without installing anything: `failure` (what a step that could not
  // store answered) becomes the failure of the whole change, also of an outer transaction this
  // one joined. Answers the change's failure: `failure`, or an earlier one that came first.
  Stored abandon(const Stored& failure);

 private:
  Stored lockFailure();

  Platform& platform_;
  std::unique_ptr<FileLock> lock_;
  bool open_ = false;
  bool outermost_ = false;
  Stored ended_;  // what the commit or abandon answered
};

}  // namespace kestrio
