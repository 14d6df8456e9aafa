#pragma once

#include <string>
#include <utility>

namespace kestrio {

// What an operation that stores answers: success, or a failure with the one line a command
// reports ("could not store history.archive: No space left on device"). A store operation that
// names a record which is not stored answers a failure of the kind NotFound, so a caller can take
// "already gone" for what the user asked. Success holds no text and costs no allocation; a
// failure's reason may be empty where the file system gave none. A change that was made durable
// but could not be put in place yet answers a failure of the kind Pending: it is not in effect,
// and the next process completes it before anything else is stored. An answer is never ignored:
// a step that cannot store hands its failure to whoever owns the transaction, which then
// installs nothing.
class [[nodiscard]] Stored {
 public:
  // Success.
  Stored() = default;
  static Stored failure(std::string reason) { return Stored(Kind::kFailed, std::move(reason)); }
  static Stored notFound(std::string reason) { return Stored(Kind::kNotFound, std::move(reason)); }
  static Stored pending(std::string reason) { return Stored(Kind::kPending, std::move(reason)); }

  bool ok() const { return kind_ == Kind::kOk; }
  bool isNotFound() const { return kind_ == Kind::kNotFound; }
  bool isPending() const { return kind_ == Kind::kPending; }
  // Why nothing was stored; empty on success.
  const std::string& reason() const { return reason_; }

 private:
  enum class Kind : unsigned char { kOk, kFailed, kNotFound, kPending };
  Stored(Kind kind, std::string reason) : kind_(kind), reason_(std::move(reason)) {}

  Kind kind_ = Kind::kOk;
  std::string reason_;
};

}  // namespace kestrio
