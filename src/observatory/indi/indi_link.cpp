#include "observatory/indi/indi_link.h"

#include <libindi/basedevice.h>
#include <libindi/indipropertynumber.h>
#include <libindi/indipropertyswitch.h>

#include <csignal>

#include "observatory/indi/indi_observatory.h"
#include "support/error.h"

namespace orvan::indi {
namespace {

using SteadyClock = std::chrono::steady_clock;

const char* StateName(IPState s) {
  switch (s) {
    case IPS_IDLE:
      return "Idle";
    case IPS_OK:
      return "Ok";
    case IPS_BUSY:
      return "Busy";
    case IPS_ALERT:
      return "Alert";
  }
  return "?";
}

}  // namespace

double PropertyValues::Number(const std::string& element) const {
  const auto it = numbers.find(element);
  return it == numbers.end() ? 0.0 : it->second;
}

bool PropertyValues::Switch(const std::string& element) const {
  const auto it = switches.find(element);
  return it != switches.end() && it->second;
}

IndiLink::IndiLink(std::string host, int port, std::string device)
    : host_(std::move(host)), port_(port), device_(std::move(device)) {}

IndiLink::~IndiLink() {
  // The library's thread calls back into this object: stop it first.
  if (isServerConnected()) disconnectServer();
}

std::string IndiLink::Server() const {
  return host_ + ":" + std::to_string(port_);
}

void IndiLink::Open() {
  if (opened_) return;
  // A server that goes away leaves a socket that raises SIGPIPE on the next
  // write, which would end the program instead of reporting the error.
  std::signal(SIGPIPE, SIG_IGN);
  setServer(host_.c_str(), static_cast<unsigned>(port_));
  setConnectionTimeout(static_cast<std::uint32_t>(kAnswerLimit.count()), 0);
  if (!connectServer()) throw Error(errors::kUnreachable, "INDI server " + Server() + " unreachable");

  // The device is there once it defines a property. Devices answer the
  // library's request for properties together; one not among them within a
  // quiet time after the others is not there.
  Lock lock(mutex_);
  const auto deadline = SteadyClock::now() + kAnswerLimit;
  while (!devices_.count(device_)) {
    if (lost_) RaiseLost();
    const auto now = SteadyClock::now();
    const bool quiet = !devices_.empty() && now >= last_definition_ + kDeviceQuiet;
    if (quiet || now >= deadline) {
      std::string others;
      for (const std::string& d : devices_) others += (others.empty() ? "\"" : ", \"") + d + "\"";
      throw Error(errors::kDeviceNotFound, "INDI device \"" + device_ + "\" not found on " + Server() +
                                       (others.empty() ? "" : " (it has " + others + ")"));
    }
    const auto until =
        devices_.empty() ? deadline : std::min(deadline, last_definition_ + kDeviceQuiet);
    changed_.wait_until(lock, until);
  }
  opened_ = true;
}

void IndiLink::RaiseLost() const {
  throw Error(errors::kConnectionLost, "INDI server " + Server() + " connection lost");
}

void IndiLink::RaiseNoAnswer(const std::string& waiting_for) const {
  throw Error(errors::kNoAnswer, "INDI server " + Server() + " did not answer within " +
                             std::to_string(kAnswerLimit.count()) + " s (" + waiting_for + ")");
}

void IndiLink::Await(Lock& lock, const std::string& waiting_for,
                     const std::function<bool()>& done) {
  const bool answered = changed_.wait_for(lock, kAnswerLimit, [&] { return lost_ || done(); });
  if (lost_) RaiseLost();
  if (!answered) RaiseNoAnswer(waiting_for);
}

PropertyValues IndiLink::Values(const std::string& property) {
  Lock lock(mutex_);
  if (lost_) RaiseLost();
  const auto it = properties_.find(property);
  if (it == properties_.end())
    throw Error(errors::kPropertyMissing,
                "INDI property " + property + " missing on device \"" + device_ + "\"");
  return it->second;
}

bool IndiLink::Has(const std::string& property) {
  Lock lock(mutex_);
  if (lost_) RaiseLost();
  return properties_.count(property) != 0;
}

void IndiLink::AwaitProperties(const std::vector<std::string>& properties) {
  Lock lock(mutex_);
  const auto all_there = [&] {
    for (const std::string& p : properties)
      if (!properties_.count(p)) return false;
    return true;
  };
  if (changed_.wait_for(lock, kAnswerLimit, [&] { return lost_ || all_there(); }) && !lost_) return;
  if (lost_) RaiseLost();
  for (const std::string& p : properties)
    if (!properties_.count(p))
      throw Error(errors::kPropertyMissing,
                  "INDI property " + p + " missing on device \"" + device_ + "\"");
}

PropertyValues IndiLink::AwaitAnswer(Lock& lock, const std::string& property, std::uint64_t before,
                                     bool settled) {
  Await(lock, property, [&] {
    const auto it = properties_.find(property);
    return it != properties_.end() && it->second.updates > before &&
           (!settled || it->second.state != IPS_BUSY);
  });
  const PropertyValues answer = properties_.at(property);
  if (answer.state == IPS_ALERT)
    throw Error(errors::kRefused, "INDI device \"" + device_ + "\" refused " + property + " (" +
                              StateName(answer.state) + ")");
  return answer;
}

PropertyValues IndiLink::SendNumbers(const std::string& property,
                                     const std::vector<std::pair<std::string, double>>& values,
                                     bool settled) {
  const std::uint64_t before = Values(property).updates;
  INDI::PropertyNumber out(values.size());
  out.setDeviceName(device_.c_str());
  out.setName(property.c_str());
  for (std::size_t i = 0; i < values.size(); ++i)
    out[i].fill(values[i].first.c_str(), "", "%g", 0, 0, 0, values[i].second);
  sendNewNumber(out);
  Lock lock(mutex_);
  return AwaitAnswer(lock, property, before, settled);
}

PropertyValues IndiLink::SendSwitches(const std::string& property,
                                      const std::vector<std::pair<std::string, bool>>& states,
                                      bool settled) {
  const std::uint64_t before = Values(property).updates;
  INDI::PropertySwitch out(states.size());
  out.setDeviceName(device_.c_str());
  out.setName(property.c_str());
  for (std::size_t i = 0; i < states.size(); ++i)
    out[i].fill(states[i].first.c_str(), "", states[i].second ? ISS_ON : ISS_OFF);
  sendNewSwitch(out);
  Lock lock(mutex_);
  return AwaitAnswer(lock, property, before, settled);
}

// ---- the library's thread --------------------------------------------------

void IndiLink::Record(INDI::Property property, bool update) {
  const std::string device = property.getDeviceName();
  std::lock_guard<std::mutex> lock(mutex_);
  if (!update) {
    devices_.insert(device);
    last_definition_ = SteadyClock::now();
  }
  if (device == device_) {
    PropertyValues& v = properties_[property.getName()];
    v.state = property.getState();
    if (property.getType() == INDI_NUMBER) {
      INDI::PropertyNumber numbers(property);
      for (const auto& n : numbers) v.numbers[n.getName()] = n.getValue();
    } else if (property.getType() == INDI_SWITCH) {
      INDI::PropertySwitch switches(property);
      for (const auto& s : switches) v.switches[s.getName()] = s.getState() == ISS_ON;
    }
    if (update) ++v.updates;
  }
  changed_.notify_all();
}

void IndiLink::newProperty(INDI::Property property) {
  Record(property, false);
}

void IndiLink::updateProperty(INDI::Property property) {
  Record(property, true);
}

void IndiLink::removeProperty(INDI::Property property) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (property.getDeviceName() == device_) properties_.erase(property.getName());
  changed_.notify_all();
}

void IndiLink::removeDevice(INDI::BaseDevice device) {
  std::lock_guard<std::mutex> lock(mutex_);
  devices_.erase(device.getDeviceName());
  if (device.getDeviceName() == device_) properties_.clear();
  changed_.notify_all();
}

void IndiLink::serverDisconnected(int) {
  std::lock_guard<std::mutex> lock(mutex_);
  lost_ = true;
  changed_.notify_all();
}

}  // namespace orvan::indi
