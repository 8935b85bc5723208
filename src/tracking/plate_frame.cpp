#include "tracking/plate_frame.h"

#include "points/plate_header.h"
#include "support/sky_of_date.h"

namespace orvan::tracking {
namespace {

constexpr int kImageAxes = 2;

// The image's size: NAXIS = 2, each side a whole number from 1 up.
bool ImageSize(const points::FitsCards& cards, int& width, int& height) {
  const auto number = [&](const char* key) {
    return points::FitsNumber(cards.Value(key).value_or(""));
  };
  const auto axes = number("NAXIS"), w = number("NAXIS1"), h = number("NAXIS2");
  if (!axes || *axes != kImageAxes || !w || !h) return false;
  if (*w < 1 || *h < 1 || *w > points::kMostFrameSide || *h > points::kMostFrameSide) return false;
  if (*w != static_cast<int>(*w) || *h != static_cast<int>(*h)) return false;
  width = static_cast<int>(*w);
  height = static_cast<int>(*h);
  return true;
}

}  // namespace

PlateFrame MeasurePlateFrame(const std::string& file, std::string_view start,
                             const points::LeapSecondDay& leap) {
  PlateFrame out;
  const std::optional<points::FitsCards> cards = points::PrimaryHeader(start, out.error);
  if (!cards) return out;
  int width = 0, height = 0;
  if (!ImageSize(*cards, width, height)) {
    out.error = "not a 2-D image";
    return out;
  }
  const auto times = points::ExposureTimesOf(points::LookupIn(*cards), leap, out.error);
  if (!times) return out;
  const points::PlateReading plate = points::PlateOf(*cards, width, height);
  out.error = plate.error;
  out.unused = plate.unused;
  out.solved = plate.solved;
  if (!plate.sky) return out;
  const PlaceOfDate apparent =
      ApparentOfDate(plate.sky->ra_hours, plate.sky->dec_deg, times->mid_exposure);
  out.measurement = FrameMeasurement{file,
                                     times->mid_exposure - times->exposure_s / 2,
                                     times->mid_exposure,
                                     {apparent.ra_hours, apparent.dec_deg},
                                     plate.sky->field_deg};
  return out;
}

}  // namespace orvan::tracking
