#include "observatory/indi/indi_link.h"

#include <libindi/basedevice.h>
#include <libindi/indipropertyblob.h>
#include <libindi/indipropertylight.h>
#include <libindi/indipropertynumber.h>
#include <libindi/indipropertyswitch.h>
#include <libindi/indipropertytext.h>

#include "observatory/indi/indi_names.h"
#include "observatory/indi/sync_watch.h"
#include "support/error.h"
#include "support/numtext.h"

namespace orvan::indi {
namespace {

using SteadyClock = std::chrono::steady_clock;
constexpr std::int64_t kMicrosecondsPerSecond = 1'000'000;

std::string Quoted(const std::string& s) {
  return "\"" + s + "\"";
}

TracedMessage TracedWrite(const std::string& device, const std::string& property,
                          const NumberWrite& values) {
  TracedMessage m{"newNumberVector", device, property, "", {}, ""};
  for (const auto& [name, value] : values) m.elements.emplace_back(name, ShortestText(value));
  return m;
}

TracedMessage TracedWrite(const std::string& device, const std::string& property,
                          const SwitchWrite& states) {
  TracedMessage m{"newSwitchVector", device, property, "", {}, ""};
  for (const auto& [name, on] : states) m.elements.emplace_back(name, on ? "On" : "Off");
  return m;
}

// A definition (`verb` "def") or new values ("set") as the server sent them.
TracedMessage TracedProperty(const INDI::Property& p, const char* verb) {
  TracedMessage m{verb, p.getDeviceName(), p.getName(), StateName(p.getState()), {}, ""};
  auto& e = m.elements;
  switch (p.getType()) {
    case INDI_NUMBER:
      m.tag += "NumberVector";
      for (const auto& n : INDI::PropertyNumber(p))
        e.emplace_back(n.getName(), ShortestText(n.getValue()));
      break;
    case INDI_SWITCH:
      m.tag += "SwitchVector";
      for (const auto& s : INDI::PropertySwitch(p))
        e.emplace_back(s.getName(), s.getState() == ISS_ON ? "On" : "Off");
      break;
    case INDI_TEXT:
      m.tag += "TextVector";
      for (const auto& t : INDI::PropertyText(p))
        e.emplace_back(t.getName(), IndiTrace::Quoted(t.getText()));
      break;
    case INDI_LIGHT:
      m.tag += "LightVector";
      for (const auto& l : INDI::PropertyLight(p))
        e.emplace_back(l.getName(), StateName(l.getState()));
      break;
    case INDI_BLOB:
      m.tag += "BLOBVector";
      for (const auto& b : INDI::PropertyBlob(p))
        e.emplace_back(b.getName(), "(" + std::to_string(b.getSize()) + " bytes)");
      break;
    case INDI_UNKNOWN:
      m.tag += "Vector";
      break;
  }
  return m;
}

}  // namespace

IndiLink::IndiLink(const IndiOptions& options)
    : host_(options.host),
      port_(options.port),
      device_(options.device),
      answer_limit_(options.answer_limit),
      device_quiet_(options.device_quiet),
      trace_(options.trace),
      syncs_(options.syncs),
      now_(options.now ? options.now : SteadyClock::now) {}

IndiLink::~IndiLink() {
  // The library's thread calls back into this object: stop it first.
  if (isServerConnected()) disconnectServer();
}

std::string IndiLink::Server() const {
  return host_ + ":" + std::to_string(port_);
}

std::string IndiLink::LimitText() const {
  return NumberText(static_cast<double>(answer_limit_.count()) / kMillisecondsPerSecond) + " s";
}

void IndiLink::Open() {
  if (opened_) return;
  setServer(host_.c_str(), static_cast<unsigned>(port_));
  const auto us = std::chrono::duration_cast<std::chrono::microseconds>(answer_limit_).count();
  setConnectionTimeout(static_cast<std::uint32_t>(us / kMicrosecondsPerSecond),
                       static_cast<std::uint32_t>(us % kMicrosecondsPerSecond));
  if (!connectServer())
    throw Error(errors::kUnreachable, "INDI server " + Server() + " unreachable");
  AwaitDevice();
  opened_ = true;
}

void IndiLink::Close() {
  if (isServerConnected()) disconnectServer();
  Lock lock(mutex_);
  lost_ = false;
  watching_ = false;
  restarted_.clear();
  properties_.clear();
  devices_.clear();
  pending_.reset();
  opened_ = false;
}

void IndiLink::ConnectDevice(const std::vector<std::string>& properties) {
  AwaitProperties({names::kConnection});
  if (!Values(names::kConnection).Switch(names::kConnect))
    SendSwitches(names::kConnection, {{names::kConnect, true}, {names::kDisconnect, false}});
  AwaitProperties(properties);
}

void IndiLink::OpenDevice(const std::vector<std::string>& properties,
                          const std::function<void()>& then) {
  try {
    Open();
    ConnectDevice(properties);
    if (then) then();
  } catch (...) {
    Close();
    throw;
  }
}

// The device is there once it defines a property. Devices answer the
// library's request for properties together; one not among them within a
// quiet time after the others is not there. A server still sending
// definitions when the answer limit comes has not answered yet.
void IndiLink::AwaitDevice() {
  Lock lock(mutex_);
  const auto deadline = SteadyClock::now() + answer_limit_;
  while (!devices_.count(device_)) {
    if (lost_) RaiseLost();
    const auto now = SteadyClock::now();
    const bool quiet = !devices_.empty() && now >= last_definition_ + device_quiet_;
    if (quiet || now >= deadline) RaiseDeviceAbsent(quiet);
    const auto until =
        devices_.empty() ? deadline : std::min(deadline, last_definition_ + device_quiet_);
    changed_.wait_until(lock, until);
  }
}

void IndiLink::RaiseDeviceAbsent(bool quiet) const {
  if (devices_.empty())
    throw Error(errors::kNoAnswer, "INDI server " + Server() + " did not answer within " +
                                       LimitText() + " (no device shown)");
  if (!quiet)
    throw Error(errors::kNoAnswer, "INDI server " + Server() + " did not answer within " +
                                       LimitText() + " (device " + Quoted(device_) +
                                       " not shown while it was still sending definitions)");
  std::string others;
  for (const std::string& d : devices_) others += (others.empty() ? "" : ", ") + Quoted(d);
  throw Error(errors::kDeviceNotFound, "INDI device " + Quoted(device_) + " not found on " +
                                           Server() + " (it has " + others + ")");
}

void IndiLink::RaiseLost() const {
  throw Error(errors::kConnectionLost, "INDI server " + Server() + " connection lost");
}

void IndiLink::RaiseNoAnswer(const std::string& waiting_for) const {
  throw Error(errors::kNoAnswer, "INDI server " + Server() + " did not answer within " +
                                     LimitText() + " (" + waiting_for + ")");
}

void IndiLink::CheckUsable() const {
  if (lost_) RaiseLost();
  if (!restarted_.empty())
    throw Error(errors::kDriverRestarted,
                "INDI device " + Quoted(device_) + " driver restarted: " + restarted_);
}

PropertyValues IndiLink::Values(const std::string& property) {
  Lock lock(mutex_);
  CheckUsable();
  const auto it = properties_.find(property);
  if (it == properties_.end())
    throw Error(errors::kPropertyMissing,
                "INDI property " + property + " missing on device " + Quoted(device_));
  return it->second;
}

std::optional<PropertyValues> IndiLink::Find(const std::string& property) {
  Lock lock(mutex_);
  CheckUsable();
  const auto it = properties_.find(property);
  if (it == properties_.end()) return std::nullopt;
  return it->second;
}

void IndiLink::AwaitProperties(const std::vector<std::string>& properties) {
  Lock lock(mutex_);
  const auto all_there = [&] {
    for (const std::string& p : properties)
      if (!properties_.count(p)) return false;
    return true;
  };
  changed_.wait_for(lock, answer_limit_,
                    [&] { return lost_ || !restarted_.empty() || all_there(); });
  CheckUsable();
  for (const std::string& p : properties)
    if (!properties_.count(p))
      throw Error(errors::kPropertyMissing,
                  "INDI property " + p + " missing on device " + Quoted(device_));
}

void IndiLink::AwaitQuiet() {
  Lock lock(mutex_);
  const auto deadline = SteadyClock::now() + answer_limit_;
  while (!lost_ && restarted_.empty()) {
    const auto quiet_from = last_definition_ + device_quiet_;
    if (SteadyClock::now() >= std::min(quiet_from, deadline)) break;
    changed_.wait_until(lock, std::min(quiet_from, deadline));
  }
  CheckUsable();
}

void IndiLink::Watch(const std::vector<std::string>& properties) {
  Lock lock(mutex_);
  watched_ = {properties.begin(), properties.end()};
  watching_ = true;
  restarted_.clear();
}

void IndiLink::Unwatch() {
  Lock lock(mutex_);
  watching_ = false;
  restarted_.clear();
}

PropertyValues IndiLink::SendNumbers(const std::string& property, const NumberWrite& values,
                                     AnswerRule rule) {
  const PropertyValues current = Values(property);
  for (const auto& [name, value] : values) static_cast<void>(current.Element(name));
  {
    Lock lock(mutex_);
    pending_ = PendingWrite{property, rule, values, {}, false, std::nullopt};
  }
  PostNumbers(property, values);
  return AwaitAnswer();
}

PropertyValues IndiLink::SendSwitches(const std::string& property, const SwitchWrite& states) {
  const PropertyValues current = Values(property);
  for (const auto& [name, on] : states) static_cast<void>(current.Switch(name));
  {
    Lock lock(mutex_);
    pending_ = PendingWrite{property, AnswerRule::kSettled, {}, states, false, std::nullopt};
  }
  if (trace_) trace_->Sent(TracedWrite(device_, property, states));
  INDI::PropertySwitch out(states.size());
  out.setDeviceName(device_.c_str());
  out.setName(property.c_str());
  for (std::size_t i = 0; i < states.size(); ++i)
    out[i].fill(states[i].first.c_str(), "", states[i].second ? ISS_ON : ISS_OFF);
  sendNewSwitch(out);
  return AwaitAnswer();
}

void IndiLink::PostNumbers(const std::string& property, const NumberWrite& values) {
  if (trace_) trace_->Sent(TracedWrite(device_, property, values));
  INDI::PropertyNumber out(values.size());
  out.setDeviceName(device_.c_str());
  out.setName(property.c_str());
  for (std::size_t i = 0; i < values.size(); ++i)
    out[i].fill(values[i].first.c_str(), "", "%g", 0, 0, 0, values[i].second);
  sendNewNumber(out);
}

// The write's answer, once the library's thread has seen it: the pending
// write is set before anything is sent, so no update after the write is
// missed however soon it comes.
PropertyValues IndiLink::AwaitAnswer() {
  Lock lock(mutex_);
  changed_.wait_for(lock, answer_limit_,
                    [&] { return lost_ || !restarted_.empty() || pending_->answer.has_value(); });
  const PendingWrite write = std::move(*pending_);
  pending_.reset();
  CheckUsable();
  if (!write.answer) RaiseNoAnswer(write.property);
  if (write.answer->state == IPS_ALERT)
    throw Error(errors::kRefused, "INDI device " + Quoted(device_) + " refused " + write.property +
                                      " (" + StateName(write.answer->state) + ")");
  return *write.answer;
}

// ---- the library's thread --------------------------------------------------

void IndiLink::Record(const INDI::Property& property, bool update) {
  if (trace_) trace_->Received(TracedProperty(property, update ? "set" : "def"));
  const std::string device = property.getDeviceName();
  std::lock_guard<std::mutex> lock(mutex_);
  if (!update) {
    devices_.insert(device);
    last_definition_ = SteadyClock::now();
  }
  if (device == device_) {
    PropertyValues& v = properties_[property.getName()];
    // A definition starts afresh: no element of an earlier one lingers.
    if (!update) {
      v = PropertyValues{};
      v.device = device_;
      v.name = property.getName();
      v.type = property.getType();
    }
    v.state = property.getState();
    if (property.getType() == INDI_NUMBER) {
      INDI::PropertyNumber numbers(property);
      for (const auto& n : numbers)
        v.numbers[n.getName()] = {n.getValue(), n.getMin(), n.getMax(), n.getFormat()};
    } else if (property.getType() == INDI_SWITCH) {
      INDI::PropertySwitch switches(property);
      for (const auto& s : switches) {
        v.switches[s.getName()] = s.getState() == ISS_ON;
        v.labels[s.getName()] = s.getLabel();
      }
    }
    v.received = now_();
    if (update) ++v.updates;
    if (update && pending_ && pending_->property == v.name) pending_->Consider(v);
    if (syncs_) syncs_->Seen(v, update);
  }
  changed_.notify_all();
}

void IndiLink::newProperty(INDI::Property property) {
  Record(property, false);
}

void IndiLink::updateProperty(INDI::Property property) {
  Record(property, true);
}

// A property the program uses deleted while the device is watched is its
// driver going away (restarted by the server, or gone); except when someone
// else disconnected the device, which withdraws its properties.
void IndiLink::Vanished(const std::string& property) {
  if (!watching_ || !restarted_.empty()) return;
  if (property.empty()) {
    restarted_ = "all its properties were deleted mid-run";
    return;
  }
  if (!watched_.count(property)) return;
  const auto connection = properties_.find(names::kConnection);
  const bool disconnected = property != names::kConnection && connection != properties_.end() &&
                            connection->second.switches.count(names::kDisconnect) &&
                            connection->second.switches.at(names::kDisconnect);
  if (!disconnected) restarted_ = "its property " + property + " was deleted mid-run";
}

void IndiLink::removeProperty(INDI::Property property) {
  if (trace_)
    trace_->Received({"delProperty", property.getDeviceName(), property.getName(), "", {}, ""});
  std::lock_guard<std::mutex> lock(mutex_);
  if (property.getDeviceName() == device_) {
    Vanished(property.getName());
    properties_.erase(property.getName());
  }
  changed_.notify_all();
}

void IndiLink::removeDevice(INDI::BaseDevice device) {
  if (trace_) trace_->Received({"delProperty", device.getDeviceName(), "", "", {}, ""});
  std::lock_guard<std::mutex> lock(mutex_);
  devices_.erase(device.getDeviceName());
  if (device.getDeviceName() == device_) {
    Vanished("");
    properties_.clear();
  }
  changed_.notify_all();
}

void IndiLink::newMessage(INDI::BaseDevice device, int message_id) {
  if (!trace_) return;
  const std::string& text = device.messageQueue(static_cast<std::size_t>(message_id));
  trace_->Received({"message", device.getDeviceName(), "", "", {}, IndiTrace::Quoted(text)});
}

// The library asks for every device's properties as it connects.
void IndiLink::serverConnected() {
  if (trace_) trace_->Sent({"getProperties", "", "", "", {}, ""});
}

void IndiLink::serverDisconnected(int) {
  std::lock_guard<std::mutex> lock(mutex_);
  lost_ = true;
  changed_.notify_all();
}

}  // namespace orvan::indi
