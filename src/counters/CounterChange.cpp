#include "counters/CounterChange.h"

#include "platform/Transaction.h"

namespace kestrio {

Stored storeCounterChange(Platform& platform, const std::function<Stored()>& change) {
  Transaction tx(platform);
  if (!tx.locked()) return tx.commit();
  if (Stored changed = change(); !changed.ok()) return tx.abandon(changed);
  Stored stored = tx.commit();
  if (stored.ok() || !stored.reason().empty()) return stored;
  return Stored::failure("the change could not be stored");
}

}  // namespace kestrio
