#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

#include "fits_bytes.h"
#include "frames/frame_file.h"
#include "frames/whole_file.h"

namespace orvan::frames {
namespace {

using testing::Card;
using testing::Fits;
using testing::FitsInExtension;
using testing::TempFolder;

constexpr double kRad = std::numbers::pi / 180;
// 2026-12-08T21:04:08Z: 9838 days from 2000-01-01T00:00 (26 years with
// seven leap days, then 334 + 7 days into 2026), plus 21:04:08, less the
// half day to J2000.0's noon.
constexpr double kStart = 9838.0 * 86400 + 21 * 3600 + 4 * 60 + 8 - 43200;
static_assert(kStart == 850035848.0);
// The image the WCS rows describe: its middle pixel is (51, 41).
constexpr int kWidth = 101;
constexpr int kHeight = 81;
// 3"/px: 3/3600 degrees, as a header writes it.
const std::string kCd = "8.333333333333333E-04";
const std::string kMinusCd = "-" + kCd;

// Where standard coordinates (xi, eta, degrees) fall from a tangent point,
// by the gnomonic projection's textbook inverse:
//   ra  = ra0 + atan2(xi, cos dec0 - eta sin dec0)
//   dec = atan2(sin dec0 + eta cos dec0, hypot(xi, cos dec0 - eta sin dec0))
pointing::RaDec Gnomonic(double ra0, double dec0, double xi_deg, double eta_deg) {
  const double xi = xi_deg * kRad;
  const double eta = eta_deg * kRad;
  const double across = std::cos(dec0 * kRad) - eta * std::sin(dec0 * kRad);
  const double ra = ra0 + std::atan2(xi, across) / kRad;
  const double dec =
      std::atan2(std::sin(dec0 * kRad) + eta * std::cos(dec0 * kRad), std::hypot(xi, across)) /
      kRad;
  return {ra / 15, dec};
}

std::vector<std::string> Cards(std::vector<std::string> wcs) {
  std::vector<std::string> cards = {Card("DATE-OBS", "'2026-12-08T21:04:08'"),
                                    Card("EXPTIME", "30")};
  cards.insert(cards.end(), wcs.begin(), wcs.end());
  return cards;
}

std::vector<std::string> Tan(const std::string& projection, const std::string& ra,
                             const std::string& dec, const std::string& crpix1,
                             const std::string& crpix2) {
  return {Card("CTYPE1", "'RA---" + projection + "'"),
          Card("CTYPE2", "'DEC--" + projection + "'"),
          Card("CRVAL1", ra),
          Card("CRVAL2", dec),
          Card("CRPIX1", crpix1),
          Card("CRPIX2", crpix2),
          Card("CD1_1", kMinusCd),
          Card("CD1_2", "0"),
          Card("CD2_1", "0"),
          Card("CD2_2", kCd)};
}

std::vector<std::string> Plus(std::vector<std::string> cards,
                              const std::vector<std::string>& more) {
  cards.insert(cards.end(), more.begin(), more.end());
  return cards;
}

struct Good {
  const char* name;
  std::string bytes;
  double mid_exposure;
  int width, height;
  std::optional<pointing::RaDec> center;
  double scale_arcsec;  // where there is a center
  double scale_tolerance;
  std::optional<double> hint;
};

double CosRho(double xi_deg) {
  return std::cos(std::atan(xi_deg * kRad));
}

std::vector<Good> GoodFrames() {
  return {
      // The leap second that ended 2016 reads as the first second of 2017:
      // 6210 days (17 years, 5 of them leap years) less half a day to J2000.0,
      // then 0.5 s into the day and half the 1-s exposure.
      {"in a leap second",
       Fits({20, 10}, {Card("DATE-OBS", "'2016-12-31T23:59:60.5'"), Card("EXPTIME", "1")}),
       6210.0 * 86400 - 43200 + 1, 20, 10, std::nullopt, 0, 0, std::nullopt},
      // The date alone in DATE-OBS, the time in TIME-OBS, as older capture
      // programs write them.
      {"DATE-OBS and TIME-OBS",
       Fits({20, 10}, {Card("DATE-OBS", "'2026-12-08'"), Card("TIME-OBS", "'21:04:08'"),
                       Card("EXPTIME", "30")}),
       kStart + 15, 20, 10, std::nullopt, 0, 0, std::nullopt},
      // DATE-AVG is the middle itself, before any start.
      {"DATE-AVG",
       Fits({20, 10}, {Card("DATE-OBS", "'2026-12-08T21:00:00'"),
                       Card("DATE-AVG", "'2026-12-08T21:04:08'"), Card("EXPTIME", "30")}),
       kStart, 20, 10, std::nullopt, 0, 0, std::nullopt},
      // MJD 61383 is 2026-12-09T00:00Z (date(1): 61383 days after
      // 1858-11-17): 9838.5 days after J2000.0.
      {"MJD-OBS", Fits({20, 10}, {Card("MJD-OBS", "61383.0"), Card("EXPTIME", "30")}),
       9838.5 * 86400 + 15, 20, 10, std::nullopt, 0, 0, std::nullopt},
      // 206.265 x 3.76 um x 2 / 1000 mm = 1.5511128".
      {"no WCS, a pixel scale from the camera",
       Fits({20, 10},
            Cards({Card("XPIXSZ", "3.76"), Card("XBINNING", "2"), Card("FOCALLEN", "1000.0")})),
       kStart + 15, 20, 10, std::nullopt, 0, 0, 1.5511128},
      // A linear WCS without CTYPE is no place on the sky; 206.265 x 9 / 2000.
      {"in an extension, DATE-BEG, EXPOSURE",
       FitsInExtension({30, 40},
                       {Card("DATE-BEG", "'2026-12-08T21:04:08.250Z'"), Card("EXPOSURE", "0.5"),
                        Card("CDELT1", "0.001"), Card("PIXSIZE1", "9"), Card("FOCALLEN", "2000")}),
       kStart + 0.5, 30, 40, std::nullopt, 0, 0, 0.92819250},
      // CRPIX at the middle pixel: CRVAL itself, 3"/px (the half-pixel steps
      // either side differ from 3" by 1e-11 of it).
      {"TAN, FK5 J2000, at its reference pixel",
       Fits({kWidth, kHeight}, Cards(Plus(Tan("TAN", "150.0", "20.0", "51", "41"),
                                          {Card("RADESYS", "'FK5'"), Card("EQUINOX", "2000.0")}))),
       kStart + 15, kWidth, kHeight, pointing::RaDec{10.0, 20.0}, 3.0, 1e-9, std::nullopt},
      // The same by CDELT alone, with no CD or PC matrix.
      {"TAN by CDELT, at its reference pixel",
       Fits({kWidth, kHeight},
            Cards({Card("CTYPE1", "'RA---TAN'"), Card("CTYPE2", "'DEC--TAN'"),
                   Card("CRVAL1", "150.0"), Card("CRVAL2", "20.0"), Card("CRPIX1", "51"),
                   Card("CRPIX2", "41"), Card("CDELT1", kMinusCd), Card("CDELT2", kCd)})),
       kStart + 15, kWidth, kHeight, pointing::RaDec{10.0, 20.0}, 3.0, 1e-9, std::nullopt},
      // 1200 px left of CRPIX: xi = 1 degree, eta = 0. Radially a pixel
      // shrinks by cos^2 rho, across by cos rho (tan rho = xi).
      {"TAN, ICRS, 1 degree from its reference pixel",
       Fits({kWidth, kHeight},
            Cards(Plus(Tan("TAN", "30.0", "45.0", "1251", "41"), {Card("RADESYS", "'ICRS'")}))),
       kStart + 15, kWidth, kHeight, Gnomonic(30, 45, 1.0, 0), 3 * std::pow(CosRho(1.0), 1.5), 1e-9,
       std::nullopt},
      // u = 10, v = 0 from CRPIX: f = 0.01 u^2 = 1, g = 0.02 u^2 = 2, so the
      // middle pixel is (11, 2) px on the plane: xi = -11 x 3", eta = 2 x 3".
      // A step along x moves (1.2, 0.4) px, along y (0, 1): 3" x 1.6^(1/4),
      // within 1e-7" of the projection's own shrinking so near the axis.
      {"TAN-SIP",
       Fits({kWidth, kHeight}, Cards(Plus(Tan("TAN-SIP", "200.0", "-30.0", "41", "41"),
                                          {Card("A_ORDER", "2"), Card("A_2_0", "0.01"),
                                           Card("B_ORDER", "2"), Card("B_2_0", "0.02")}))),
       kStart + 15, kWidth, kHeight, Gnomonic(200, -30, -11 * 3 / 3600.0, 2 * 3 / 3600.0),
       3 * std::pow(1.6, 0.25), 1e-6, std::nullopt},
      // 240 px left of CRPIX: xi = 0.2 degree, and xi' = xi + 0.5 xi^2 = 0.22;
      // along x a step grows by 1 + 2 x 0.5 x 0.2 = 1.2, then shrinks as the
      // projection has it 0.22 degree out.
      {"TPV",
       Fits({kWidth, kHeight},
            Cards(Plus(Tan("TPV", "80.0", "10.0", "291", "41"),
                       {Card("PV1_1", "1.0"), Card("PV1_4", "0.5"), Card("PV2_1", "1.0")}))),
       kStart + 15, kWidth, kHeight, Gnomonic(80, 10, 0.22, 0),
       3 * std::sqrt(1.2) * std::pow(CosRho(0.22), 1.5), 1e-9, std::nullopt},
  };
}

TEST(FrameFile, ReadsTimeSizePlaceAndScale) {
  const TempFolder folder;
  for (const Good& c : GoodFrames()) {
    SCOPED_TRACE(c.name);
    const FrameRead read = ReadFrame(folder.Write("frame.fits", c.bytes));
    ASSERT_EQ(read.error, "");
    ASSERT_TRUE(read.header);
    const FrameHeader& h = *read.header;
    EXPECT_EQ(h.mid_exposure, c.mid_exposure);
    EXPECT_EQ(h.width, c.width);
    EXPECT_EQ(h.height, c.height);
    ASSERT_EQ(h.sky.has_value(), c.center.has_value());
    if (c.center) {
      EXPECT_NEAR(h.sky->center.ra * 15, c.center->ra * 15, 1e-9);
      EXPECT_NEAR(h.sky->center.dec, c.center->dec, 1e-9);
      EXPECT_NEAR(h.sky->scale_arcsec, c.scale_arcsec, c.scale_tolerance);
      EXPECT_NEAR(h.sky->field_deg, kWidth * c.scale_arcsec / 3600, c.scale_tolerance);
    }
    ASSERT_EQ(h.pixel_scale_arcsec.has_value(), c.hint.has_value());
    if (c.hint) {
      EXPECT_NEAR(*h.pixel_scale_arcsec, *c.hint, 1e-5);
    }
  }
}

struct Damaged {
  const char* name;
  std::string bytes;
  const char* error;
};

std::vector<Damaged> DamagedFrames() {
  const std::string whole = Fits({20, 10}, Cards({}));
  const auto wcs = [](const std::vector<std::string>& cards) {
    return Fits({20, 10}, Cards(cards));
  };
  const auto tan = Tan("TAN", "150", "20", "10", "5");
  return {
      {"empty", "", "empty file"},
      {"text", "SIMPLE FITS it is not\n", "not a FITS file"},
      {"cut in the header", whole.substr(0, 1000), "truncated header"},
      {"cut in the data", whole.substr(0, 2880 + 100), "truncated image data"},
      {"no date", Fits({20, 10}, {Card("EXPTIME", "30")}),
       "no DATE-OBS, DATE-BEG, DATE-AVG or MJD-OBS"},
      {"an MJD-OBS before 1900", Fits({20, 10}, {Card("MJD-OBS", "-1"), Card("EXPTIME", "30")}),
       "bad MJD-OBS \"-1\""},
      {"a day that is not",
       Fits({20, 10}, {Card("DATE-OBS", "'2026-02-30T21:04:08'"), Card("EXPTIME", "30")}),
       "bad DATE-OBS \"2026-02-30T21:04:08\""},
      {"a date alone", Fits({20, 10}, {Card("DATE-BEG", "'2026-12-08'"), Card("EXPTIME", "30")}),
       "bad DATE-BEG \"2026-12-08\""},
      {"no exposure", Fits({20, 10}, {Card("DATE-OBS", "'2026-12-08T21:04:08'")}),
       "no EXPTIME or EXPOSURE"},
      {"a negative exposure",
       Fits({20, 10}, {Card("DATE-OBS", "'2026-12-08T21:04:08'"), Card("EXPTIME", "-1.0")}),
       "bad EXPTIME \"-1.0\": not a number of seconds from 0 to 86400"},
      {"an exposure of 1e20 s",
       Fits({20, 10}, {Card("DATE-OBS", "'2026-12-08T21:04:08'"), Card("EXPTIME", "1E20")}),
       "bad EXPTIME \"1E20\": not a number of seconds from 0 to 86400"},
      {"a leap second on a day without one",
       Fits({20, 10}, {Card("DATE-OBS", "'2026-12-31T23:59:60.999'"), Card("EXPTIME", "30")}),
       "bad DATE-OBS \"2026-12-31T23:59:60.999\""},
      {"SIMPLE = F", "SIMPLE  =                    F" + whole.substr(30),
       "not a FITS file: SIMPLE is not T"},
      {"CRPIX1 = NaN", wcs(Tan("TAN", "150", "20", "NaN", "5")),
       "bad WCS card CRPIX1: \"NaN\" is not a finite number"},
      {"CRVAL1 without its =",
       wcs(Plus(tan, {std::string("CRVAL1    150.0").append(80 - 15, ' ')})),
       "WCS card CRVAL1 has no value"},
      {"1-D", Fits({20}, Cards({})), "not a 2-D image"},
      {"3-D", Fits({4, 4, 2}, Cards({})), "not a 2-D image"},
      {"singular CD",
       wcs({Card("CTYPE1", "'RA---TAN'"), Card("CTYPE2", "'DEC--TAN'"), Card("CD1_1", kCd),
            Card("CD1_2", kCd), Card("CD2_1", kCd), Card("CD2_2", kCd)}),
       "WCS has a singular CD or PC matrix"},
      {"an unknown projection", wcs(Tan("XYZ", "150", "20", "10", "5")),
       "WCS refused by wcslib: Unrecognized projection code (XYZ in CTYPE1)"},
      {"FK4 B1950", wcs(Plus(tan, {Card("RADESYS", "'FK4'"), Card("EQUINOX", "1950.0")})),
       "WCS frame FK4 equinox 1950 is not ICRS or FK5 J2000"},
      {"EQUINOX 1950 alone", wcs(Plus(tan, {Card("EQUINOX", "1950.0")})),
       "WCS frame FK4 equinox 1950 is not ICRS or FK5 J2000"},
      {"galactic",
       wcs({Card("CTYPE1", "'GLON-TAN'"), Card("CTYPE2", "'GLAT-TAN'"), Card("CDELT1", "0.001"),
            Card("CDELT2", "0.001")}),
       "WCS axes GLON/GLAT are not RA/DEC"},
  };
}

TEST(FrameFile, DamagedFramesSayWhy) {
  const TempFolder folder;
  for (const Damaged& c : DamagedFrames()) {
    SCOPED_TRACE(c.name);
    const FrameRead read = ReadFrame(folder.Write("frame.fits", c.bytes));
    EXPECT_FALSE(read.header);
    EXPECT_EQ(read.error, c.error);
  }
  const FrameRead gone = ReadFrame((folder.path() / "gone.fits").string());
  EXPECT_EQ(gone.error, "file went away while read");
}

TEST(FrameFile, WcsFileOfAHeaderAlone) {
  const TempFolder folder;
  std::string error;
  const auto sky =
      ReadWcsFile(folder.Write("frame.wcs", Fits({}, Tan("TAN", "150.0", "20.0", "51", "41"))),
                  kWidth, kHeight, error);
  EXPECT_EQ(error, "");
  ASSERT_TRUE(sky);
  EXPECT_NEAR(sky->center.ra, 10.0, 1e-12);
  EXPECT_NEAR(sky->center.dec, 20.0, 1e-12);
  EXPECT_FALSE(ReadWcsFile(folder.Write("none.wcs", Fits({}, {})), kWidth, kHeight, error));
  EXPECT_EQ(error, "no WCS");
}

// The size a file's headers declare, by hand: every header and data unit in
// whole 2880-byte blocks, data |BITPIX| / 8 x GCOUNT x (PCOUNT + the axes'
// product); a file that stops short declares more than it holds.
TEST(SizeDeclared, EveryUnitInWholeBlocks) {
  using testing::Header;
  const std::string image = Fits({100, 50}, {});  // 2880 + 5000 bytes in 5760
  const std::string floats = Header(Card("SIMPLE", "T"), -32, {100, 50}, {}) +
                             std::string(20160, '\0');  // 20000 bytes in 7 blocks
  const std::string table = Fits({}, {Card("EXTEND", "T")}) +
                            Header(Card("XTENSION", "'BINTABLE'"), 8, {16, 10},
                                   {Card("PCOUNT", "3000"), Card("GCOUNT", "1")}) +
                            std::string(5760, '\0');  // 160 + a heap of 3000 bytes in 2 blocks
  const std::string no_gcount = Fits({}, {Card("EXTEND", "T")}) +
                                Header(Card("XTENSION", "'IMAGE   '"), 8, {10}, {}) +
                                std::string(2880, '\0');
  const struct {
    const char* name;
    std::string bytes;
    std::optional<DeclaredSize> declared;
  } cases[] = {
      {"a header alone", Fits({}, {}), DeclaredSize{2880, true}},
      {"an 8-bit image", image, DeclaredSize{8640, true}},
      {"the image cut in its data", image.substr(0, 4000), DeclaredSize{8640, false}},
      {"the image cut in its header", image.substr(0, 1000), DeclaredSize{2880, false}},
      {"32-bit floats", floats, DeclaredSize{23040, true}},
      {"an image in an extension", FitsInExtension({100, 50}, {}), DeclaredSize{11520, true}},
      {"a table and its heap", table, DeclaredSize{11520, true}},
      {"the table's heap cut", table.substr(0, 9000), DeclaredSize{11520, false}},
      {"an extension lacking GCOUNT", no_gcount, std::nullopt},
      {"a negative axis", Fits({3}, {}).replace(240, 80, Card("NAXIS1", "-5")), std::nullopt},
      {"an axis that is no number", Fits({3}, {}).replace(240, 80, Card("NAXIS1", "'3'")),
       std::nullopt},
      {"not FITS", std::string(2880, 'x'), std::nullopt},
      // A short file is waited for only while it may yet be FITS.
      {"a line of text", "not a FITS file\n", std::nullopt},
      {"the first bytes of a header", "SIMPL", DeclaredSize{2880, false}},
      {"an extension that is not one", Fits({}, {}) + "XTENSIOM", std::nullopt},
      {"gzip", std::string("\x1f\x8b\x08") + std::string(3000, '\0'), std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const int fd = memfd_create("frame", MFD_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, c.bytes.data(), c.bytes.size()), static_cast<ssize_t>(c.bytes.size()));
    const std::optional<DeclaredSize> got =
        SizeDeclared(fd, static_cast<std::int64_t>(c.bytes.size()));
    close(fd);
    ASSERT_EQ(got.has_value(), c.declared.has_value());
    if (!got) continue;
    EXPECT_EQ(got->bytes, c.declared->bytes);
    EXPECT_EQ(got->complete, c.declared->complete);
  }
}

}  // namespace
}  // namespace orvan::frames
