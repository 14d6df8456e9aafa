#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <typeindex>
#include <unordered_map>

#include "platform/Ui.h"

namespace kestrio::gui::shell {

// Finds the view that draws a controller: each tab registers a factory per controller type, so
// the shell can show any screen a controller pushes or presents without knowing its kind.
class ViewRegistry {
 public:
  using Factory =
      std::function<QWidget*(const std::shared_ptr<kestrio::ViewController>& controller)>;

  // Registers the view of controllers of exactly type `C`; a later registration replaces it.
  template <class C>
  void add(std::function<QWidget*(const std::shared_ptr<C>&)> make) {
    factories_[std::type_index(typeid(C))] =
        [make = std::move(make)](const std::shared_ptr<kestrio::ViewController>& controller) {
          return make(std::static_pointer_cast<C>(controller));
        };
  }

  // A new view for the controller, without a parent; nothing when its type has no view.
  QWidget* make(const std::shared_ptr<kestrio::ViewController>& controller) const {
    if (!controller) return nullptr;
    const auto it = factories_.find(std::type_index(typeid(*controller)));
    return it == factories_.end() ? nullptr : it->second(controller);
  }

  bool contains(const kestrio::ViewController& controller) const {
    return factories_.count(std::type_index(typeid(controller))) != 0;
  }

 private:
  std::unordered_map<std::type_index, Factory> factories_;
};

}  // namespace kestrio::gui::shell
