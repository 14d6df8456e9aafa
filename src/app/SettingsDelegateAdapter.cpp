// The settings tab's buttons and keyed headers, answered by the application delegate.
#include "app/SettingsDelegateAdapter.h"

namespace kestrio {
namespace {

settings::HeaderView::Colour colourOf(const Rgba& rgba) {
  return {rgba.red, rgba.green, rgba.blue, rgba.alpha};
}

}  // namespace

bool SettingsDelegateAdapter::buttonTappedForKey(settings::AppSettingsViewController&,
                                                 const std::string& key) {
  app_.buttonTappedForKey(key);
  return true;
}

std::optional<settings::HeaderView> SettingsDelegateAdapter::viewForHeaderForKey(
    const std::string& key) {
  const SettingsSectionHeader header = app_.viewForHeaderForKey(key);
  settings::HeaderView view;
  view.title = header.title;
  view.textColor = colourOf(header.textColor);
  view.backgroundColor = colourOf(header.backgroundColor);
  view.fontSize = header.fontSize;
  view.x = header.x;
  view.y = header.y;
  view.width = header.width;
  view.height = header.height;
  return view;
}

float SettingsDelegateAdapter::heightForHeaderForKey(const std::string& key) {
  return static_cast<float>(app_.viewForHeaderForKey(key).height) + 10;
}

}  // namespace kestrio
