#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/Platform.h"
#include "platform/Ui.h"
#include "settings/ChangeListener.h"
#include "settings/SettingsDelegate.h"
#include "settings/SettingsReader.h"
#include "settings/SettingsStore.h"
#include "settings/SpecifierValuesViewController.h"
#include "settings/ViewControllerFactory.h"

namespace kestrio::settings {

// The settings tab: groups and rows drawn from the settings schema, each row's value read from
// and written to the store, buttons and keyed headers answered by the delegate.

// What one row shows, computed from its schema row and the store.
struct RowDisplay {
  std::string type;
  std::string key;
  std::string title;
  std::string detail;  // the value's title, the address's caption, a title-value row's value
  bool switchOn = false;
  std::string text;  // a text row's field
  float sliderValue = 0;
  float minimumValue = 0;
  float maximumValue = 1;
  bool disclosure = false;  // opens another screen
  bool centred = false;     // a button
  bool selectable = true;   // a title-value row takes no touches
  bool secure = false;
  int keyboardType = 0;
};

// The header of a section: a title, or the delegate's own header for a group with a key.
struct SectionHeader {
  std::string title;
  std::optional<HeaderView> custom;
  float height = 0;
};

// One screen of the settings tab: the rows of a schema file, their values from a store, every
// change written back under the row's key and told to the change listener. Buttons and keyed
// headers go to the delegate; child panes open the screen their row names, or a nested settings
// screen on the row's file.
class AppSettingsViewController : public ViewController, public AlertDelegate {
 public:
  // Measures a header title in the bold label font wrapped to `width`; the view supplies it.
  using TextHeight = std::function<float(const std::string& text, float width)>;

  // `store` defaults to the platform's user-defaults store. `file` is the schema's name.
  AppSettingsViewController(Platform& platform, Ui& ui, ChangeListener& changes,
                            std::string file = "Root",
                            std::shared_ptr<SettingsStore> store = nullptr);
  ~AppSettingsViewController() override;

  // --- Fields ---
  SettingsDelegate* delegate = nullptr;
  // Classes child panes may name; shared with nested screens.
  std::shared_ptr<ViewControllerFactory> factory;
  bool showDoneButton = false;
  bool showCreditsFooter = false;
  std::optional<IndexPath> currentIndexPath;
  std::optional<std::string> currentFirstResponder;  // the key of the focused text row
  // The view redraws every row; `endEditing` makes the focused field give up its focus.
  std::function<void()> reloadData;
  std::function<void()> endEditing;

  const std::string& file() const { return file_; }
  SettingsReader& settingsReader() { return *reader_; }
  SettingsStore& settingsStore() { return *store_; }
  void setTitle(std::string title) { title_ = std::move(title); }
  // The screen's title, "Settings" (localised) when it has none of its own.
  std::string title() const override;

  // --- Table ---
  int numberOfSections() const { return reader_->numberOfSections(); }
  int numberOfRowsInSection(int section) const { return reader_->numberOfRowsForSection(section); }
  RowDisplay rowAt(IndexPath path);
  // Why the screen has no rows to show (its schema is missing, too large or unreadable), naming
  // the file; empty when the schema was read.
  std::string unavailableReason() const;
  SectionHeader headerForSection(int section, float tableWidth, const TextHeight& measure);
  std::string footerForSection(int section) const;
  // The row's value as stored, or its default.
  std::optional<PlistValue> currentValue(const Specifier& row);

  // --- Actions ---
  void didSelectRowAtIndexPath(IndexPath path);
  void toggledValue(IndexPath path, bool on);
  // Stores what was typed. A number field stores a number, and a value that is no number or that
  // the delegate refuses is not stored: the field keeps it while it is edited, and the end of the
  // edit tells the user why and shows the stored value again, so what the field shows once
  // edited is the value in force.
  void textChanged(IndexPath path, const std::string& text);
  void textEditingEnded(IndexPath path);
  void sliderChanged(IndexPath path, float value);
  // "Done": ends editing, synchronises and tells the delegate.
  void dismiss();

  // --- Lifecycle ---
  void viewWillAppear() override;
  void viewWillDisappear();
  void applicationDidEnterBackground() { store_->synchronize(); }
  void applicationWillTerminate() { store_->synchronize(); }
  void applicationWillEnterForeground();

  void clickedButtonAtIndex(const Alert&, int) override {}

  static constexpr const char* kMailNotConfiguredTitle = "Mail not configured";

 private:
  void settingDidChange(const std::string& key, const PlistValue& value);
  void openChildPane(const Specifier& row);
  void composeMail(const Specifier& row);

  Platform& platform_;
  Ui& ui_;
  ChangeListener& changes_;
  std::string file_;
  std::string title_;
  std::shared_ptr<SettingsStore> store_;
  std::unique_ptr<SettingsReader> reader_;
  std::shared_ptr<SpecifierValuesViewController> valuesController_;
  std::map<std::string, std::shared_ptr<AppSettingsViewController>> childScreens_;
  // Why the text last typed into a row (by key) was not stored.
  std::map<std::string, std::string> refusedText_;
};

}  // namespace kestrio::settings
