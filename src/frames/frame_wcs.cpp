#include "frames/frame_wcs.h"

#include <wcslib/wcs.h>
#include <wcslib/wcserr.h>
#include <wcslib/wcshdr.h>
#include <wcslib/wcsmath.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <mutex>
#include <string_view>
#include <vector>

#include "points/text_fields.h"
#include "support/units.h"

namespace orvan::frames {
namespace {

// The places asked of wcslib: the middle pixel, then half a pixel either side
// of it along x and along y.
constexpr int kPlaces = 5;
constexpr double kHalfStep = 0.5;

// wcspih's array of headers, freed whatever happens.
struct WcsArray {
  int count = 0;
  wcsprm* wcs = nullptr;
  WcsArray() = default;
  WcsArray(const WcsArray&) = delete;
  WcsArray& operator=(const WcsArray&) = delete;
  ~WcsArray() {
    if (wcs != nullptr) wcsvfree(&count, &wcs);
  }
};

// wcslib says why it refuses something only when asked to, process-wide.
void EnableWcsMessages() {
  static std::once_flag once;
  std::call_once(once, [] { wcserr_enable(1); });
}

std::string WcsMessage(const wcsprm& wcs, int status) {
  if (wcs.err != nullptr && wcs.err->msg != nullptr && wcs.err->msg[0] != '\0') {
    return wcs.err->msg;
  }
  return wcs_errmsg[status];
}

// Whether the header names any axis type (CTYPEn): one without is no WCS,
// whatever else it holds.
bool HasTypes(const wcsprm& wcs) {
  for (int i = 0; i < wcs.naxis; ++i) {
    const std::string_view ctype(wcs.ctype[i]);
    if (ctype.find_first_not_of(' ') != std::string_view::npos) return true;
  }
  return false;
}

// The primary description (no alternate letter) among those wcspih found.
wcsprm* Primary(const WcsArray& all) {
  for (int i = 0; i < all.count; ++i) {
    if (all.wcs[i].alt[0] == ' ' || all.wcs[i].alt[0] == '\0') return &all.wcs[i];
  }
  return nullptr;
}

std::string FrameError(const wcsprm& wcs) {
  return points::FrameNotJ2000(
      wcs.radesys, undefined(wcs.equinox) ? std::nullopt : std::optional<double>(wcs.equinox));
}

// Whether the pixel-to-plane matrix of the sky axes maps the image to a line
// (or a point), as a CD matrix with proportional rows does: wcslib inverts
// such a matrix without a word. The matrix is PC
// scaled by CDELT (a CD matrix is kept as PC with CDELT 1): wcslib leaves its
// product, piximg, unmade where PC is the unit matrix (CDELT alone).
bool Singular(const wcsprm& wcs) {
  const auto n = static_cast<std::size_t>(wcs.naxis);
  const auto row = [&](int axis) {
    const auto at = static_cast<std::size_t>(axis);
    const double* pc = wcs.lin.pc + at * n;
    return std::array<double, 2>{wcs.lin.cdelt[at] * pc[0], wcs.lin.cdelt[at] * pc[1]};
  };
  const auto lng = row(wcs.lng);
  const auto lat = row(wcs.lat);
  return points::SingularMatrix(lng[0], lng[1], lat[0], lat[1]);
}

// The middle pixel's place, and the pixel's size there: the geometric mean
// of one-pixel steps along x and along y, taken centred on it.
std::optional<FrameSky> Place(wcsprm& wcs, int width, int height, std::string& error) {
  const double cx = (width + 1) / 2.0;
  const double cy = (height + 1) / 2.0;
  const std::array<std::array<double, 2>, kPlaces> pixels = {{{cx, cy},
                                                              {cx - kHalfStep, cy},
                                                              {cx + kHalfStep, cy},
                                                              {cx, cy - kHalfStep},
                                                              {cx, cy + kHalfStep}}};
  const auto n = static_cast<std::size_t>(wcs.naxis);
  // Axes beyond the image's two stand at their first pixel.
  std::vector<double> pixcrd(kPlaces * n, 1.0);
  for (std::size_t k = 0; k < kPlaces; ++k) {
    pixcrd[k * n] = pixels[k][0];
    pixcrd[k * n + 1] = pixels[k][1];
  }
  std::vector<double> imgcrd(kPlaces * n), world(kPlaces * n);
  std::array<double, kPlaces> phi{}, theta{};
  std::array<int, kPlaces> stat{};
  const int status = wcsp2s(&wcs, kPlaces, wcs.naxis, pixcrd.data(), imgcrd.data(), phi.data(),
                            theta.data(), world.data(), stat.data());
  if (status != 0 ||
      !std::all_of(world.begin(), world.end(), [](double v) { return std::isfinite(v); })) {
    error = "WCS has no sky place at the middle pixel";
    return std::nullopt;
  }
  const auto lng = static_cast<std::size_t>(wcs.lng);
  const auto lat = static_cast<std::size_t>(wcs.lat);
  std::array<pointing::RaDec, kPlaces> at{};
  for (std::size_t k = 0; k < kPlaces; ++k)
    at[k] = {world[k * n + lng] / kDegreesPerHour, world[k * n + lat]};
  const double step_x = pointing::SeparationDeg(at[1], at[2]);
  const double step_y = pointing::SeparationDeg(at[3], at[4]);
  FrameSky sky;
  double ra = std::fmod(world[lng], kDegreesPerTurn);
  if (ra < 0) ra += kDegreesPerTurn;
  sky.center = {ra / kDegreesPerHour, world[lat]};
  sky.scale_arcsec = std::sqrt(step_x * step_y) * kArcsecPerDegree;
  sky.field_deg = std::max(width, height) * sky.scale_arcsec / kArcsecPerDegree;
  return sky;
}

bool Digits(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// "1_2" and the like: two axis numbers joined by an underscore.
bool AxisPair(std::string_view text) {
  const auto bar = text.find('_');
  return bar != std::string_view::npos && Digits(text.substr(0, bar)) &&
         Digits(text.substr(bar + 1));
}

// A keyword without its alternate description's letter (A to Z) at the end.
std::string_view WithoutAlternate(std::string_view key) {
  if (key.size() > 1 && key.back() >= 'A' && key.back() <= 'Z' && key[key.size() - 2] >= '0' &&
      key[key.size() - 2] <= '9') {
    key.remove_suffix(1);
  }
  return key;
}

// Whether the keyword is one of the WCS's numbers, of any description.
bool WcsNumberKey(std::string_view key) {
  static constexpr std::array<std::string_view, 4> kAxis = {"CRPIX", "CRVAL", "CDELT", "CROTA"};
  static constexpr std::array<std::string_view, 3> kMatrix = {"CD", "PC", "PV"};
  static constexpr std::array<std::string_view, 8> kNamed = {
      "EQUINOX", "EPOCH", "LONPOLE", "LATPOLE", "A_ORDER", "B_ORDER", "AP_ORDER", "BP_ORDER"};
  static constexpr std::array<std::string_view, 4> kSip = {"A_", "B_", "AP_", "BP_"};
  const std::string_view base = WithoutAlternate(key);
  if (std::find(kNamed.begin(), kNamed.end(), key) != kNamed.end()) return true;
  for (std::string_view p : kAxis)
    if (base.starts_with(p) && Digits(base.substr(p.size()))) return true;
  for (std::string_view p : kMatrix)
    if (base.starts_with(p) && AxisPair(base.substr(p.size()))) return true;
  for (std::string_view p : kSip)
    if (key.starts_with(p) && AxisPair(key.substr(p.size()))) return true;
  return false;
}

// wcslib passes over a WCS card it cannot read and takes the keyword's
// default instead (0 for CRPIX): such a card fails the frame, named.
std::string CheckNumbers(std::string_view header, bool& scaled) {
  for (std::size_t at = 0; at + kCardLength <= header.size(); at += kCardLength) {
    const std::string_view card = header.substr(at, kCardLength);
    std::string_view key = card.substr(0, kKeywordLength);
    key = key.substr(0, key.find_last_not_of(' ') + 1);
    if (!WcsNumberKey(key)) continue;
    if (card.substr(kKeywordLength, kValueIndicator.size()) != kValueIndicator) {
      return "WCS card " + std::string(key) + " has no value";
    }
    const std::string_view value = points::CardValue(card);
    if (!FitsNumber(value)) {
      return "bad WCS card " + std::string(key) + ": " + points::Quoted(value) +
             " is not a finite number";
    }
    const bool primary = key == WithoutAlternate(key);
    if (primary &&
        (key.starts_with("CDELT") || (key.starts_with("CD") && AxisPair(key.substr(2))))) {
      scaled = true;
    }
  }
  return {};
}

}  // namespace

HeaderWcs SkyOfHeader(std::string header, int records, int width, int height) {
  EnableWcsMessages();
  HeaderWcs out;
  WcsArray all;
  int rejected = 0;
  const int status = wcspih(header.data(), records, WCSHDR_all, 0, &rejected, &all.count, &all.wcs);
  if (status != 0) {
    out.error = std::string("WCS refused by wcslib: ") + wcshdr_errmsg[status];
    return out;
  }
  wcsprm* wcs = Primary(all);
  if (wcs == nullptr || !HasTypes(*wcs)) return out;
  bool scaled = false;
  if (out.error = CheckNumbers(header, scaled); !out.error.empty()) return out;
  if (!scaled) {
    out.unused = std::string(points::kNoScaleText);
    return out;
  }
  if (const int set = wcsset(wcs); set != 0) {
    out.error = "WCS refused by wcslib: " + WcsMessage(*wcs, set);
    return out;
  }
  if (wcs->lng < 0 || wcs->lat < 0) return out;
  if (std::string_view(wcs->lngtyp) != "RA" || std::string_view(wcs->lattyp) != "DEC") {
    out.error = std::string("WCS axes ") + wcs->lngtyp + "/" + wcs->lattyp + " are not RA/DEC";
    return out;
  }
  if (out.error = FrameError(*wcs); !out.error.empty()) return out;
  if (Singular(*wcs)) {
    out.error = "WCS has a singular CD or PC matrix";
    return out;
  }
  out.solved = points::MarkedAsSolve(points::FitsCards(header));
  out.sky = Place(*wcs, width, height, out.error);
  return out;
}

}  // namespace orvan::frames
