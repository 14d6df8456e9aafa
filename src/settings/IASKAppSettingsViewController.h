#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/Platform.h"
#include "platform/Ui.h"
#include "services/NotificationCenter.h"
#include "settings/IASKSettingsDelegate.h"
#include "settings/IASKSettingsReader.h"
#include "settings/IASKSettingsStore.h"
#include "settings/IASKSpecifierValuesViewController.h"
#include "settings/IASKViewControllerFactory.h"

namespace kestrio {

// Posted after every change a settings screen stores: the row's key as the object and
// {key: new value} as user information.
inline constexpr const char* kIASKAppSettingChanged = "kAppSettingChanged";

// What one row shows, computed from its schema row and the store.
struct IASKRowDisplay {
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
struct IASKSectionHeader {
  std::string title;
  std::optional<SettingsSectionHeader> custom;
  float height = 0;
};

// The settings screen: the rows of a schema file, their values from a store, every change
// written back under the row's key and announced with "kAppSettingChanged". Buttons and keyed
// headers go to the delegate; child panes open the screen their row names, or a nested settings
// screen on the row's file.
class IASKAppSettingsViewController : public ViewController, public AlertDelegate {
 public:
  // Measures a header title in the bold label font wrapped to `width`; the view supplies it.
  using TextHeight = std::function<float(const std::string& text, float width)>;

  // `store` defaults to the platform's user-defaults store. `file` is the schema's name.
  IASKAppSettingsViewController(Platform& platform, Ui& ui, NotificationCenter& center,
                                std::string file = "Root",
                                std::shared_ptr<IASKAbstractSettingsStore> store = nullptr);
  ~IASKAppSettingsViewController() override;

  // --- Fields ---
  IASKSettingsDelegate* delegate = nullptr;
  // Classes child panes may name; shared with nested screens.
  std::shared_ptr<IASKViewControllerFactory> factory;
  bool showDoneButton = false;
  bool showCreditsFooter = false;
  std::optional<IndexPath> currentIndexPath;
  std::optional<std::string> currentFirstResponder;  // the key of the focused text row
  // The view redraws every row; `endEditing` makes the focused field give up its focus.
  std::function<void()> reloadData;
  std::function<void()> endEditing;

  const std::string& file() const { return file_; }
  IASKSettingsReader& settingsReader() { return *reader_; }
  IASKAbstractSettingsStore& settingsStore() { return *store_; }
  void setTitle(std::string title) { title_ = std::move(title); }
  // The screen's title, "Settings" (localised) when it has none of its own.
  std::string title() const override;

  // --- Table ---
  int numberOfSections() const { return reader_->numberOfSections(); }
  int numberOfRowsInSection(int section) const { return reader_->numberOfRowsForSection(section); }
  IASKRowDisplay rowAt(IndexPath path);
  IASKSectionHeader headerForSection(int section, float tableWidth, const TextHeight& measure);
  std::string footerForSection(int section) const;
  // The row's value as stored, or its default.
  std::optional<PlistValue> currentValue(const IASKSpecifier& row);

  // --- Actions ---
  void didSelectRowAtIndexPath(IndexPath path);
  void toggledValue(IndexPath path, bool on);
  void textChanged(IndexPath path, const std::string& text);
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
  void openChildPane(const IASKSpecifier& row);
  void composeMail(const IASKSpecifier& row);

  Platform& platform_;
  Ui& ui_;
  NotificationCenter& center_;
  std::string file_;
  std::string title_;
  std::shared_ptr<IASKAbstractSettingsStore> store_;
  std::unique_ptr<IASKSettingsReader> reader_;
  std::shared_ptr<IASKSpecifierValuesViewController> valuesController_;
  std::map<std::string, std::shared_ptr<IASKAppSettingsViewController>> childScreens_;
};

}  // namespace kestrio
