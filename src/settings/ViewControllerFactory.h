#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "platform/Ui.h"

namespace kestrio::settings {

// The screens a child-pane row of the settings tab opens by class name (the plan editors): each
// screen class registers how it is made, from the row's "IASKViewControllerSelector" initialiser
// name, "File" and "Key", and may register how its row says the value in force, so a row that
// opens another screen still shows what is set there.
class ViewControllerFactory {
 public:
  struct Request {
    std::string selector;
    std::string file;
    std::string key;
  };
  using Make = std::function<std::shared_ptr<ViewController>(const Request& request)>;
  using Describe = std::function<std::string(const Request& request)>;

  void add(const std::string& className, Make make) { makers_[className] = std::move(make); }
  // Nothing when the class is unknown.
  std::shared_ptr<ViewController> make(const std::string& className, const Request& request) const {
    const auto it = makers_.find(className);
    return it == makers_.end() ? nullptr : it->second(request);
  }
  bool knows(const std::string& className) const { return makers_.count(className) != 0; }

  // `name` is the class a row opens, or the schema file of a nested screen.
  void describeWith(const std::string& name, Describe describe) {
    describers_[name] = std::move(describe);
  }
  // Empty when nothing describes the row.
  std::string describe(const std::string& name, const Request& request) const {
    const auto it = describers_.find(name);
    return it == describers_.end() ? std::string() : it->second(request);
  }

 private:
  std::map<std::string, Make> makers_;
  std::map<std::string, Describe> describers_;
};

}  // namespace kestrio::settings
