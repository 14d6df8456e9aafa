// The settings tab: what each row shows, what a touch on it does, and how every change is stored
// and announced.
#include "settings/AppSettingsViewController.h"

#include <algorithm>
#include <cmath>

#include "platform/UserDefaults.h"
#include "settings/DesktopSettingsStore.h"

namespace kestrio::settings {

AppSettingsViewController::AppSettingsViewController(Platform& platform, Ui& ui,
                                                     ChangeListener& changes, std::string file,
                                                     std::shared_ptr<SettingsStore> store)
    : platform_(platform),
      ui_(ui),
      changes_(changes),
      file_(std::move(file)),
      store_(store ? std::move(store) : std::make_shared<DesktopSettingsStore>(platform)) {
  reader_ = std::make_unique<SettingsReader>(
      platform_.files(), platform_.resourceDirectory(),
      platform_.userInterfaceIdiom() == UserInterfaceIdiom::Pad, file_);
  if (!reader_->refusal().empty()) {
    platform_.log("Settings: " + reader_->refusal());
  } else if (reader_->path().empty()) {
    platform_.log("Settings: no schema \"" + file_ + "\" in " + platform_.resourceDirectory());
  }
}

AppSettingsViewController::~AppSettingsViewController() = default;

std::string AppSettingsViewController::unavailableReason() const {
  if (!reader_->refusal().empty()) return reader_->refusal();
  if (reader_->path().empty()) {
    return "no settings schema \"" + file_ + "\" in " + platform_.resourceDirectory();
  }
  return {};
}

std::string AppSettingsViewController::title() const {
  return title_.empty() ? reader_->titleForStringId("Settings") : title_;
}

std::optional<PlistValue> AppSettingsViewController::currentValue(const Specifier& row) {
  const std::string key = row.key();
  std::optional<PlistValue> value = key.empty() ? std::nullopt : store_->objectForKey(key);
  return value ? value : row.defaultValue();
}

RowDisplay AppSettingsViewController::rowAt(IndexPath path) {
  RowDisplay display;
  const Specifier* row = reader_->specifierForIndexPath(path);
  if (!row) return display;
  display.type = row->type();
  display.key = row->key();
  display.title = row->title();
  const std::string& type = display.type;
  if (type == kPSToggleSwitchSpecifier) {
    const std::optional<PlistValue> stored =
        display.key.empty() ? std::nullopt : store_->objectForKey(display.key);
    display.switchOn = stored ? row->boolValueOf(*stored) : row->defaultBoolValue();
  } else if (type == kPSMultiValueSpecifier) {
    display.detail = row->titleForCurrentValue(currentValue(*row)).value_or("");
    display.disclosure = true;
  } else if (type == kPSTitleValueSpecifier) {
    const std::optional<PlistValue> value = currentValue(*row);
    const bool hasChoices = !row->multipleValues().empty() || !row->multipleTitles().empty();
    display.detail = hasChoices ? row->titleForCurrentValue(value).value_or("")
                                : (value ? Specifier::describe(*value) : "");
    display.selectable = false;
  } else if (type == kPSTextFieldSpecifier) {
    const std::optional<PlistValue> value = currentValue(*row);
    display.text = value ? Specifier::describe(*value) : "";
    display.secure = row->isSecure();
    display.keyboardType = row->keyboardType();
  } else if (type == kPSSliderSpecifier) {
    display.minimumValue = row->minimumValue();
    display.maximumValue = row->maximumValue();
    const std::optional<PlistValue> value = currentValue(*row);
    const std::optional<double> number = value ? value->number() : std::nullopt;
    display.sliderValue = number ? static_cast<float>(*number) : display.minimumValue;
  } else if (type == kPSChildPaneSpecifier) {
    display.disclosure = true;
    const std::string className = row->viewControllerClass();
    if (factory) {
      display.detail = factory->describe(className.empty() ? row->file() : className,
                                         {row->viewControllerSelector(), row->file(), row->key()});
    }
  } else if (type == kOpenURLSpecifier || type == kMailComposeSpecifier) {
    const std::optional<PlistValue> fallback = row->defaultValue();
    display.detail = fallback ? Specifier::describe(*fallback) : "";
    display.disclosure = true;
  } else if (type == kButtonSpecifier) {
    display.centred = true;
  } else if (type == kCustomViewSpecifier) {
    display.selectable = false;
  }
  return display;
}

SectionHeader AppSettingsViewController::headerForSection(int section, float tableWidth,
                                                          const TextHeight& measure) {
  SectionHeader header;
  header.title = reader_->titleForSection(section);
  const std::string key = reader_->keyForSection(section);
  if (!key.empty() && delegate) header.custom = delegate->viewForHeaderForKey(key);
  if (header.custom && delegate) {
    const float height = delegate->heightForHeaderForKey(key);
    if (height != 0) {
      header.height = height;
      return header;
    }
  }
  if (!header.title.empty()) {
    const float text = measure ? measure(header.title, tableWidth - 38) : 17;
    header.height = std::ceil(text) + 15;
  }
  return header;
}

std::string AppSettingsViewController::footerForSection(int section) const {
  const std::string footer = reader_->footerTextForSection(section);
  // The credits text is empty: the last section's footer only gains the separating lines.
  if (showCreditsFooter && section == numberOfSections() - 1) return footer + "\n\n";
  return footer;
}

void AppSettingsViewController::settingDidChange(const std::string& key, const PlistValue& value) {
  changes_.settingDidChange(key, value);
}

void AppSettingsViewController::toggledValue(IndexPath path, bool on) {
  const Specifier* row = reader_->specifierForIndexPath(path);
  if (!row || row->type() != kPSToggleSwitchSpecifier || row->key().empty()) return;
  const std::string key = row->key();
  const std::optional<PlistValue> defined = on ? row->trueValue() : row->falseValue();
  const PlistValue wanted = defined ? *defined : PlistValue(on);
  store_->setObject(key, wanted);
  const std::optional<PlistValue> stored = store_->objectForKey(key);
  if (stored != wanted) {
    // A setting the desktop keeps (the autostart entry) can fail to change: the user is told,
    // and the switch shows how it really is.
    const std::string reason = store_->lastError();
    ui_.showAlert(Alert{"\"" + row->title() + "\" was not changed",
                        reason.empty() ? "The setting could not be stored." : reason,
                        "OK",
                        {},
                        std::nullopt},
                  this);
    if (reloadData) reloadData();
    return;
  }
  settingDidChange(key, *stored);
}

namespace {

// The number a number field holds: digits with a decimal point or comma, blanks around them.
std::optional<double> typedNumber(const std::string& text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::nullopt;
  std::string digits = text.substr(first, text.find_last_not_of(" \t") - first + 1);
  if (digits.find('.') == std::string::npos) std::replace(digits.begin(), digits.end(), ',', '.');
  const std::optional<double> number = UserDefaults::numberFromText(digits);
  if (!number || !std::isfinite(*number)) return std::nullopt;
  return number;
}

}  // namespace

void AppSettingsViewController::textChanged(IndexPath path, const std::string& text) {
  const Specifier* row = reader_->specifierForIndexPath(path);
  if (!row || row->type() != kPSTextFieldSpecifier || row->key().empty()) return;
  currentFirstResponder = row->key();
  const std::string key = row->key();
  const std::string separator = row->listSeparator();
  if (separator.empty()) {
    PlistValue value(text);
    std::optional<std::string> refusal;
    if (row->takesNumber()) {
      const std::optional<double> number = typedNumber(text);
      if (number) {
        value = PlistValue(*number);
      } else {
        refusal = "\"" + row->title() + "\" takes a number";
      }
    }
    if (!refusal && delegate) refusal = delegate->refusalForValue(key, value);
    if (refusal) {
      refusedText_[key] = *refusal;
      return;
    }
    refusedText_.erase(key);
    store_->setObject(key, value);
    settingDidChange(key, value);
    return;
  }
  // A list row keeps its items as a list; an empty field means "no choice of my own" and removes
  // the key, never an empty list (which would count nothing).
  PlistValue::Array items;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t end = std::min(text.find(separator, start), text.size());
    std::string item = text.substr(start, end - start);
    const auto first = item.find_first_not_of(" \t");
    const auto last = item.find_last_not_of(" \t");
    if (first != std::string::npos) items.emplace_back(item.substr(first, last - first + 1));
    start = end + separator.size();
  }
  if (items.empty()) {
    store_->removeObjectForKey(key);
  } else {
    store_->setObject(key, PlistValue(items));
  }
  settingDidChange(key, PlistValue(std::move(items)));
}

