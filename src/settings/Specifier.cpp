// A row of the settings tab: its texts through the schema's localisation table, its choices, and
// how a stored value reads as on or off or as text.
#include "settings/Specifier.h"

#include <fmt/format.h>

#include "settings/SettingsReader.h"
#include "settings/SettingsStore.h"

namespace kestrio::settings {

std::optional<PlistValue> Specifier::value(const char* key) const {
  const auto it = dict_.find(key);
  if (it == dict_.end()) return std::nullopt;
  return it->second;
}

std::string Specifier::text(const char* key) const {
  const auto it = dict_.find(key);
  if (it == dict_.end()) return {};
  if (const std::string* s = it->second.get<std::string>()) return *s;
  return {};
}

std::vector<std::string> Specifier::texts(const char* key) const {
  std::vector<std::string> out;
  const auto it = dict_.find(key);
  if (it == dict_.end()) return out;
  if (const auto* array = it->second.get<PlistValue::Array>()) {
    for (const PlistValue& item : *array) {
      if (const std::string* s = item.get<std::string>()) out.push_back(*s);
    }
  }
  return out;
}

float Specifier::number(const char* key, float fallback) const {
  const std::optional<PlistValue> v = value(key);
  if (!v) return fallback;
  if (const std::optional<double> n = v->number()) return static_cast<float>(*n);
  return fallback;
}

std::string Specifier::title() const {
  const std::string raw = text("Title");
  return reader_ ? reader_->titleForStringId(raw) : raw;
}

std::string Specifier::footerText() const {
  const std::string raw = text("FooterText");
  return reader_ && !raw.empty() ? reader_->titleForStringId(raw) : raw;
}

bool Specifier::boolValueOf(const PlistValue& stored) const {
  if (trueValue() && stored == *trueValue()) return true;
  if (falseValue() && stored == *falseValue()) return false;
  return truthOf(stored);
}

bool Specifier::defaultBoolValue() const {
  const std::optional<PlistValue> fallback = defaultValue();
  return fallback ? boolValueOf(*fallback) : false;
}

std::vector<PlistValue> Specifier::multipleValues() const {
  const std::optional<PlistValue> v = value("Values");
  if (!v) return {};
  if (const auto* array = v->get<PlistValue::Array>()) return *array;
  return {};
}

std::vector<std::string> Specifier::multipleTitles() const {
  std::vector<std::string> titles = texts("Titles");
  if (reader_) {
    for (std::string& t : titles) t = reader_->titleForStringId(t);
  }
  return titles;
}

// A stored number may come back as an integer or a real, and a schema may write either: they are
// the same value when they are equal numbers.
static bool sameValue(const PlistValue& a, const PlistValue& b) {
  if (a == b) return true;
  if (a.is<bool>() || b.is<bool>()) return false;
  const std::optional<double> x = a.number();
  const std::optional<double> y = b.number();
  return x && y && *x == *y;
}

std::optional<std::size_t> Specifier::indexOfValue(const std::optional<PlistValue>& current) const {
  if (!current) return std::nullopt;
  const std::vector<PlistValue> values = multipleValues();
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (sameValue(values[i], *current)) return i;
  }
  return std::nullopt;
}

std::optional<std::string> Specifier::titleForCurrentValue(
    const std::optional<PlistValue>& current) const {
  const std::vector<std::string> titles = multipleTitles();
  if (titles.size() != multipleValues().size()) return std::nullopt;
  const std::optional<std::size_t> index = indexOfValue(current);
  if (!index) return std::nullopt;
  return titles[*index];
}

bool Specifier::isSecure() const {
  const std::optional<PlistValue> v = value("IsSecure");
  return v && truthOf(*v);
}

bool Specifier::mailComposeBodyIsHTML() const {
  const std::optional<PlistValue> v = value("IASKMailComposeBodyIsHTML");
  return v && truthOf(*v);
}

int Specifier::keyboardType() const {
  const std::string kind = text("KeyboardType");
  if (kind == "Alphabet") return 1;
  if (kind == "NumbersAndPunctuation") return 2;
  if (kind == "NumberPad") return 4;
  if (kind == "DecimalPad") return 8;  // every desktop keyboard has the decimal point
  if (kind == "URL") return 3;
  if (kind == "EmailAddress") return 7;
  return 0;
}

int Specifier::autocapitalizationType() const {
  const std::string kind = text("AutocapitalizationType");
  if (kind == "Words") return 1;
  if (kind == "Sentences") return 2;
  if (kind == "AllCharacters") return 3;
  return 0;
}

int Specifier::autocorrectionType() const {
  const std::string kind = text("AutocorrectionType");
  if (kind == "No") return 1;
  if (kind == "Yes") return 2;
  return 0;
}

std::string Specifier::describe(const PlistValue& v) {
  if (const bool* b = v.get<bool>()) return *b ? "1" : "0";
  if (const auto* i = v.get<std::int64_t>()) return std::to_string(*i);
  if (const double* d = v.get<double>()) return fmt::format("{}", *d);
  if (const std::string* s = v.get<std::string>()) return *s;
  if (const auto* a = v.get<PlistValue::Array>()) {
    std::string out;
    for (const PlistValue& item : *a) out += (out.empty() ? "" : ", ") + describe(item);
    return out;
  }
  return {};
}

}  // namespace kestrio::settings
