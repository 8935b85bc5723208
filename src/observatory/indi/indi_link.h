#pragma once

// The connection to one device on an INDI server, over Debian's INDI client
// library. The library receives on a thread of its own; what it receives for
// the device is copied here under a mutex, and every wait for an answer is a
// condition-variable wait bounded by the options' answer limit.

#include <libindi/baseclient.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "observatory/indi/indi_answer.h"
#include "observatory/indi/indi_observatory.h"
#include "observatory/indi/indi_trace.h"
#include "observatory/indi/indi_values.h"

namespace orvan::indi {

class IndiLink final : public INDI::BaseClient {
 public:
  explicit IndiLink(const IndiOptions& options);
  ~IndiLink() override;

  IndiLink(const IndiLink&) = delete;
  IndiLink& operator=(const IndiLink&) = delete;

  // Connects to the server and waits for the device to show itself.
  void Open();
  bool opened() const { return opened_; }
  // Disconnects from the server and forgets the device, so that the next
  // Open really connects again.
  void Close();
  // Connects the device (CONNECTION.CONNECT, unless it is already) and waits
  // for `properties`, which a connected driver defines.
  void ConnectDevice(const std::vector<std::string>& properties);
  // Open, ConnectDevice, then `then`: a failure of any closes the link
  // again, so that the next attempt connects to the server afresh.
  void OpenDevice(const std::vector<std::string>& properties,
                  const std::function<void()>& then = {});

  // The property's last values; raises when the server is gone, the device's
  // driver was restarted or the device has no such property.
  PropertyValues Values(const std::string& property);
  // The same for a property the device need not have.
  std::optional<PropertyValues> Find(const std::string& property);
  // Waits until the device has every one of `properties`.
  void AwaitProperties(const std::vector<std::string>& properties);
  // Waits until the server has sent no definition for the quiet time
  // (IndiOptions::device_quiet), within the answer limit: a driver defines
  // what it has in one burst as it connects.
  void AwaitQuiet();

  // From Watch on, any of `properties` vanishing is taken as the device's
  // driver restarting, until the next Watch; Unwatch before disconnecting
  // it or connecting it again (it forgets a restart).
  void Watch(const std::vector<std::string>& properties);
  void Unwatch();

  // Sends new values and waits for the device's answer to them (`rule`); a
  // device that answers Alert refused them.
  PropertyValues SendNumbers(const std::string& property, const NumberWrite& values,
                             AnswerRule rule = AnswerRule::kSettled);
  PropertyValues SendSwitches(const std::string& property, const SwitchWrite& states);
  // Sends new values and does not wait.
  void PostNumbers(const std::string& property, const NumberWrite& values);

  const std::string& device() const { return device_; }
  // The time by the clock that stamps what is received.
  std::chrono::steady_clock::time_point Now() const { return now_(); }
  std::string Server() const;
  // The answer limit as messages give it ("5 s", "0.25 s").
  std::string LimitText() const;

 protected:
  using INDI::BaseClient::newDevice;
  using INDI::BaseClient::newMessage;
  using INDI::BaseClient::newProperty;
  using INDI::BaseClient::removeDevice;
  using INDI::BaseClient::removeProperty;
  void newProperty(INDI::Property property) override;
  void updateProperty(INDI::Property property) override;
  void removeProperty(INDI::Property property) override;
  void removeDevice(INDI::BaseDevice device) override;
  void newMessage(INDI::BaseDevice device, int message_id) override;
  void serverConnected() override;
  void serverDisconnected(int exit_code) override;

 private:
  using Lock = std::unique_lock<std::mutex>;

  void AwaitDevice();
  [[noreturn]] void RaiseDeviceAbsent(bool quiet) const;
  void Record(const INDI::Property& property, bool update);
  void Vanished(const std::string& property);
  void CheckUsable() const;
  [[noreturn]] void RaiseLost() const;
  [[noreturn]] void RaiseNoAnswer(const std::string& waiting_for) const;
  PropertyValues AwaitAnswer();

  const std::string host_;
  const int port_;
  const std::string device_;
  const std::chrono::milliseconds answer_limit_;
  const std::chrono::milliseconds device_quiet_;
  const std::shared_ptr<IndiTrace> trace_;  // null: no trace
  const std::shared_ptr<SyncWatch> syncs_;  // null: syncs not watched
  const std::function<std::chrono::steady_clock::time_point()> now_;
  bool opened_ = false;

  std::mutex mutex_;
  std::condition_variable changed_;
  bool lost_ = false;
  bool watching_ = false;
  std::set<std::string> watched_;
  std::string restarted_;  // the first property whose deletion showed a restart
  std::map<std::string, PropertyValues> properties_;  // of the device
  std::set<std::string> devices_;                     // every device the server has shown
  std::chrono::steady_clock::time_point last_definition_;
  std::optional<PendingWrite> pending_;  // the write waiting for its answer
};

}  // namespace orvan::indi
