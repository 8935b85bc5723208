#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orvan {

// Texts the handlers write that are also the window's design-time contents.
namespace texts {
inline constexpr std::string_view kStartCaption = "Start Orvaning";
inline constexpr std::string_view kStopCaption = "Stop Orvaning";
inline constexpr std::string_view kIdleStatus = "Normal Sidereal tracking";
}  // namespace texts

// The main window as the click and tick handlers see it: the control
// operations they use, the two readout routines and the message box.
class TrackerWindow {
 public:
  virtual ~TrackerWindow() = default;
  virtual std::string Text11Text() = 0;
  virtual void SetText11Enabled(bool enabled) = 0;
  virtual void SetCommand1Caption(std::string_view caption) = 0;
  virtual void SetTimer1Interval(std::int32_t milliseconds) = 0;
  virtual void SetTimer1Enabled(bool enabled) = 0;
  virtual void SetStatusText(std::string_view text) = 0;
  virtual void UpdateReadouts() = 0;
  virtual void ClearReadouts() = 0;
  virtual void MsgBox(std::string_view text) = 0;
  // The user's decimal separator, for the conversions between numbers and text.
  virtual char DecimalSeparator() = 0;
};

}  // namespace orvan
