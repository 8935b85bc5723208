#include "observatory/indi/indi_trace.h"

#include <algorithm>

#include "support/utc_text.h"

namespace orvan::indi {

IndiTrace::IndiTrace(LineSink out, Clock now)
    : out_(std::move(out)), now_(now ? std::move(now) : Clock(std::chrono::system_clock::now)) {}

void IndiTrace::Sent(const TracedMessage& message) {
  Write("sent", message);
}

void IndiTrace::Received(const TracedMessage& message) {
  Write("received", message);
}

std::string IndiTrace::Quoted(const std::string& text) {
  if (text.size() <= kShownTextBytes) return "\"" + text + "\"";
  return "\"" + text.substr(0, kShownTextBytes) + "\" (" +
         std::to_string(text.size() - kShownTextBytes) + " more bytes left out)";
}

std::string IndiTrace::Body(const TracedMessage& message) {
  std::string line = message.tag;
  if (!message.device.empty()) line += " " + Quoted(message.device);
  if (!message.property.empty()) line += " " + message.property;
  if (!message.state.empty()) line += " " + message.state;
  const std::size_t shown = std::min(message.elements.size(), kShownElements);
  for (std::size_t i = 0; i < shown; ++i)
    line += " " + message.elements[i].first + "=" + message.elements[i].second;
  if (shown < message.elements.size())
    line += " (" + std::to_string(message.elements.size() - shown) + " more elements left out)";
  if (!message.text.empty()) line += " " + message.text;
  return line;
}

void IndiTrace::Write(const char* direction, const TracedMessage& message) {
  const std::string body = Body(message);
  // The time is taken under the lock, so that the lines' times never go back.
  std::lock_guard<std::mutex> lock(mutex_);
  out_(UtcText(now_()) + " " + direction + " " + body);
}

}  // namespace orvan::indi