void AppSettingsViewController::textEditingEnded(IndexPath path) {
  const Specifier* row = reader_->specifierForIndexPath(path);
  if (!row) return;
  const auto refused = refusedText_.find(row->key());
  if (refused == refusedText_.end()) return;
  const std::string reason = refused->second;
  refusedText_.erase(refused);
  const std::string kept = rowAt(path).text;
  ui_.showAlert(Alert{"\"" + row->title() + "\" was not changed",
                      reason + (kept.empty() ? "." : "; it stays " + kept + "."),
                      "OK",
                      {},
                      std::nullopt},
                this);
  if (reloadData) reloadData();
}

void AppSettingsViewController::sliderChanged(IndexPath path, float value) {
  const Specifier* row = reader_->specifierForIndexPath(path);
  if (!row || row->type() != kPSSliderSpecifier || row->key().empty()) return;
  if (!std::isfinite(value)) return;
  store_->setFloat(row->key(), value);
  settingDidChange(row->key(), PlistValue(static_cast<double>(value)));
}

void AppSettingsViewController::didSelectRowAtIndexPath(IndexPath path) {
  const Specifier* row = reader_->specifierForIndexPath(path);
  if (!row) return;
  currentIndexPath = path;
  const std::string type = row->type();
  if (type == kPSMultiValueSpecifier) {
    // One list of choices, made on first use.
    if (!valuesController_) {
      valuesController_ = std::make_shared<SpecifierValuesViewController>(store_, changes_);
    }
    valuesController_->setCurrentSpecifier(*row);
    ui_.push(valuesController_, this);
  } else if (type == kPSTextFieldSpecifier) {
    currentFirstResponder = row->key();
  } else if (type == kPSChildPaneSpecifier) {
    openChildPane(*row);
  } else if (type == kOpenURLSpecifier) {
    ui_.openURL(row->file());
  } else if (type == kButtonSpecifier) {
    if (!delegate || !delegate->buttonTappedForKey(*this, row->key())) {
      platform_.log(
          "Settings Warning: Using IASKButtonSpecifier without implementing the delegate method "
          "is deprecated");
    }
  } else if (type == kMailComposeSpecifier) {
    composeMail(*row);
  }
}

