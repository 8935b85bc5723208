#include "observatory/indi/mount_shape.h"

#include <cmath>
#include <cstdlib>

#include "observatory/indi/indi_names.h"
#include "observatory/units.h"
#include "support/units.h"

namespace orvan::indi {
namespace {

using namespace names;

// iOptron's drivers name the standard pair so.
constexpr const char* kRaGuideRate = "RA_GUIDE_RATE";
constexpr const char* kDeGuideRate = "DE_GUIDE_RATE";

// INDI's telescope base class republishes the position once it has moved by
// this much on either axis: seconds of right ascension, arc-seconds of
// declination.
constexpr double kReportStepSeconds = 0.1;
constexpr double kReportStepArcsec = 0.1;

bool Has(const PropertyValues& p, const char* element) {
  return p.numbers.count(element) != 0;
}

GuideRateShape Assumed(std::string lack) {
  return {GuideRateShape::kAssumed, "", "", std::move(lack)};
}

GuideRateShape NumberShape(const PropertyValues& p) {
  if (Has(p, kGuideRateWe) && Has(p, kGuideRateNs))
    return {GuideRateShape::kNumbers, kGuideRateWe, kGuideRateNs, ""};
  if (Has(p, kRaGuideRate) && Has(p, kDeGuideRate))
    return {GuideRateShape::kNumbers, kRaGuideRate, kDeGuideRate, ""};
  if (p.numbers.size() == 1) {
    const std::string& only = p.numbers.begin()->first;
    return {GuideRateShape::kNumbers, only, only,
            "GUIDE_RATE has one element, " + only + ": taken for both axes"};
  }
  return Assumed(std::string("GUIDE_RATE has neither ") + kGuideRateWe + " and " + kGuideRateNs +
                 " nor " + kRaGuideRate + " and " + kDeGuideRate);
}

}  // namespace

GuideRateShape ShapeOfGuideRate(const std::optional<PropertyValues>& rate) {
  if (!rate) return Assumed("has no GUIDE_RATE");
  if (rate->type == INDI_NUMBER) return NumberShape(*rate);
  if (rate->type != INDI_SWITCH) return Assumed("GUIDE_RATE is neither numbers nor switches");
  if (!SwitchedRate(*rate)) return Assumed("GUIDE_RATE is a switch whose label gives no rate");
  return {GuideRateShape::kSwitch, "", "",
          "GUIDE_RATE is a switch of fixed rates: the rate is read from the label of the one on"};
}

std::optional<double> SwitchedRate(const PropertyValues& rate) {
  for (const auto& [name, on] : rate.switches) {
    if (!on) continue;
    const auto label = rate.labels.find(name);
    const std::string& text =
        label == rate.labels.end() || label->second.empty() ? name : label->second;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    const bool rest_ok = *end == '\0' || *end == 'x' || *end == 'X' || *end == ' ';
    if (end == text.c_str() || !rest_ok || !std::isfinite(value) || !(value > 0))
      return std::nullopt;
    return value;
  }
  return std::nullopt;
}

std::vector<std::string> LackNotices(const std::string& device,
                                     const std::optional<PropertyValues>& guide_rate,
                                     bool has_track_state, bool has_pier_side, double assumed,
                                     bool given) {
  const std::string mount = "INDI mount \"" + device + "\" ";
  std::vector<std::string> lines;
  const GuideRateShape shape = ShapeOfGuideRate(guide_rate);
  if (shape.kind == GuideRateShape::kAssumed)
    lines.push_back(mount + shape.lack + ": pulses timed for " +
                    (given ? NumberText(assumed) + " x sidereal, as --guide-rate says"
                           : NumberText(DefaultGuideRate * kArcsecPerDegree) +
                                 "\"/s, the program's default rate (--guide-rate gives the "
                                 "mount's, in times sidereal)"));
  else if (!shape.lack.empty())
    lines.push_back(mount + shape.lack);
  if (!has_track_state)
    lines.push_back(mount + "has no " + kTelescopeTrackState +
                    ": tracking judged from its readings (a right ascension growing at the "
                    "sidereal rate is a mount not tracking)");
  if (!has_pier_side)
    lines.push_back(mount + "has no " + kTelescopePierSide +
                    ": taken as on one side of the pier throughout, not through the pole");
  return lines;
}

std::string ReportStepNotice(const std::string& device) {
  return "INDI mount \"" + device + "\" reports a new position only once it has moved " +
         NumberText(kReportStepSeconds) + " s in right ascension or " +
         NumberText(kReportStepArcsec) + "\" in declination: a threshold below " +
         NumberText(kReportStepSeconds * kArcsecPerHour / kSecondsPerHour) +
         "\" is finer than right ascension is reported, and a reading unchanged since a pulse "
         "is not taken for a new error";
}

bool TrackingByReadings::Look(double ra_hours, Time received, std::uint64_t updates, bool ra_pulsed,
                              Time now) {
  const Seen seen{ra_hours, received, updates};
  if (!last_) {
    last_ = seen;
    return tracking_;
  }
  if (updates == last_->updates) {
    if (now - last_->received >= kStillAfter) tracking_ = true;
    return tracking_;
  }
  if (ra_pulsed) {
    // News a pulse explains: the next look judges from here.
    last_ = seen;
    return tracking_;
  }
  const double span_s = std::chrono::duration<double>(received - last_->received).count();
  if (span_s < std::chrono::duration<double>(kLeastSpan).count()) return tracking_;
  // Seconds of right ascension gained per second of time; sidereal: 1.0027.
  const double part =
      Wrap12(ra_hours - last_->ra_hours) * kSecondsPerHour / span_s / kSiderealRatio;
  tracking_ = !(part >= kLeastPart && part <= kMostPart);
  last_ = seen;
  return tracking_;
}

}  // namespace orvan::indi
