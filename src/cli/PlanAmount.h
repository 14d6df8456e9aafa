#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kestrio::cli {

// An amount as typed: "1.5 GB", "1.5GB" or "5" "GB" — a number with up to six decimals (a
// point, not a comma: scripts write it so whatever the locale) and a unit, glued or apart.
struct TypedAmount {
  std::int64_t scaled = 0;  // the number times 10^decimals, exactly
  int decimals = 0;
  std::string unit;  // upper case: "KB", "MB" or "GB"

  bool isZero() const { return scaled == 0; }
  double value() const;
  std::string text() const;  // as typed, without needless zeros: "1.5 GB"
};

// The amount in `words`, or why not, in `error`. `units` are those the setting takes.
std::optional<TypedAmount> parseTypedAmount(const std::vector<std::string>& words,
                                            const std::vector<std::string>& units,
                                            std::string& error);

// A whole number of a unit: how a quota and the period's usage are stored.
struct WholeAmount {
  std::int64_t amount = 0;
  std::string unit;  // "MB" or "GB"
};

// The amount as a whole number of GB, or else of MB (1.5 GB is 1536 MB); nothing when neither
// holds it exactly (1.0001 GB) or it exceeds `largest`.
std::optional<WholeAmount> wholeAmount(const TypedAmount& typed, std::int64_t largest);

}  // namespace kestrio::cli
