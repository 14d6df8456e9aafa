#include "platform/Transaction.h"

namespace kestrio {

Transaction::Transaction(Platform& platform) : platform_(platform) {
  lock_ = platform_.lockDocuments();
  if (!lock_) return;
  outermost_ = !platform_.transactions().inTransaction();
  platform_.transactions().beginTransaction();
  open_ = true;
}

Transaction::~Transaction() {
  if (!open_) return;
  // A step that ends early leaves the change to the transaction around it; a whole change that
  // was never committed is discarded.
  Transactions& transactions = platform_.transactions();
  if (outermost_) transactions.abortTransaction("the change was abandoned before it ended");
  (void)transactions.commitTransaction();
}

Stored Transaction::lockFailure() {
  const std::string why = platform_.files().lastLockFailure();
  return Stored::failure("the data directory " + platform_.documentsDirectory() +
                         " cannot be locked" + (why.empty() ? "" : ": " + why));
}

Stored Transaction::commit() {
  if (!lock_) return lockFailure();
  if (!open_) return ended_;
  open_ = false;
  ended_ = platform_.transactions().commitTransaction();
  return ended_;
}

Stored Transaction::abandon(const Stored& failure) {
  if (!lock_) return lockFailure();
  if (!open_) return ended_.ok() ? failure : ended_;
  open_ = false;
  Transactions& transactions = platform_.transactions();
  transactions.abortTransaction(failure.reason());
  const Stored ended = transactions.commitTransaction();
  // The first failure of the change is the one it reports; a NotFound stays one.
  ended_ = ended.ok() || ended.reason() == failure.reason() ? failure : ended;
  return ended_;
}

}  // namespace kestrio
