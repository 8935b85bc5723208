#pragma once

// What a driver has of the telescope properties the program reads, in the
// shapes Debian's drivers give them. Only what makes holding impossible
// (no position, no site, no timed guide) refuses a device; for the rest the
// program reads what is there and says once what it does instead.

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "observatory/indi/indi_values.h"

namespace orvan::indi {

// How a device tells its guide rates, in times the sidereal rate.
struct GuideRateShape {
  enum Kind {
    kNumbers,  // number elements: one per axis, or one for both
    kSwitch,   // a switch of fixed rates, each labelled "0.5x" and the like
    kAssumed,  // none the program can read: the rate assumed
  };
  Kind kind = kAssumed;
  std::string ra_element;   // kNumbers
  std::string dec_element;  // kNumbers: the same element as ra_element where one serves both
  // What the device lacks, as said at the start; empty where nothing is.
  std::string lack;
};

// The shape of GUIDE_RATE (absent: nullopt). Number elements are
// GUIDE_RATE_WE and GUIDE_RATE_NS (the standard), RA_GUIDE_RATE and
// DE_GUIDE_RATE (iOptron's), or a single element for both axes.
GuideRateShape ShapeOfGuideRate(const std::optional<PropertyValues>& rate);

// The rate a switch of fixed rates has on: the number its label starts
// with ("0.5x", "1.0x"); nullopt where no switch is on or the label says no
// rate above zero.
std::optional<double> SwitchedRate(const PropertyValues& rate);

// What the program says at the start of a mount `device` with these
// properties (absent: nullopt), one line each: the guide rate it assumes
// (`assumed` times sidereal, from --guide-rate where `given`), how it judges
// tracking, the side of the pier.
std::vector<std::string> LackNotices(const std::string& device,
                                     const std::optional<PropertyValues>& guide_rate,
                                     bool has_track_state, bool has_pier_side, double assumed,
                                     bool given);

// What the program says at the start of every INDI mount: drivers
// republish the position only once it has moved by a step, which sets the
// smallest threshold that means anything on the mount.
std::string ReportStepNotice(const std::string& device);

// Whether a mount without TELESCOPE_TRACK_STATE tracks, judged from its
// readings: one that does not track stays put in hour angle, so its right
// ascension grows at the sidereal rate; one that tracks reports a right
// ascension that stays put but for pulses and slews. Each look compares the
// position last received with the one at the look before.
class TrackingByReadings {
 public:
  using Time = std::chrono::steady_clock::time_point;

  // Right ascension moving at this part of the sidereal rate or more, and
  // at most kMostPart, is a mount that does not track; anything faster is a
  // slew or a sync.
  static constexpr double kLeastPart = 0.5;
  static constexpr double kMostPart = 1.5;
  // Readings closer together than this are not judged: a driver publishes
  // the position as it polls, and a short span's rate is mostly rounding.
  static constexpr std::chrono::seconds kLeastSpan{2};

  // A mount that has sent no position for this long stays put: it tracks.
  // Drivers publish a moving position as they poll, every second by default.
  static constexpr std::chrono::seconds kStillAfter{5};

  // The position as last received (`ra_hours`, `received`, the count of
  // updates so far) and the time now, by the same clock; `ra_pulsed`: a
  // right-ascension pulse has been sent since the last look, which moves the
  // axis on its own. True while the mount is judged to track; it is until
  // readings show otherwise.
  bool Look(double ra_hours, Time received, std::uint64_t updates, bool ra_pulsed, Time now);

 private:
  struct Seen {
    double ra_hours = 0;
    Time received;
    std::uint64_t updates = 0;
  };
  std::optional<Seen> last_;
  bool tracking_ = true;
};

}  // namespace orvan::indi
