#include "platform/DecimalFormat.h"

#include <unicode/fieldpos.h>
#include <unicode/fmtable.h>
#include <unicode/locid.h>
#include <unicode/numfmt.h>
#include <unicode/parsepos.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <cmath>

// Should ICU fail to build the format, format answers an empty text and parse nothing: a prompt
// then starts empty and refuses what is typed rather than misreading it.

namespace kestrio {
namespace {

// Blanks include the no-break spaces some locales group digits with, so a pasted figure with a
// trailing one still reads.
bool isBlank(UChar32 c) {
  return u_isUWhiteSpace(c) || c == 0x00A0 || c == 0x202F;
}

icu::UnicodeString trimmed(const icu::UnicodeString& text) {
  int32_t start = 0;
  int32_t end = text.length();
  while (start < end && isBlank(text.char32At(start))) start = text.moveIndex32(start, 1);
  while (end > start) {
    const int32_t previous = text.moveIndex32(end, -1);
    if (!isBlank(text.char32At(previous))) break;
    end = previous;
  }
  return icu::UnicodeString(text, start, end - start);
}

}  // namespace

struct DecimalFormat::Impl {
  std::unique_ptr<icu::NumberFormat> format;
};

DecimalFormat::DecimalFormat(const std::string& localeId) : impl_(std::make_unique<Impl>()) {
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::NumberFormat> format(
      icu::NumberFormat::createInstance(icu::Locale(localeId.c_str()), status));
  if (U_FAILURE(status) || !format) {
    status = U_ZERO_ERROR;
    format.reset(icu::NumberFormat::createInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status)) format.reset();
  }
  impl_->format = std::move(format);
}

DecimalFormat::~DecimalFormat() = default;

std::string DecimalFormat::format(double value) const {
  if (!impl_->format || !std::isfinite(value)) return {};
  icu::UnicodeString text;
  icu::FieldPosition position(icu::FieldPosition::DONT_CARE);
  UErrorCode status = U_ZERO_ERROR;
  impl_->format->format(value, text, position, status);
  if (U_FAILURE(status)) return {};
  std::string utf8;
  text.toUTF8String(utf8);
  return utf8;
}

std::optional<double> DecimalFormat::parse(const std::string& text) const {
  if (!impl_->format) return std::nullopt;
  const icu::UnicodeString input = trimmed(icu::UnicodeString::fromUTF8(text));
  if (input.isEmpty()) return std::nullopt;
  icu::Formattable result;
  icu::ParsePosition position(0);
  impl_->format->parse(input, result, position);
  if (position.getErrorIndex() >= 0 || position.getIndex() != input.length()) {
    return std::nullopt;
  }
  UErrorCode status = U_ZERO_ERROR;
  const double value = result.getDouble(status);
  if (U_FAILURE(status) || !std::isfinite(value)) return std::nullopt;
  return value;
}

}  // namespace kestrio
