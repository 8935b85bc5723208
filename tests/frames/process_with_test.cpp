#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fits_bytes.h"
#include "frames/frame_source.h"

// The one way the program processes a frame: what it takes from a header,
// and what it passes over.
namespace orvan::frames {
namespace {

using Kind = FrameEvent::Kind;
using testing::Card;

TEST(ProcessWith, UnreadableFrameFailsWithTheReadersReason) {
  const std::string path = "/nonexistent-folder/m31.fits";
  const FrameEvent event = ProcessWith(path, {}, FrameReading{SolverConfig{}, false, {}}, -1);
  EXPECT_EQ(event.kind, Kind::Failed);
  EXPECT_EQ(event.file, path);
  EXPECT_EQ(event.text, ReadFrame(path).error);
  EXPECT_FALSE(event.solved_here);
}

// A WCS a capture program writes from the mount's own coordinates says where
// the mount believes it points: only a solver's is a measurement, unless the
// user says every one is.
TEST(ProcessWith, AHeaderWcsIsTakenOnlyWhereASolverMadeIt) {
  const std::vector<std::string> tan = {Card("DATE-OBS", "'2026-12-08T21:04:08'"),
                                        Card("EXPTIME", "30"),
                                        Card("CRVAL1", "150.0"),
                                        Card("CRVAL2", "20.0"),
                                        Card("CRPIX1", "10.5"),
                                        Card("CRPIX2", "5.5"),
                                        Card("CDELT1", "-0.001"),
                                        Card("CDELT2", "0.001")};
  const auto frame = [&](const std::string& projection, const std::vector<std::string>& more) {
    std::vector<std::string> cards = tan;
    cards.push_back(Card("CTYPE1", "'RA---" + projection + "'"));
    cards.push_back(Card("CTYPE2", "'DEC--" + projection + "'"));
    cards.insert(cards.end(), more.begin(), more.end());
    return testing::Fits({20, 10}, cards);
  };
  const std::string unmarked =
      "its WCS is not marked as a plate solve (PLTSOLVD = T, astrometry.net's, or SIP), and "
      "solving is off";
  const struct {
    const char* name;
    std::string bytes;
    bool any_wcs;
    const char* failure;  // empty: taken
  } cases[] = {
      {"the mount's own", frame("TAN", {}), false, unmarked.c_str()},
      {"the mount's own, all taken", frame("TAN", {}), true, ""},
      {"PLTSOLVD = T", frame("TAN", {Card("PLTSOLVD", "T")}), false, ""},
      {"PLTSOLVD = F", frame("TAN", {Card("PLTSOLVD", "F")}), false, unmarked.c_str()},
      {"astrometry.net's",
       frame("TAN", {std::string("HISTORY Created by the Astrometry.net suite.").append(36, ' ')}),
       false, ""},
      {"a SIP polynomial", frame("TAN-SIP", {Card("A_ORDER", "0"), Card("B_ORDER", "0")}), false,
       ""},
  };
  const testing::TempFolder folder;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FrameReading how;
    how.any_wcs = c.any_wcs;
    const FrameEvent event = ProcessWith(folder.Write("f.fits", c.bytes), {}, how, -1);
    EXPECT_EQ(event.text, c.failure);
    EXPECT_EQ(event.kind, *c.failure == '\0' ? Kind::Solved : Kind::Failed);
  }
}

}  // namespace
}  // namespace orvan::frames
