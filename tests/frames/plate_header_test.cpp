// The portable header reader against wcslib, on the headers solvers and
// capture programs write: the same middle to a milliarcsecond, and the same
// refusals, each with its cause.
#include "points/plate_header.h"

#include "points/exposure_header.h"
#include "points/fits_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "fits_bytes.h"
#include "frames/frame_file.h"
#include "pointing/sky.h"
#include "support/units.h"

namespace orvan::frames {
namespace {

using testing::Card;
using testing::Header;

constexpr int kWidth = 1600, kHeight = 1100;
constexpr double kScaleDeg = 3.0 / 3600;
constexpr double kMasDeg = 1.0 / 3600 / 1000;
// The portable reader takes the scale at the reference point, wcslib at
// the middle pixel: they part by the projection's and SIP's stretch there.
constexpr double kScalePart = 2e-3;

std::string Text(const std::string& s) {
  return "'" + s + "'";
}

std::string Number(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.12G", v);
  return text;
}

// A TAN WCS with a CD matrix for `scale` degrees a pixel turned by `turn`
// degrees, east to the left, about `crval` at `crpix`.
std::vector<std::string> Tan(double ra, double dec, double crpix1, double crpix2, double turn,
                             const std::string& ctype = "TAN") {
  const double c = std::cos(turn * kRadiansPerDegree), s = std::sin(turn * kRadiansPerDegree);
  return {Card("CTYPE1", Text("RA---" + ctype)),
          Card("CTYPE2", Text("DEC--" + ctype)),
          Card("CRPIX1", Number(crpix1)),
          Card("CRPIX2", Number(crpix2)),
          Card("CRVAL1", Number(ra)),
          Card("CRVAL2", Number(dec)),
          Card("CD1_1", Number(-kScaleDeg * c)),
          Card("CD1_2", Number(kScaleDeg * s)),
          Card("CD2_1", Number(kScaleDeg * s)),
          Card("CD2_2", Number(kScaleDeg * c))};
}

std::vector<std::string> With(std::vector<std::string> cards,
                              const std::vector<std::string>& more) {
  cards.insert(cards.end(), more.begin(), more.end());
  return cards;
}

// The cards of a whole primary header, without END.
std::string Cards(const std::vector<std::string>& cards) {
  const std::string header = Header(Card("SIMPLE", "T"), 16, {kWidth, kHeight}, cards);
  return header.substr(0, header.find("END     "));
}

// What wcslib makes of the same cards, read as a solver's WCS file through
// the Linux program's own reader.
std::optional<FrameSky> Wcslib(const std::string& cards, std::string& error) {
  const testing::TempFolder folder;
  const std::string end = std::string("END").append(testing::kCard - 3, ' ');
  return ReadWcsFile(folder.Write("plate.wcs", testing::Padded(cards + end, ' ')), kWidth, kHeight,
                     error);
}

// A card without a value, as HISTORY and COMMENT are.
std::string Comment(std::string text) {
  text.resize(testing::kCard, ' ');
  return text;
}

struct Agreeing {
  const char* name;
  std::vector<std::string> cards;
  bool solved;
};

TEST(PlateHeader, FindsTheMiddleWcslibFinds) {
  const double c30 = std::cos(30 * kRadiansPerDegree), s30 = std::sin(30 * kRadiansPerDegree);
  const Agreeing rows[] = {
      // PinPoint, as ACP runs it: CD, and CDELT with CROTA as well.
      {"pinpoint",
       With(Tan(83.5, 20.1, 800.5, 550.5, 30),
            {Card("CDELT1", Number(-kScaleDeg)), Card("CDELT2", Number(kScaleDeg)),
             Card("CROTA1", "30"), Card("CROTA2", "30"), Card("EQUINOX", "2000.0"),
             Card("PLTSOLVD", "T")}),
       true},
      // MaxIm DL: CDELT and CROTA2 alone, the reference off the middle.
      {"maxim",
       {Card("CTYPE1", Text("RA---TAN")), Card("CTYPE2", Text("DEC--TAN")), Card("CRPIX1", "700"),
        Card("CRPIX2", "600"), Card("CRVAL1", "201.25"), Card("CRVAL2", "-35.5"),
        Card("CDELT1", Number(-kScaleDeg)), Card("CDELT2", Number(kScaleDeg)),
        Card("CROTA2", "12.5")},
       false},
      // CD alone, far from the reference, by the pole.
      {"cd_near_pole", Tan(12.0, 85.0, 100, 100, -70), false},
      // PC scaled by CDELT.
      {"pc",
       {Card("CTYPE1", Text("RA---TAN")), Card("CTYPE2", Text("DEC--TAN")), Card("CRPIX1", "812"),
        Card("CRPIX2", "540"), Card("CRVAL1", "310.75"), Card("CRVAL2", "45.2"),
        Card("CDELT1", Number(-kScaleDeg)), Card("CDELT2", Number(kScaleDeg)),
        Card("PC1_1", Number(c30)), Card("PC1_2", Number(-s30)), Card("PC2_1", Number(s30)),
        Card("PC2_2", Number(c30))},
       false},
      // astrometry.net: SIP about a reference off the middle.
      {"sip",
       With(Tan(150.1, 2.2, 400, 300, 95, "TAN-SIP"),
            {Card("A_ORDER", "2"), Card("A_2_0", "2.1E-6"), Card("A_1_1", "-1.3E-6"),
             Card("A_0_2", "7.5E-7"), Card("B_ORDER", "2"), Card("B_2_0", "-9.0E-7"),
             Card("B_1_1", "1.7E-6"), Card("B_0_2", "3.3E-6")}),
       true},
      // FK5 by its old names, at J2000; right ascension across 0 h.
      {"fk5_epoch",
       With(Tan(359.99, -10.0, 800.5, 550.5, 180),
            {Card("RADECSYS", Text("FK5")), Card("EPOCH", "2000")}),
       false},
      // astrometry.net's own name in its history, and ICRS named.
      {"history",
       With(Tan(45.0, 60.0, 1000, 200, 0),
            {Card("RADESYS", Text("ICRS")),
             Comment("HISTORY Created by the Astrometry.net suite.")}),
       true},
  };
  for (const Agreeing& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string cards = Cards(row.cards);
    const points::PlateReading portable =
        points::PlateOf(points::FitsCards(cards), kWidth, kHeight);
    std::string error;
    const std::optional<FrameSky> wcslib = Wcslib(cards, error);
    ASSERT_TRUE(wcslib) << error;
    ASSERT_TRUE(portable.sky) << portable.error;
    EXPECT_EQ(portable.error, "");
    EXPECT_LT(
        pointing::SeparationDeg({portable.sky->ra_hours, portable.sky->dec_deg}, wcslib->center),
        kMasDeg);
    EXPECT_NEAR(portable.sky->scale_arcsec / wcslib->scale_arcsec, 1, kScalePart);
    EXPECT_NEAR(portable.sky->field_deg / wcslib->field_deg, 1, kScalePart);
    EXPECT_EQ(portable.solved, row.solved);
  }
}

struct Refused {
  const char* name;
  std::vector<std::string> cards;
  std::string error;
  bool wcslib_too;  // wcslib's reader says the same
};

TEST(PlateHeader, RefusesWhatItCannotTakeWithItsCause) {
  const std::vector<std::string> fine = Tan(83.5, 20.1, 800.5, 550.5, 0);
  std::vector<std::string> bad_value = fine;
  bad_value[4] = Card("CRVAL1", "83.5.1");
  std::vector<std::string> no_value = fine;
  no_value[5] = Comment("CRVAL2  20.1");
  std::vector<std::string> singular = Tan(83.5, 20.1, 800.5, 550.5, 0);
  singular[8] = Card("CD2_1", Number(-kScaleDeg));
  singular[9] = Card("CD2_2", "0");
  singular[7] = Card("CD1_2", "0");
  const std::vector<std::string> no_scale = {fine[0], fine[1], fine[2], fine[3], fine[4], fine[5]};
  std::vector<std::string> galactic = fine;
  galactic[0] = Card("CTYPE1", Text("GLON-TAN"));
  galactic[1] = Card("CTYPE2", Text("GLAT-TAN"));
  const Refused rows[] = {
      {"bad number", bad_value, "bad WCS card CRVAL1: \"83.5.1\" is not a finite number", true},
      {"no value", no_value, "WCS card CRVAL2 has no value", true},
      {"fk4", With(fine, {Card("RADESYS", Text("FK4")), Card("EQUINOX", "1950.0")}),
       "WCS frame FK4 equinox 1950 is not ICRS or FK5 J2000", true},
      {"b1950", With(fine, {Card("EPOCH", "1950")}),
       "WCS frame FK4 equinox 1950 is not ICRS or FK5 J2000", true},
      {"singular", singular, "WCS has a singular CD or PC matrix", true},
      {"galactic", galactic, "WCS axes GLON/GLAT are not RA/DEC", true},
      {"sin", Tan(83.5, 20.1, 800.5, 550.5, 0, "SIN"),
       "WCS projection \"RA---SIN\" is not read: TAN only, with or without SIP", false},
      {"tpv", Tan(83.5, 20.1, 800.5, 550.5, 0, "TPV"),
       "WCS projection \"RA---TPV\" is not read: TAN only, with or without SIP", false},
  };
  for (const Refused& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string cards = Cards(row.cards);
    const points::PlateReading portable =
        points::PlateOf(points::FitsCards(cards), kWidth, kHeight);
    EXPECT_FALSE(portable.sky);
    EXPECT_EQ(portable.error, row.error);
    if (!row.wcslib_too) continue;
    std::string error;
    EXPECT_FALSE(Wcslib(cards, error));
    EXPECT_EQ(error, row.error);
  }
  // No scale: the WCS is passed over, not refused.
  const points::PlateReading unscaled =
      points::PlateOf(points::FitsCards(Cards(no_scale)), kWidth, kHeight);
  EXPECT_FALSE(unscaled.sky);
  EXPECT_EQ(unscaled.error, "");
  EXPECT_EQ(unscaled.unused, points::kNoScaleText);
  // No celestial axes: no WCS at all.
  const points::PlateReading none = points::PlateOf(points::FitsCards(Cards({})), kWidth, kHeight);
  EXPECT_FALSE(none.sky);
  EXPECT_EQ(none.error + none.unused, "");
}

TEST(PlateHeader, ReadsThePrimaryHeaderOnlyWhenItIsWholeAndFits) {
  const std::string whole = Header(Card("SIMPLE", "T"), 16, {4, 4}, {Card("OBJECT", Text("M1"))});
  struct Row {
    const char* name;
    std::string bytes;
    std::string error;
  };
  std::string unprintable = whole;
  unprintable[3 * testing::kCard + 12] = '\x07';
  const Row rows[] = {
      {"whole", whole, ""},
      {"cut before END", whole.substr(0, 4 * testing::kCard),
       "its header has no END card in its first 320 bytes"},
      {"not simple", Header(Card("SIMPLE", "F"), 16, {4, 4}, {}),
       "not a FITS file: it does not begin with SIMPLE = T"},
      {"extension first", Header(Card("XTENSION", Text("IMAGE")), 16, {4, 4}, {}),
       "not a FITS file: it does not begin with SIMPLE = T"},
      {"unprintable", unprintable, "header card 4 is not printable ASCII"},
      {"a line of text", "not a FITS file\n", "not a FITS file: it does not begin with SIMPLE = T"},
      {"less than a card", "SIMPLE  =", "its header has no END card in its first 9 bytes"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::string error;
    const std::optional<points::FitsCards> cards = points::PrimaryHeader(row.bytes, error);
    EXPECT_EQ(error, row.error);
    EXPECT_EQ(cards.has_value(), row.error.empty());
    if (cards) {
      EXPECT_EQ(cards->Value("OBJECT"), "'M1'");
    }
  }
  // A string's slash and doubled quote are its own; a comment is not.
  const points::FitsCards cards(Card("OBJECT", "'a/b''c' / name") + Card("EXPTIME", "30 / s"));
  EXPECT_EQ(cards.Value("OBJECT"), "'a/b''c'");
  EXPECT_EQ(cards.Value("EXPTIME"), "30");
  EXPECT_EQ(cards.Value("NONE"), std::nullopt);
}

// The times as the small reader gives them to the shared rules: ACP's own
// date and time apart, a middle given, a modified Julian date; a leap second
// only on a day that had one.
TEST(PlateHeader, TheExposuresMiddleFromTheCardsAlone) {
  struct Row {
    const char* name;
    std::vector<std::string> cards;
    double mid, exposure;
    std::string error;
  };
  const Row rows[] = {
      {"acp",
       {Card("DATE-OBS", Text("2026-12-10")), Card("TIME-OBS", Text("21:04:08.5")),
        Card("EXPOSURE", "30")},
       850208663.5,
       30,
       ""},
      {"middle",
       {Card("DATE-AVG", Text("2026-12-10T21:04:00")), Card("EXPTIME", "60")},
       850208640,
       60,
       ""},
      {"mjd", {Card("MJD-OBS", "61384.25"), Card("EXPTIME", "20")}, 850154410, 20, ""},
      {"leap",
       {Card("DATE-OBS", Text("2016-12-31T23:59:60")), Card("EXPTIME", "0")},
       536500800,
       0,
       ""},
      {"no leap",
       {Card("DATE-OBS", Text("2026-06-30T23:59:60")), Card("EXPTIME", "1")},
       0,
       0,
       "bad DATE-OBS \"2026-06-30T23:59:60\""},
      {"no date", {Card("EXPTIME", "1")}, 0, 0, "no DATE-OBS, DATE-BEG, DATE-AVG or MJD-OBS"},
      {"bad length",
       {Card("MJD-OBS", "61384.25"), Card("EXPTIME", "-1")},
       0,
       0,
       "bad EXPTIME \"-1\": not a number of seconds from 0 to 86400"},
  };
  const points::LeapSecondDay leap = [](int y, int m, int d) {
    return y == 2016 && m == 12 && d == 31;
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const points::FitsCards cards(Cards(row.cards));
    std::string error;
    const auto times = points::ExposureTimesOf(points::LookupIn(cards), leap, error);
    EXPECT_EQ(error, row.error);
    ASSERT_EQ(times.has_value(), row.error.empty());
    if (!times) continue;
    EXPECT_EQ(times->mid_exposure, row.mid);
    EXPECT_EQ(times->exposure_s, row.exposure);
  }
  // 3.76 um pixels binned 2 x 2 behind 530 mm: 2.9266" (206.265" a radian).
  const points::FitsCards optics(
      Cards({Card("XPIXSZ", "3.76"), Card("XBINNING", "2"), Card("FOCALLEN", "530")}));
  EXPECT_NEAR(*points::OpticsScaleArcsec(points::LookupIn(optics)), 2.92663, 1e-5);
}

// A frame by its name: the Windows program, with no decompressor, takes the
// plain names alone.
TEST(FrameName, PlainAndCompressedEndingsInAnyCase) {
  struct Row {
    const char* name;
    bool any, plain;
  };
  const Row rows[] = {
      {"m31.fits", true, true},       {"M31.FIT", true, true},    {"a.b.Fts", true, true},
      {"m31.fits.fz", true, false},   {"m31.fz", true, false},    {"m31.fit.GZ", true, false},
      {"m31.gz", false, false},       {".fits", false, false},    {"fits", false, false},
      {"m31.fits.txt", false, false}, {"m31.fitsx", false, false}};
  for (const Row& row : rows) {
    EXPECT_EQ(points::IsFrameName(row.name), row.any) << row.name;
    EXPECT_EQ(points::IsFrameName(row.name, false), row.plain) << row.name;
  }
}

}  // namespace
}  // namespace orvan::frames
