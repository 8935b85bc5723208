// INDI's alignment database (docs/point-formats.md#indi-alignment-databases),
// its XML read by Qt Core's QXmlStreamReader.
#include <QXmlStreamReader>

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

#include "model/readers.h"
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

constexpr std::string_view kRoot = "INDIAlignmentDatabase";
constexpr std::string_view kLocation = "DatabaseReferenceLocation";
constexpr std::string_view kEntries = "DatabaseEntries";
constexpr std::string_view kEntry = "DatabaseEntry";

// A sync point's values, each an element of its own in a <DatabaseEntry>.
enum Value { kJulianDate, kRa, kDec, kX, kY, kZ, kValueCount };
constexpr std::array<std::string_view, kValueCount> kValueNames = {"ObservationJulianDate",
                                                                   "RightAscension",
                                                                   "Declination",
                                                                   "TelescopeDirectionVectorX",
                                                                   "TelescopeDirectionVectorY",
                                                                   "TelescopeDirectionVectorZ"};

// An element's text (character references and CDATA sections read as the
// text they stand for) and the line the element starts on.
struct Text {
  std::string text;
  int line = 0;
};

struct Entry {
  int line = 0;
  std::array<std::optional<Text>, kValueCount> values;
};

struct Location {
  int line = 0;
  std::optional<std::string> latitude, longitude;
};

// What the file holds, not yet checked for sense.
struct Database {
  int line = 0;  // the root's
  std::optional<Location> location;
  std::vector<Entry> entries;
};

// The database's elements read off the XML, in one pass. Malformed XML, a
// DOCTYPE and a second of an element the format has once fail naming the
// line. Elements the format does not name are passed over.
class DatabaseXml {
 public:
  DatabaseXml(std::string_view text, const std::string& source)
      : xml_(QByteArray::fromRawData(text.data(), static_cast<qsizetype>(text.size()))),
        source_(source) {
    // The format has no namespaces: a name is compared whole, prefix and all.
    xml_.setNamespaceProcessing(false);
  }

  Database Read() {
    Database db;
    db.line = Root();
    bool entries_read = false;
    while (NextChild()) {
      if (Named(kLocation)) {
        Once(db.location.has_value());
        db.location = ReadLocation();
      } else if (Named(kEntries)) {
        Once(entries_read);
        entries_read = true;
        ReadEntries(db.entries);
      } else {
        Skip();
      }
    }
    // Only comments and processing instructions may follow the root.
    while (Next() != QXmlStreamReader::EndDocument) {
    }
    return db;
  }

 private:
  int Line() const { return static_cast<int>(xml_.lineNumber()); }
  std::string Name() const { return Shortened(xml_.qualifiedName().toString().toStdString()); }
  bool Named(std::string_view name) const {
    return xml_.qualifiedName() ==
           QLatin1StringView(name.data(), static_cast<qsizetype>(name.size()));
  }

  void Check() const {
    if (xml_.hasError())
      Fail(source_, Line(), "XML: " + Shortened(xml_.errorString().toStdString()));
  }

  // The next token. Qt reports the line where a token ends; within the root,
  // where the token before it ended is where this one starts.
  QXmlStreamReader::TokenType Next() {
    start_line_ = Line();
    const QXmlStreamReader::TokenType token = xml_.readNext();
    Check();
    if (token == QXmlStreamReader::DTD) RefuseDoctype();
    return token;
  }

  // The root element, checked to be the database's; its line.
  int Root() {
    while (Next() != QXmlStreamReader::StartElement) {
    }
    // The blanks before the root go unreported: its line is where its start
    // tag ends.
    if (!Named(kRoot)) Fail(source_, Line(), "<" + Name() + "> is not an INDI alignment database");
    return Line();
  }

  // The next element within the current one (its line in line_), or false at
  // the current one's end.
  bool NextChild() {
    for (;;) {
      const QXmlStreamReader::TokenType token = Next();
      if (token == QXmlStreamReader::EndElement) return false;
      if (token == QXmlStreamReader::StartElement) {
        line_ = start_line_;
        return true;
      }
    }
  }

  // Of two of an element the format has once, which is meant cannot be told:
  // the file is refused rather than one of them taken.
  void Once(bool met_before) const {
    if (met_before) Fail(source_, line_, "a second <" + Name() + ">");
  }

  void Skip() {
    xml_.skipCurrentElement();
    Check();
  }

  std::optional<std::string> Attribute(std::string_view name) const {
    const QLatin1StringView qt_name(name.data(), static_cast<qsizetype>(name.size()));
    const QXmlStreamAttributes attributes = xml_.attributes();
    if (!attributes.hasAttribute(qt_name)) return std::nullopt;
    return attributes.value(qt_name).toString().toStdString();
  }

  Location ReadLocation() {
    Location location{line_, Attribute("latitude"), Attribute("longitude")};
    Skip();
    return location;
  }

  void ReadEntries(std::vector<Entry>& entries) {
    while (NextChild()) {
      if (Named(kEntry))
        entries.push_back(ReadEntry());
      else
        Skip();
    }
  }

  Entry ReadEntry() {
    Entry entry{line_, {}};
    while (NextChild()) {
      const auto name = std::find_if(kValueNames.begin(), kValueNames.end(),
                                     [this](std::string_view n) { return Named(n); });
      if (name == kValueNames.end()) {
        Skip();
        continue;
      }
      std::optional<Text>& value =
          entry.values[static_cast<std::size_t>(name - kValueNames.begin())];
      Once(value.has_value());
      // The element's own text; an element within it (none in INDI's files)
      // is passed over.
      const QString text = xml_.readElementText(QXmlStreamReader::SkipChildElements);
      Check();
      value = Text{text.toStdString(), line_};
    }
    return entry;
  }

