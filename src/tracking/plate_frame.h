#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "points/exposure_header.h"
#include "tracking/frame_hold.h"

// A frame measured from the start of its file alone, with no FITS library
// and no ERFA (the Windows program): its primary header read small, the
// plate solution a solver left there, the times of its exposure, and its
// centre as the sky of the exposure's middle shows it, for the hold.
namespace orvan::tracking {

struct PlateFrame {
  std::optional<FrameMeasurement> measurement;
  // Why the frame gives no measurement: a header that cannot be read, no
  // date, a damaged WCS (`error`); a WCS that gives no scale (`unused`).
  // Both empty where the header has no WCS at all.
  std::string error;
  std::string unused;
  // The WCS carries a solver's mark (points::MarkedAsSolve).
  bool solved = false;
};

// `file` names the frame; `start` holds at least its primary header.
PlateFrame MeasurePlateFrame(const std::string& file, std::string_view start,
                             const points::LeapSecondDay& leap);

}  // namespace orvan::tracking
