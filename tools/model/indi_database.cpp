// INDI's alignment database (docs/point-formats.md#indi-alignment-databases).
#include <cmath>
#include <numbers>

#include "model/readers.h"
#include "model/small_xml.h"
#include "pointing/places.h"
#include "points/text_fields.h"
#include "support/ascii.h"
#include "support/units.h"

namespace orvan::model {

using namespace pointing;
using namespace points;

namespace {

constexpr double kDecLimit = kPoleDeg;
// A direction vector is written to six decimals: its length is 1 to within
// about 1e-6; anything further off is not a direction.
constexpr double kUnitTolerance = 1e-4;
// Julian dates of 1900 and 2200: anything outside is no observation time.
constexpr double kJulianDateLeast = 2415020.5, kJulianDateMost = 2524593.5;

double NumberIn(const XmlElement& e, std::string_view child, const std::string& source) {
  const XmlElement* c = e.Child(child);
  if (!c) Fail(source, e.line, "<" + e.name + "> has no <" + std::string(child) + ">");
  return Number(Trim(c->text), At{source, c->line}, std::string(child));
}

const XmlElement& ChildOf(const XmlElement& e, std::string_view child, const std::string& source) {
  const XmlElement* c = e.Child(child);
  if (!c) Fail(source, e.line, "<" + e.name + "> has no <" + std::string(child) + ">");
  return *c;
}

Site SiteOf(const XmlElement& root, const std::string& source, const ReadOptions& options) {
  const XmlElement* place = root.Child("DatabaseReferenceLocation");
  if (!place) Fail(source, root.line, "no site: <DatabaseReferenceLocation> is missing");
  const At at{source, place->line};
  const std::string* latitude = place->Attribute("latitude");
  const std::string* longitude = place->Attribute("longitude");
  if (!latitude || !longitude)
    at.Fail("no site: the reference location needs latitude and longitude");
  Site o;
  o.latitude_deg = Number(*latitude, at, "latitude");
  o.longitude_deg = Number(*longitude, at, "longitude");
  WithinDegrees(o.latitude_deg, kDecLimit, at, "latitude");
  if (o.longitude_deg < -kHalfTurnDeg || o.longitude_deg > 2 * kHalfTurnDeg)
    at.Fail("longitude " + *longitude + " is out of range");
  // INDI writes east longitude in [0, 360).
  if (o.longitude_deg > kHalfTurnDeg) o.longitude_deg -= 2 * kHalfTurnDeg;
  o.pressure_hpa = options.pressure_hpa;
  o.temperature_c = options.temperature_c;
  o.relative_humidity = options.relative_humidity;
  return o;
}

Point ReadEntry(const XmlElement& e, const Site& site, const std::string& source) {
  const double jd = NumberIn(e, "ObservationJulianDate", source);
  if (jd < kJulianDateLeast || jd > kJulianDateMost)
    Fail(source, ChildOf(e, "ObservationJulianDate", source).line, "observation date out of range");
  const XmlElement& ra_text = ChildOf(e, "RightAscension", source);
  const XmlElement& dec_text = ChildOf(e, "Declination", source);
  const At ra_at{source, ra_text.line}, dec_at{source, dec_text.line};
  const RaDec sky{
      InDayHours(ColonSexagesimal(ra_text.text, ra_at, "RightAscension"), ra_at, "RightAscension"),
      WithinDegrees(ColonSexagesimal(dec_text.text, dec_at, "Declination"), kDecLimit, dec_at,
                    "Declination")};
  const double x = NumberIn(e, "TelescopeDirectionVectorX", source);
  const double y = NumberIn(e, "TelescopeDirectionVectorY", source);
  const double z = NumberIn(e, "TelescopeDirectionVectorZ", source);
  const double length = std::sqrt(x * x + y * y + z * z);
  if (std::fabs(length - 1) > kUnitTolerance)
    Fail(source, e.line, "the telescope direction vector is not of unit length");

  const Utc utc = UtcOfJulianDate(jd);
  const double last = LocalApparentSiderealTime(utc, site.longitude_deg);
  Point p;
  p.source = source;
  p.line = e.line;
  p.observed = Observed(sky, utc, last, site);
  // The vector is the mount's local hour angle and declination, the hour
  // angle measured clockwise (westward) in the x-y plane.
  p.mechanical = {std::atan2(-y, x) * kDegreesPerRadian / kDegreesPerHour,
                  std::asin(z / length) * kDegreesPerRadian};
  p.latitude_deg = site.latitude_deg;
  p.through_pole = false;
  return p;
}

}  // namespace

std::vector<Point> ReadIndiDatabase(std::string_view text, const std::string& source,
                                    const ReadOptions& options) {
  const XmlElement root = ParseXml(text, source);
  if (root.name != "INDIAlignmentDatabase")
    Fail(source, root.line, "<" + root.name + "> is not an INDI alignment database");
  const Site site = SiteOf(root, source, options);
  std::vector<Point> points;
  if (const XmlElement* entries = root.Child("DatabaseEntries"))
    for (const XmlElement& e : entries->children)
      if (e.name == "DatabaseEntry") points.push_back(ReadEntry(e, site, source));
  if (points.empty()) Fail(source, 0, "no sync points");
  return points;
}

}  // namespace orvan::model
