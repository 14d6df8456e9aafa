#pragma once

#include <functional>
#include <string>

#include "platform/Stored.h"

namespace kestrio {

// What one refresh or one user action changes across the documents directory's files, as one
// unit. Between the outermost begin and its commit the changes are staged: reads see them,
// nothing is installed. The commit installs all of it or, when any part failed or was aborted,
// none of it. Transactions nest: an inner begin joins the outer one. Used through Transaction,
// which also holds the documents lock.
class Transactions {
 public:
  virtual ~Transactions() = default;

  virtual void beginTransaction() = 0;
  // The open transaction must not be installed; `reason` is the one line a command reports. The
  // first reason given is the one the commit answers.
  virtual void abortTransaction(const std::string& reason) = 0;
  // Ends one level. The outermost one installs (or discards) and answers whether everything was
  // stored; an inner one answers whether the transaction is still sound.
  virtual Stored commitTransaction() = 0;
  virtual bool inTransaction() const = 0;
  // Runs `action` once the open transaction has been installed (at once outside a
  // transaction); never when it is discarded. For effects that must not be seen before what
  // they report is stored, such as showing a notification whose schedule was just written.
  virtual void afterCommit(std::function<void()> action) = 0;
};

}  // namespace kestrio
