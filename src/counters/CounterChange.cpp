#include "counters/CounterChange.h"

#include "platform/Transaction.h"

namespace kestrio {

std::optional<std::string> storeCounterChange(
    Platform& platform, const std::function<CustomCounter::StoreResult()>& change) {
  Transaction tx(platform);
  if (!tx.locked()) {
    tx.commit();
    return tx.failure();
  }
  switch (change()) {
    case CustomCounter::StoreResult::Stored:
      break;
    case CustomCounter::StoreResult::NotFound:
      platform.files().abortTransaction(
          "the counter is no longer stored (another Kestrio window or command removed it)");
      break;
    case CustomCounter::StoreResult::NotStored:
      platform.files().abortTransaction(std::string(CustomCounter::kFileName) +
                                        " could not be written; the counters stay as they were");
      break;
  }
  if (tx.commit()) return std::nullopt;
  return tx.failure().empty() ? std::string("the change could not be stored") : tx.failure();
}

}  // namespace kestrio
