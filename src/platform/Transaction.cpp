#include "platform/Transaction.h"

namespace kestrio {

Transaction::Transaction(Platform& platform) : platform_(platform) {
  lock_ = platform_.lockDocuments();
  if (!lock_) return;
  platform_.files().beginTransaction();
  open_ = true;
}

Transaction::~Transaction() {
  if (!open_) return;
  platform_.files().abortTransaction("interrupted before it was stored");
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
