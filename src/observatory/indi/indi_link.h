#pragma once

// The connection to one device on an INDI server, over Debian's INDI client
// library. The library receives on a thread of its own; what it receives for
// the device is copied here under a mutex, and every wait for an answer is a
// condition-variable wait bounded by kAnswerLimit.

#include <libindi/baseclient.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace orvan::indi {

// The last values of one property of the device.
struct PropertyValues {
  IPState state = IPS_IDLE;
  std::map<std::string, double> numbers;
  std::map<std::string, bool> switches;
  std::uint64_t updates = 0;  // how many new values have come since it was defined

  double Number(const std::string& element) const;
  bool Switch(const std::string& element) const;
};

class IndiLink final : public INDI::BaseClient {
 public:
  IndiLink(std::string host, int port, std::string device);
  ~IndiLink() override;

  IndiLink(const IndiLink&) = delete;
  IndiLink& operator=(const IndiLink&) = delete;

  // Connects to the server and waits for the device to show itself.
  void Open();
  bool opened() const { return opened_; }

  // The property's last values; raises when the server is gone or the
  // device has no such property.
  PropertyValues Values(const std::string& property);
  bool Has(const std::string& property);
  // Waits until the device has every one of `properties`.
  void AwaitProperties(const std::vector<std::string>& properties);

  // Sends new values and waits for the device's answer: the next values of
  // the property, and, with `settled`, the first that are not Busy. A device
  // that answers Alert refused them.
  PropertyValues SendNumbers(const std::string& property,
                             const std::vector<std::pair<std::string, double>>& values,
                             bool settled = false);
  PropertyValues SendSwitches(const std::string& property,
                              const std::vector<std::pair<std::string, bool>>& states,
                              bool settled = false);

  const std::string& device() const { return device_; }
  std::string Server() const;

 protected:
  using INDI::BaseClient::newDevice;
  using INDI::BaseClient::newProperty;
  using INDI::BaseClient::removeDevice;
  using INDI::BaseClient::removeProperty;
  void newProperty(INDI::Property property) override;
  void updateProperty(INDI::Property property) override;
  void removeProperty(INDI::Property property) override;
  void removeDevice(INDI::BaseDevice device) override;
  void serverDisconnected(int exit_code) override;

 private:
  using Lock = std::unique_lock<std::mutex>;

  void Record(INDI::Property property, bool update);
  [[noreturn]] void RaiseLost() const;
  [[noreturn]] void RaiseNoAnswer(const std::string& waiting_for) const;
  void Await(Lock& lock, const std::string& waiting_for, const std::function<bool()>& done);
  PropertyValues AwaitAnswer(Lock& lock, const std::string& property, std::uint64_t before,
                             bool settled);

  const std::string host_;
  const int port_;
  const std::string device_;
  bool opened_ = false;

  std::mutex mutex_;
  std::condition_variable changed_;
  bool lost_ = false;
  std::map<std::string, PropertyValues> properties_;  // of the device
  std::set<std::string> devices_;                     // every device the server has shown
  std::chrono::steady_clock::time_point last_definition_;
};

}  // namespace orvan::indi
