#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/PlistValue.h"

namespace kestrio::settings {

class SettingsReader;

// A row of the settings tab as the settings schema describes it. The row kinds, as the schema's
// files name them:
inline constexpr const char* kPSGroupSpecifier = "PSGroupSpecifier";
inline constexpr const char* kPSToggleSwitchSpecifier = "PSToggleSwitchSpecifier";
inline constexpr const char* kPSMultiValueSpecifier = "PSMultiValueSpecifier";
inline constexpr const char* kPSTitleValueSpecifier = "PSTitleValueSpecifier";
inline constexpr const char* kPSTextFieldSpecifier = "PSTextFieldSpecifier";
inline constexpr const char* kPSSliderSpecifier = "PSSliderSpecifier";
inline constexpr const char* kPSChildPaneSpecifier = "PSChildPaneSpecifier";
inline constexpr const char* kOpenURLSpecifier = "IASKOpenURLSpecifier";
inline constexpr const char* kButtonSpecifier = "IASKButtonSpecifier";
inline constexpr const char* kMailComposeSpecifier = "IASKMailComposeSpecifier";
inline constexpr const char* kCustomViewSpecifier = "IASKCustomViewSpecifier";

// One row of the settings schema: the dictionary the schema gives it, read through the reader
// that loaded it (for the localised texts).
class Specifier {
 public:
  Specifier(PlistValue::Dictionary specifier, const SettingsReader* reader)
      : dict_(std::move(specifier)), reader_(reader) {}

  const PlistValue::Dictionary& specifierDict() const { return dict_; }

  std::string type() const { return text("Type"); }
  // Localised.
  std::string title() const;
  std::string key() const { return text("Key"); }
  std::optional<PlistValue> defaultValue() const { return value("DefaultValue"); }
  std::optional<PlistValue> trueValue() const { return value("TrueValue"); }
  std::optional<PlistValue> falseValue() const { return value("FalseValue"); }
  // The switch state of the default value.
  bool defaultBoolValue() const;
  // The switch state of a stored value.
  bool boolValueOf(const PlistValue& stored) const;

  std::vector<PlistValue> multipleValues() const;
  // Localised.
  std::vector<std::string> multipleTitles() const;
  // The localised title of `value` in a multi-value or title-value row; nothing when "Values" and
  // "Titles" differ in length or the value is not among "Values".
  std::optional<std::string> titleForCurrentValue(const std::optional<PlistValue>& value) const;
  // The position of `value` among "Values".
  std::optional<std::size_t> indexOfValue(const std::optional<PlistValue>& value) const;

  float minimumValue() const { return number("MinimumValue", 0); }
  float maximumValue() const { return number("MaximumValue", 1); }
  std::string minimumValueImage() const { return text("MinimumValueImage"); }
  std::string maximumValueImage() const { return text("MaximumValueImage"); }

  bool isSecure() const;
  // Keyboard, capitalisation and correction codes of a text row.
  int keyboardType() const;
  // Whether the field is for numbers (a number or decimal pad).
  bool takesNumber() const { return keyboardType() == 4 || keyboardType() == 8; }
  int autocapitalizationType() const;
  int autocorrectionType() const;

  std::string file() const { return text("File"); }
  // A text row whose value is a list: the text between the items (",").
  std::string listSeparator() const { return text("ListSeparator"); }
  std::string viewControllerClass() const { return text("IASKViewControllerClass"); }
  std::string viewControllerSelector() const { return text("IASKViewControllerSelector"); }
  std::string buttonClass() const { return text("IASKButtonClass"); }
  std::string buttonAction() const { return text("IASKButtonAction"); }

  std::string mailComposeSubject() const { return text("IASKMailComposeSubject"); }
  std::vector<std::string> mailComposeToRecipents() const {
    return texts("IASKMailComposeToRecipents");
  }
  std::vector<std::string> mailComposeCcRecipents() const {
    return texts("IASKMailComposeCcRecipents");
  }
  std::vector<std::string> mailComposeBccRecipents() const {
    return texts("IASKMailComposeBccRecipents");
  }
  std::string mailComposeBody() const { return text("IASKMailComposeBody"); }
  bool mailComposeBodyIsHTML() const;
  // Localised.
  std::string footerText() const;

  // The value's text as a row shows it ("%@"): numbers without trailing zeros, booleans 1 or 0.
  static std::string describe(const PlistValue& value);

 private:
  std::optional<PlistValue> value(const char* key) const;
  std::string text(const char* key) const;
  std::vector<std::string> texts(const char* key) const;
  float number(const char* key, float fallback) const;

  PlistValue::Dictionary dict_;
  const SettingsReader* reader_;
};

}  // namespace kestrio::settings
