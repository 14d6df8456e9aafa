#include "platform/Transaction.h"

namespace kestrio {

Transaction::Transaction(Platform& platform) : platform_(platform) {
  lock_ = platform_.lockDocuments();
  if (!lock_) return;
  outermost_ = !platform_.files().inTransaction();
  platform_.files().beginTransaction();
  open_ = true;
}

Transaction::~Transaction() {
  if (!open_) return;
  // A step that ends early leaves the change to the transaction around it; a whole change that
  // was never committed is discarded.
  if (outermost_) platform_.files().abortTransaction("the change was abandoned before it ended");
  platform_.files().commitTransaction();
}

bool Transaction::commit() {
  if (!lock_) {
    failure_ = "the data directory " + platform_.documentsDirectory() + " cannot be locked";
    return false;
  }
  if (!open_) return failure_.empty();
  open_ = false;
  const bool stored = platform_.files().commitTransaction();
  if (!stored) failure_ = platform_.files().transactionFailure();
  return stored;
}

}  // namespace kestrio
