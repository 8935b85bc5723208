#include "points/plate_header.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <utility>

#include "points/text_fields.h"
#include "support/ascii.h"
#include "support/units.h"

namespace orvan::points {
namespace {

constexpr std::string_view kEnd = "END";
constexpr std::string_view kSimple = "SIMPLE";
constexpr std::string_view kNotFits = "not a FITS file: it does not begin with SIMPLE = T";
constexpr char kQuote = '\'';
constexpr char kFirstPrintable = ' ', kLastPrintable = '~';
constexpr std::string_view kSolvedKey = "PLTSOLVD";
constexpr std::string_view kAstrometryNet = "Astrometry.net";
// Equinox of the FK5 frame taken as the program's J2000, how near a
// header's EQUINOX must be to it, and the year before which an equinox
// without a frame's name means FK4 (the FITS WCS paper's rule).
constexpr double kJ2000Equinox = 2000.0;
constexpr double kEquinoxTolerance = 1e-6;
constexpr double kFk4Before = 1984.0;
// Below this sine of the angle between the matrix's rows, they are one direction.
constexpr double kSingularSine = 1e-10;
// A zenithal projection's native longitude of the celestial pole, unless
// LONPOLE says otherwise.
constexpr double kDefaultLonpoleDeg = 180;
constexpr int kMostSipOrder = 9;

// A card's keyword, blanks at its end taken off.
std::string_view KeyOf(std::string_view card) {
  std::string_view key = card.substr(0, kKeywordLength);
  return key.substr(0, key.find_last_not_of(' ') + 1);
}

bool HasValue(std::string_view card) {
  return card.substr(kKeywordLength, kValueIndicator.size()) == kValueIndicator;
}

}  // namespace

std::string_view CardValue(std::string_view card) {
  std::string_view value = card.substr(kKeywordLength + kValueIndicator.size());
  const auto first = value.find_first_not_of(' ');
  if (first != std::string_view::npos && value[first] == kQuote) {
    std::size_t at = first + 1;
    while (at < value.size()) {
      if (value[at] == kQuote && (at + 1 == value.size() || value[at + 1] != kQuote)) break;
      at += value[at] == kQuote ? 2 : 1;
    }
    return value.substr(first, std::min(at + 1, value.size()) - first);
  }
  return Trim(value.substr(0, value.find('/')));
}

std::string StringValue(std::string_view value) {
  if (value.size() < 2 || value.front() != kQuote || value.back() != kQuote) return {};
  std::string text;
  for (std::size_t i = 1; i + 1 < value.size(); ++i) {
    text += value[i];
    if (value[i] == kQuote) ++i;
  }
  return text.substr(0, text.find_last_not_of(' ') + 1);
}

namespace {

// The WCS's numbers as the header gives them; a card there that is no
// finite number fails the frame, named.
class Numbers {
 public:
  explicit Numbers(const FitsCards& cards) : cards_(cards) {}
  std::optional<double> Get(const std::string& key) {
    if (!error.empty() || !cards_.Has(key)) return std::nullopt;
    const std::optional<std::string_view> value = cards_.Value(key);
    if (!value) {
      error = "WCS card " + key + " has no value";
      return std::nullopt;
    }
    const std::optional<double> number = FitsNumber(*value);
    if (!number) error = "bad WCS card " + key + ": " + Quoted(*value) + " is not a finite number";
    return number;
  }
  double Or(const std::string& key, double otherwise) { return Get(key).value_or(otherwise); }
  std::string error;