void AppSettingsViewController::openChildPane(const Specifier& row) {
  const std::string className = row.viewControllerClass();
  if (!className.empty()) {
    std::shared_ptr<ViewController> pane =
        factory ? factory->make(className, {row.viewControllerSelector(), row.file(), row.key()})
                : nullptr;
    if (pane) {
      ui_.push(std::move(pane), this);
    } else {
      platform_.log("Settings: no screen class \"" + className + "\"");
    }
    return;
  }
  const std::string file = row.file();
  if (file.empty()) return;
  // A nested screen is made once and shown again each time.
  std::shared_ptr<AppSettingsViewController>& child = childScreens_[file];
  if (!child) {
    child = std::make_shared<AppSettingsViewController>(platform_, ui_, changes_, file, store_);
    child->setTitle(row.title());
    child->delegate = delegate;
    child->factory = factory;
    child->showDoneButton = false;
    child->showCreditsFooter = false;
  }
  ui_.push(child, this);
}

void AppSettingsViewController::composeMail(const Specifier& row) {
  if (!platform_.canSendMail()) {
    ui_.showAlert(Alert{kMailNotConfiguredTitle,
                        "This device is not configured for sending Email. Please configure the "
                        "Mail settings in the Settings app.",
                        "OK",
                        {},
                        std::nullopt},
                  this);
    return;
  }
  MailMessage message;
  message.subject = row.mailComposeSubject();
  message.recipients = row.mailComposeToRecipents();
  // A desktop mail client takes copies as further recipients.
  for (const std::string& cc : row.mailComposeCcRecipents()) message.recipients.push_back(cc);
  for (const std::string& bcc : row.mailComposeBccRecipents()) message.recipients.push_back(bcc);
  const std::optional<std::string> body = delegate ? delegate->mailComposeBody() : std::nullopt;
  message.body = body ? *body : row.mailComposeBody();
  message.bodyIsHtml = row.mailComposeBodyIsHTML();
  if (!platform_.sendMail(message)) {
    ui_.showAlert(
        Alert{"Mail not sent", "The mail client could not be started.", "OK", {}, std::nullopt},
        this);
  }
}

void AppSettingsViewController::dismiss() {
  if (endEditing) endEditing();
  currentFirstResponder.reset();
  store_->synchronize();
  if (delegate) delegate->settingsViewControllerDidEnd(*this);
  ui_.dismiss(this);
}

void AppSettingsViewController::viewWillAppear() {
  if (reloadData) reloadData();
}

void AppSettingsViewController::viewWillDisappear() {
  if (endEditing) endEditing();
  currentFirstResponder.reset();
}

void AppSettingsViewController::applicationWillEnterForeground() {
  if (reloadData) reloadData();
}

}  // namespace kestrio::settings
