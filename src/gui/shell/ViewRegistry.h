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

  // What closing a presented screen of type `C` by Escape or the window's close button does
  // instead of just closing it: the screen's own Cancel, which dismisses it (a pane hands its old
  // value back, an editor drops its changes).
  template <class C>
  void addCancel(std::function<void(C&)> cancel) {
    cancels_[std::type_index(typeid(C))] =
        [cancel = std::move(cancel)](kestrio::ViewController& controller) {
          cancel(static_cast<C&>(controller));
        };
  }

  // Runs the controller's Cancel; false when its type has none.
  bool cancel(kestrio::ViewController& controller) const {
    const auto it = cancels_.find(std::type_index(typeid(controller)));
    if (it == cancels_.end()) return false;
    it->second(controller);
    return true;
  }

 private:
  std::unordered_map<std::type_index, Factory> factories_;
  std::unordered_map<std::type_index, std::function<void(kestrio::ViewController&)>> cancels_;
};

}  // namespace kestrio::gui::shell