  // A DOCTYPE could declare entities that the text would then expand (or
  // default attributes): the format has none, so it is refused before any
  // of it is used.
  [[noreturn]] void RefuseDoctype() const {
    const QString dtd = xml_.text().toString();
    // Qt reports the line the DOCTYPE ends on; a place in it is as many lines
    // before as there are line breaks after it.
    const auto line_of = [&](qsizetype at) {
      return Line() - static_cast<int>(dtd.sliced(at).count(u'\n'));
    };
    const qsizetype doctype = std::max<qsizetype>(dtd.indexOf(u"<!DOCTYPE"), 0);
    const QXmlStreamEntityDeclarations entities = xml_.entityDeclarations();
    if (!entities.isEmpty()) {
      const QString name = entities.first().name().toString();
      const qsizetype declaration = DeclarationAt(dtd, name);
      Fail(source_, line_of(declaration >= 0 ? declaration : doctype),
           "an entity declaration (\"" + Shortened(name.toStdString()) +
               "\") is not allowed in an INDI alignment database");
    }
    Fail(source_, line_of(doctype), "a DOCTYPE is not allowed in an INDI alignment database");
  }

  // Where in a DOCTYPE's text entity `name` is declared, -1 if not found.
  static qsizetype DeclarationAt(QStringView dtd, QStringView name) {
    constexpr QStringView kDeclaration = u"<!ENTITY";
    for (qsizetype at = dtd.indexOf(kDeclaration); at >= 0;
         at = dtd.indexOf(kDeclaration, at + 1)) {
      // "<!ENTITY name ..." or, for a parameter entity, "<!ENTITY % name ...".
      QStringView rest = dtd.sliced(at + kDeclaration.size()).trimmed();
      if (rest.startsWith(u'%')) rest = rest.sliced(1).trimmed();
      if (rest.startsWith(name) && (rest.size() == name.size() || rest[name.size()].isSpace()))
        return at;
    }
    return -1;
  }

  QXmlStreamReader xml_;
  const std::string& source_;
  int start_line_ = 1;  // where the token read last starts (within the root)
  int line_ = 0;        // where the current element starts
};

const Text& ValueOf(const Entry& e, Value value, const std::string& source) {
  const std::optional<Text>& text = e.values[value];
  if (!text)
    Fail(source, e.line,
         "<" + std::string(kEntry) + "> has no <" + std::string(kValueNames[value]) + ">");
  return *text;
}

double NumberOf(const Entry& e, Value value, const std::string& source) {
  const Text& text = ValueOf(e, value, source);
  return Number(Trim(text.text), At{source, text.line}, std::string(kValueNames[value]));
}

Site SiteOf(const Database& db, const std::string& source, const ReadOptions& options) {
  if (!db.location) Fail(source, db.line, "no site: <" + std::string(kLocation) + "> is missing");
  const Location& place = *db.location;
  const At at{source, place.line};
  if (!place.latitude || !place.longitude)
    at.Fail("no site: the reference location needs latitude and longitude");
  Site o{};
  o.latitude_deg = Number(*place.latitude, at, "latitude");
  o.longitude_deg = Number(*place.longitude, at, "longitude");
  WithinDegrees(o.latitude_deg, kDecLimit, at, "latitude");
  if (o.longitude_deg < -kHalfTurnDeg || o.longitude_deg > 2 * kHalfTurnDeg)
    at.Fail("longitude " + Shortened(*place.longitude) + " is out of range");
  // INDI writes east longitude in [0, 360).
  if (o.longitude_deg > kHalfTurnDeg) o.longitude_deg -= 2 * kHalfTurnDeg;
  o.pressure_hpa = options.pressure_hpa;
  o.temperature_c = options.temperature_c;
  o.relative_humidity = options.relative_humidity;
  return o;
}

Point PointOf(const Entry& e, const Site& site, const std::string& source) {
  const double jd = NumberOf(e, kJulianDate, source);
  if (jd < kJulianDateLeast || jd > kJulianDateMost)
    Fail(source, ValueOf(e, kJulianDate, source).line, "observation date out of range");
  const Text& ra_text = ValueOf(e, kRa, source);
  const Text& dec_text = ValueOf(e, kDec, source);
  const At ra_at{source, ra_text.line}, dec_at{source, dec_text.line};
  const RaDec sky{
      InDayHours(ColonSexagesimal(ra_text.text, ra_at, "RightAscension"), ra_at, "RightAscension"),
      WithinDegrees(ColonSexagesimal(dec_text.text, dec_at, "Declination"), kDecLimit, dec_at,
                    "Declination")};
  const double x = NumberOf(e, kX, source);
  const double y = NumberOf(e, kY, source);
  const double z = NumberOf(e, kZ, source);
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
  const Database db = DatabaseXml(text, source).Read();
  const Site site = SiteOf(db, source, options);
  std::vector<Point> points;
  points.reserve(db.entries.size());
  for (const Entry& e : db.entries) points.push_back(PointOf(e, site, source));
  if (points.empty()) Fail(source, 0, "no sync points");
  return points;
}

}  // namespace orvan::model
