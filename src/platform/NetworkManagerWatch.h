#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/EventLoop.h"
#include "platform/NetworkInterfaces.h"

namespace kestrio {

// Follows NetworkManager and ModemManager on the system bus: their devices' and modems' changes
// and their coming and going. At each such signal it reads the connections in force again through
// `read` and calls `changed` when they differ from the last reading, so a device's state passing
// through its intermediate steps, or a property Kestrio does not use, costs a reading but never a
// pass. Served through `loop`; when the bus connection is lost, `lost` is told why and the watch
// goes quiet (passes still read NetworkManager themselves).
class NetworkManagerWatch final : public ConnectionWatch {
 public:
  using Reader = std::function<ConnectionSnapshot()>;

  // Nothing, with `why` set, when the system bus cannot be watched. NetworkManager need not run:
  // its start is one of the changes followed.
  static std::unique_ptr<NetworkManagerWatch> open(EventLoop& loop, Reader read,
                                                   std::function<void()> changed,
                                                   std::function<void(const std::string&)> lost,
                                                   std::string* why);
  ~NetworkManagerWatch() override;
  NetworkManagerWatch(const NetworkManagerWatch&) = delete;
  NetworkManagerWatch& operator=(const NetworkManagerWatch&) = delete;

 private:
  struct Bus;
  NetworkManagerWatch(EventLoop& loop, Reader read, std::function<void()> changed,
                      std::function<void(const std::string&)> lost);
  void serve();

  EventLoop& loop_;
  Reader read_;
  std::function<void()> changed_;
  std::function<void(const std::string&)> lost_;
  std::unique_ptr<Bus> bus_;
  ConnectionSnapshot last_;
  bool signalled_ = false;
};

}  // namespace kestrio