 private:
  const FitsCards& cards_;
};

using Matrix = std::array<std::array<double, 2>, 2>;

std::string Indexed(const char* stem, int i, int j) {
  return stem + std::to_string(i + 1) + "_" + std::to_string(j + 1);
}

// CD; else PC scaled by CDELT; else CDELT turned by CROTA2, as the FITS WCS
// papers rank them. None where nothing gives a scale.
std::optional<Matrix> MatrixOf(Numbers& n, const FitsCards& cards) {
  const auto given = [&](const char* stem) {
    for (int i = 0; i < 2; ++i)
      for (int j = 0; j < 2; ++j)
        if (cards.Has(Indexed(stem, i, j))) return true;
    return false;
  };
  const std::array<std::optional<double>, 2> cdelt = {n.Get("CDELT1"), n.Get("CDELT2")};
  Matrix m{};
  if (given("PC") && (cdelt[0] || cdelt[1])) {
    for (int i = 0; i < 2; ++i)
      for (int j = 0; j < 2; ++j)
        m[i][j] = cdelt[i].value_or(1) * n.Or(Indexed("PC", i, j), i == j ? 1 : 0);
    return m;
  }
  if (given("CD")) {
    for (int i = 0; i < 2; ++i)
      for (int j = 0; j < 2; ++j) m[i][j] = n.Or(Indexed("CD", i, j), 0);
    return m;
  }
  if (!cdelt[0] && !cdelt[1]) return std::nullopt;
  const double rho = n.Or("CROTA2", 0) * kRadiansPerDegree;
  const double d1 = cdelt[0].value_or(1), d2 = cdelt[1].value_or(1);
  m = {{{d1 * std::cos(rho), -d2 * std::sin(rho)}, {d1 * std::sin(rho), d2 * std::cos(rho)}}};
  return m;
}

// ICRS, or FK5 at J2000: the frame named, else the one the equinox implies.
std::string FrameError(const FitsCards& cards, Numbers& n) {
  std::string radesys = StringValue(cards.Value("RADESYS").value_or(""));
  if (radesys.empty()) radesys = StringValue(cards.Value("RADECSYS").value_or(""));
  std::optional<double> equinox = n.Get("EQUINOX");
  if (!equinox) equinox = n.Get("EPOCH");
  if (!n.error.empty()) return n.error;
  if (radesys.empty()) radesys = !equinox ? "ICRS" : *equinox < kFk4Before ? "FK4" : "FK5";
  return FrameNotJ2000(radesys, equinox);
}

// A SIP polynomial's sum over its terms u^p v^q, p + q up to its order; the
// powers by products, as the library's pow would cost the small program
// more than all of this.
double SipSum(Numbers& n, const char* stem, double u, double v) {
  const int order =
      std::min(static_cast<int>(n.Or(std::string(stem) + "_ORDER", 0)), kMostSipOrder);
  double sum = 0;
  double u_p = 1;
  for (int p = 0; p <= order; ++p, u_p *= u) {
    double v_q = 1;
    for (int q = 0; p + q <= order; ++q, v_q *= v)
      if (const auto c =
              n.Get(std::string(stem) + "_" + std::to_string(p) + "_" + std::to_string(q)))
        sum += *c * u_p * v_q;
  }
  return sum;
}

// The place of the intermediate world coordinates (x along right ascension,
// y along declination; degrees) by the gnomonic projection about `ref`,
// right ascension and declination in degrees.
std::pair<double, double> Deprojected(double x, double y, std::pair<double, double> ref,
                                      double lonpole) {
  const double phi = std::atan2(x, -y);
  const double theta = std::atan2(1, std::hypot(x, y) * kRadiansPerDegree);
  const double dp = ref.second * kRadiansPerDegree, dphi = phi - lonpole * kRadiansPerDegree;
  const double dec =
      std::asin(std::sin(theta) * std::sin(dp) + std::cos(theta) * std::cos(dp) * std::cos(dphi));
  const double ra = ref.first + std::atan2(-std::cos(theta) * std::sin(dphi),
                                           std::sin(theta) * std::cos(dp) -
                                               std::cos(theta) * std::sin(dp) * std::cos(dphi)) /
                                    kRadiansPerDegree;
  double wrapped = std::fmod(ra, kDegreesPerTurn);
  if (wrapped < 0) wrapped += kDegreesPerTurn;
  return {wrapped, dec / kRadiansPerDegree};
}

// Which axis is right ascension (0 or 1); none, with the error, where the
// axes are not RA/DEC in a TAN projection.
std::optional<int> CelestialAxes(const std::array<std::string, 2>& ctype, std::string& error,
                                 bool& sip) {
  const auto kind = [](const std::string& t) { return t.substr(0, t.find('-')); };
  const int ra = kind(ctype[0]) == "RA" ? 0 : 1;
  if (kind(ctype[ra]) != "RA" || kind(ctype[1 - ra]) != "DEC") {
    error = "WCS axes " + kind(ctype[0]) + "/" + kind(ctype[1]) + " are not RA/DEC";
    return std::nullopt;
  }
  for (const std::string& t : ctype) {
    const std::string projection = t.size() > 4 ? t.substr(4) : t;
    if (projection != "-TAN" && projection != "-TAN-SIP") {
      error = "WCS projection " + Quoted(t) + " is not read: TAN only, with or without SIP";
      return std::nullopt;
    }
  }
  sip = ctype[0].ends_with("-SIP");
  return ra;
}

}  // namespace

std::string FrameNotJ2000(std::string_view radesys, std::optional<double> equinox) {
  if (radesys == "ICRS") return {};
  if (radesys == "FK5" && (!equinox || std::abs(*equinox - kJ2000Equinox) < kEquinoxTolerance))
    return {};
  std::string what =
      "WCS frame " + (radesys.empty() ? std::string("unnamed") : std::string(radesys));
  if (equinox) {
    char text[32];
    std::snprintf(text, sizeof text, " equinox %g", *equinox);
    what += text;
  }
  return what + " is not ICRS or FK5 J2000";
}

bool SingularMatrix(double a11, double a12, double a21, double a22) {
  const double det = a11 * a22 - a12 * a21;
  const double size = std::hypot(a11, a12) * std::hypot(a21, a22);
  return !(std::abs(det) > kSingularSine * size);
}

bool MarkedAsSolve(const FitsCards& cards) {
  const std::string ctype = StringValue(cards.Value("CTYPE1").value_or(""));
  return ctype.ends_with("-SIP") || ctype.find("TPV") != std::string::npos ||
         cards.Value(kSolvedKey) == "T" || cards.AnyHolds("HISTORY", kAstrometryNet) ||
         cards.AnyHolds("COMMENT", kAstrometryNet);
}

std::optional<double> FitsNumber(std::string_view text) {
  std::string number(Trim(text));
  if (number.empty()) return std::nullopt;
  if (auto d = number.find_first_of("dD"); d != std::string::npos) number[d] = 'E';
  return NumberOf(number);
}

std::optional<std::string_view> FitsCards::Value(std::string_view key) const {
  const std::string_view all(cards_);
  for (std::size_t at = 0; at + kCardLength <= all.size(); at += kCardLength) {
    const std::string_view card = all.substr(at, kCardLength);
    if (KeyOf(card) == key && HasValue(card)) return CardValue(card);
  }
  return std::nullopt;
}

bool FitsCards::Has(std::string_view key) const {
  const std::string_view all(cards_);
  for (std::size_t at = 0; at + kCardLength <= all.size(); at += kCardLength)
    if (KeyOf(all.substr(at, kCardLength)) == key) return true;
  return false;
}

bool FitsCards::AnyHolds(std::string_view key, std::string_view text) const {
  const std::string_view all(cards_);
  for (std::size_t at = 0; at + kCardLength <= all.size(); at += kCardLength) {
    const std::string_view card = all.substr(at, kCardLength);
    if (KeyOf(card) == key && card.substr(kKeywordLength).find(text) != std::string_view::npos)
      return true;
  }
  return false;
}

std::optional<FitsCards> PrimaryHeader(std::string_view bytes, std::string& error) {
  // Shorter than a card: FITS only if it begins as one would.
  if (bytes.size() < kCardLength && !bytes.starts_with(kSimple)) {
    error = std::string(kNotFits);
    return std::nullopt;
  }
  for (std::size_t at = 0; at + kCardLength <= bytes.size(); at += kCardLength) {
    const std::string_view card = bytes.substr(at, kCardLength);
    for (const char c : card)
      if (c < kFirstPrintable || c > kLastPrintable) {
        error = "header card " + std::to_string(at / kCardLength + 1) + " is not printable ASCII";
        return std::nullopt;
      }
    if (at == 0 && (KeyOf(card) != kSimple || !HasValue(card) || CardValue(card) != "T")) {
      error = std::string(kNotFits);
      return std::nullopt;
    }
    if (KeyOf(card) == kEnd) return FitsCards(std::string(bytes.substr(0, at)));
  }
  error = "its header has no END card in its first " + std::to_string(bytes.size()) + " bytes";
  return std::nullopt;
}

PlateReading PlateOf(const FitsCards& cards, int width, int height) {
  PlateReading out;
  const std::array<std::string, 2> ctype = {StringValue(cards.Value("CTYPE1").value_or("")),
                                            StringValue(cards.Value("CTYPE2").value_or(""))};
  if (ctype[0].empty() && ctype[1].empty()) return out;
  bool sip = false;
  const std::optional<int> ra_axis = CelestialAxes(ctype, out.error, sip);
  if (!ra_axis) return out;
  Numbers n(cards);
  const std::optional<Matrix> m = MatrixOf(n, cards);
  const std::array<double, 2> crpix = {n.Or("CRPIX1", 0), n.Or("CRPIX2", 0)};
  const std::array<double, 2> crval = {n.Or("CRVAL1", 0), n.Or("CRVAL2", 0)};
  const double lonpole = n.Or("LONPOLE", kDefaultLonpoleDeg);
  if (!n.error.empty()) {
    out.error = n.error;
    return out;
  }
  if (!m) {
    out.unused = std::string(kNoScaleText);
    return out;
  }
  if (out.error = FrameError(cards, n); !out.error.empty()) return out;
  if (SingularMatrix((*m)[0][0], (*m)[0][1], (*m)[1][0], (*m)[1][1])) {
    out.error = "WCS has a singular CD or PC matrix";
    return out;
  }
  double u = (width + 1) / 2.0 - crpix[0], v = (height + 1) / 2.0 - crpix[1];
  if (sip) {
    const double du = SipSum(n, "A", u, v), dv = SipSum(n, "B", u, v);
    u += du;
    v += dv;
  }
  if (!n.error.empty()) {
    out.error = n.error;
    return out;
  }
  const std::array<double, 2> world = {(*m)[0][0] * u + (*m)[0][1] * v,
                                       (*m)[1][0] * u + (*m)[1][1] * v};
  const int ra = *ra_axis, dec = 1 - ra;
  const auto [ra_deg, dec_deg] =
      Deprojected(world[ra], world[dec], {crval[ra], crval[dec]}, lonpole);
  PlateSky sky;
  sky.ra_hours = ra_deg / kDegreesPerHour;
  sky.dec_deg = dec_deg;
  sky.scale_arcsec =
      std::sqrt(std::abs((*m)[0][0] * (*m)[1][1] - (*m)[0][1] * (*m)[1][0])) * kArcsecPerDegree;
  sky.field_deg = std::max(width, height) * sky.scale_arcsec / kArcsecPerDegree;
  out.sky = sky;
  out.solved = MarkedAsSolve(cards);
  return out;
}

}  // namespace orvan::points
