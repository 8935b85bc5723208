#include <gtest/gtest.h>

#include "error_of.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "support/checked.h"
#include "support/error.h"
#include "support/escaped_text.h"
#include "support/numtext.h"
#include "tracking/tracker_state.h"

namespace orvan {
namespace {

std::uint64_t Bits(double d) {
  std::uint64_t b;
  std::memcpy(&b, &d, sizeof b);
  return b;
}

// Text from outside as an output line may hold it: each hiding character
// as its escape, valid UTF-8 as it is; quotes and backslashes escaped only
// where the text stands between quotes.
TEST(EscapedText, HidesNothingAndForgesNoLine) {
  const struct {
    std::string text, printable, escaped;
  } cases[] = {
      {"M 42 \xc3\xa9t\xc3\xa9.fits", "M 42 \xc3\xa9t\xc3\xa9.fits", "M 42 \xc3\xa9t\xc3\xa9.fits"},
      {"a\nb\rc\td", "a\\nb\\rc\\td", "a\\nb\\rc\\td"},
      {std::string("nul\0\x1b\x7f", 6), "nul\\x00\\x1b\\x7f", "nul\\x00\\x1b\\x7f"},
      {"q\"b\\", "q\"b\\", "q\\\"b\\\\"},
      // Invalid: a lone tail, an overlong slash, a surrogate, a cut character.
      {"\x80\xc0\xaf\xed\xa0\x80\xe2\x80", "\\x80\\xc0\\xaf\\xed\\xa0\\x80\\xe2\\x80",
       "\\x80\\xc0\\xaf\\xed\\xa0\\x80\\xe2\\x80"},
      // C1's NEL, the line separator, right-to-left override, an isolate.
      {"\xc2\x85\xe2\x80\xa8\xe2\x80\xae\xe2\x81\xa6", "\\u0085\\u2028\\u202e\\u2066",
       "\\u0085\\u2028\\u202e\\u2066"},
      {"\xf0\x9f\x94\xad", "\xf0\x9f\x94\xad", "\xf0\x9f\x94\xad"},  // a telescope
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PrintableText(c.text), c.printable) << c.printable;
    EXPECT_EQ(EscapedText(c.text), c.escaped) << c.escaped;
  }
}

TEST(NumberToText, PlainDecimalsDropTrailingZeros) {
  EXPECT_EQ(NumberToText(1.5, '.'), "1.5");
  EXPECT_EQ(NumberToText(2, '.'), "2");
  EXPECT_EQ(NumberToText(100, '.'), "100");
  EXPECT_EQ(NumberToText(0.5, '.'), "0.5");
  EXPECT_EQ(NumberToText(-0.5, '.'), "-0.5");
  EXPECT_EQ(NumberToText(10.0001, '.'), "10.0001");
  EXPECT_EQ(NumberToText(5.399999, '.'), "5.399999");
  EXPECT_EQ(NumberToText(-1.234568, '.'), "-1.234568");
}

TEST(NumberToText, ZeroOfEitherSignIsZero) {
  EXPECT_EQ(NumberToText(0.0, '.'), "0");
  EXPECT_EQ(NumberToText(-0.0, '.'), "0");
}

TEST(NumberToText, RoundsToFifteenSignificantDigits) {
  EXPECT_EQ(NumberToText(0.1 + 0.2, '.'), "0.3");
  EXPECT_EQ(NumberToText(1.0 / 3, '.'), "0.333333333333333");
  EXPECT_EQ(NumberToText(2.0 / 3, '.'), "0.666666666666667");
  EXPECT_EQ(NumberToText(359.99999999999704, '.'), "359.999999999997");
  EXPECT_EQ(NumberToText(123456789012345.6, '.'), "123456789012346");
  EXPECT_EQ(NumberToText(9.99999999999999944e-5, '.'), "0.0001");  // rounds up into range
}

TEST(NumberToText, PlainBetweenOneTenThousandthAndTenToTheFifteenth) {
  EXPECT_EQ(NumberToText(0.0001, '.'), "0.0001");
  EXPECT_EQ(NumberToText(-0.00012345, '.'), "-0.00012345");
  EXPECT_EQ(NumberToText(999999999999999, '.'), "999999999999999");
  EXPECT_EQ(NumberToText(1e14, '.'), "100000000000000");
}

TEST(NumberToText, ExponentOutsideThatRange) {
  EXPECT_EQ(NumberToText(0.00001, '.'), "1E-05");
  EXPECT_EQ(NumberToText(-0.000001, '.'), "-1E-06");
  EXPECT_EQ(NumberToText(1.5e16, '.'), "1.5E+16");
  EXPECT_EQ(NumberToText(1e15, '.'), "1E+15");
  EXPECT_EQ(NumberToText(999999999999999.9, '.'), "1E+15");
  EXPECT_EQ(NumberToText(1e-300, '.'), "1E-300");
  EXPECT_EQ(NumberToText(std::numeric_limits<double>::max(), '.'), "1.79769313486232E+308");
  EXPECT_EQ(NumberToText(4.9406564584124654e-324, '.'), "4.94065645841247E-324");
}

TEST(NumberToText, UsesTheUsersSeparator) {
  EXPECT_EQ(NumberToText(2.5, ','), "2,5");
  EXPECT_EQ(NumberToText(-0.25, ','), "-0,25");
  EXPECT_EQ(NumberToText(1.5e16, ','), "1,5E+16");
  EXPECT_EQ(NumberToText(1234567.5, ','), "1234567,5");  // never grouped
}

TEST(TextToNumber, AcceptsPlainNumbersBlanksSignsAndExponents) {
  EXPECT_EQ(TextToNumber("2.5", '.'), 2.5);
  EXPECT_EQ(TextToNumber("  2.5\t", '.'), 2.5);
  EXPECT_EQ(TextToNumber("+3", '.'), 3);
  EXPECT_EQ(TextToNumber("-0.5", '.'), -0.5);
  EXPECT_EQ(TextToNumber(".5", '.'), 0.5);
  EXPECT_EQ(TextToNumber("5.", '.'), 5);
  EXPECT_EQ(TextToNumber("1e3", '.'), 1000);
  EXPECT_EQ(TextToNumber("1E-2", '.'), 0.01);
  EXPECT_EQ(TextToNumber("0.1", '.'), 0.1);  // correctly rounded, as the literal
}

TEST(TextToNumber, PointAndUsersSeparatorBothMeanDecimals) {
  EXPECT_EQ(TextToNumber("2,5", ','), 2.5);
  EXPECT_EQ(TextToNumber("1.0", ','), 1);  // the design-time text, never 10
  EXPECT_EQ(ErrorOf([] { TextToNumber("2,5", '.'); }), errors::kTypeMismatch);
  EXPECT_EQ(ErrorOf([] { TextToNumber("1,000.5", ','); }), errors::kTypeMismatch);
}

TEST(TextToNumber, RejectsAnythingElseAsTypeMismatch) {
  for (const char* text :
       {"",    "   ", ".",   "-",   "+",   "1.2.3", "nan",   "NaN",  "inf",  "-inf", "Infinity",
        "abc", "1e",  "1e+", "--1", "+-1", "1 000", "1,000", "0x10", "1.0a", "e5",   "1d3"}) {
    EXPECT_EQ(ErrorOf([&] { TextToNumber(text, '.'); }), errors::kTypeMismatch) << text;
  }
}

TEST(TextToNumber, OutOfRangeIsOverflowAndTinyIsZero) {
  EXPECT_EQ(ErrorOf([] { TextToNumber("1e400", '.'); }), errors::kOverflow);
  EXPECT_EQ(ErrorOf([] { TextToNumber("-1e309", '.'); }), errors::kOverflow);
  EXPECT_EQ(ErrorOf([] { TextToNumber("0.001e312", '.'); }), errors::kOverflow);
  EXPECT_EQ(TextToNumber("1e-400", '.'), 0);
  EXPECT_TRUE(std::signbit(TextToNumber("-1e-400", '.')));
  EXPECT_EQ(TextToNumber("1e-310", '.'), 1e-310);  // subnormal kept
  EXPECT_EQ(TextToNumber("0e99999", '.'), 0);
}

TEST(TextToNumber, ConvertsExactlyAtAnyLength) {
  const std::string zeros(150000, '0');
  // 10^-150001 × 10^150010: huge runs of zeros before the digits still count.
  EXPECT_EQ(TextToNumber("0." + zeros + "1e150010", '.'), 1e9);
  EXPECT_EQ(TextToNumber("1" + zeros + "e-150000", '.'), 1);
  EXPECT_EQ(TextToNumber("-" + zeros + "25e-1", '.'), -2.5);
  // 10^399 overflows however it is written; 10^-400 is zero, not an overflow.
  EXPECT_EQ(ErrorOf([&] { TextToNumber("0." + zeros + "1e150400", '.'); }), errors::kOverflow);
  EXPECT_EQ(TextToNumber("1" + zeros + "e-150400", '.'), 0);
  EXPECT_TRUE(std::signbit(TextToNumber("-1" + zeros + "e-150400", '.')));
  // An exponent far beyond any double, with or without digits to balance it.
  EXPECT_EQ(ErrorOf([] { TextToNumber("1e99999999999999999999999", '.'); }), errors::kOverflow);
  EXPECT_EQ(TextToNumber("1e-99999999999999999999999", '.'), 0);
  // 2^53 + 1 lies halfway between two doubles: exactly half rounds to even,
  // anything above it, however far down the text, rounds up.
  EXPECT_EQ(TextToNumber("9007199254740993", '.'), 9007199254740992.0);
  EXPECT_EQ(TextToNumber("9007199254740993." + std::string(1000, '0') + "1", '.'),
            9007199254740994.0);
  EXPECT_EQ(TextToNumber("9007199254740993" + std::string(290, '0'), '.'), 9.007199254740993e305);
}

TEST(ShortestText, RoundTripsAsTranscriptsWriteNumbers) {
  EXPECT_EQ(ShortestText(10), "10");
  EXPECT_EQ(ShortestText(0.5), "0.5");
  EXPECT_EQ(ShortestText(0.0001), "1e-04");
  EXPECT_EQ(ShortestText(1e5), "1e+05");
  EXPECT_EQ(ShortestText(359.99999999999704), "359.99999999999704");
  EXPECT_EQ(ShortestText(std::numeric_limits<double>::infinity()), "inf");
}

TEST(Checked, SignalsLikeIeeeButAsErrors) {
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(ErrorOf([] { checked::Div(1, 0); }), errors::kDivisionByZero);
  EXPECT_EQ(ErrorOf([] { checked::Div(-1e-300, 0); }), errors::kDivisionByZero);
  EXPECT_EQ(ErrorOf([] { checked::Div(0, 0); }), errors::kOverflow);  // invalid operation
  EXPECT_EQ(ErrorOf([] { checked::Div(1e300, 1e-300); }), errors::kOverflow);
  EXPECT_EQ(ErrorOf([] { checked::Mul(1e200, 1e200); }), errors::kOverflow);
  EXPECT_EQ(ErrorOf([] { checked::Sub(1.7e308, -1.7e308); }), errors::kOverflow);
  EXPECT_EQ(ErrorOf([&] { checked::Mul(0, inf); }), errors::kOverflow);
  EXPECT_EQ(ErrorOf([&] { checked::Sub(inf, inf); }), errors::kOverflow);
  EXPECT_EQ(ErrorOf([&] { checked::Div(inf, inf); }), errors::kOverflow);
  // Infinite operands and quiet NaNs pass through without a signal, as in IEEE.
  EXPECT_EQ(checked::Mul(inf, 2), inf);
  EXPECT_EQ(checked::Div(inf, 0), inf);
  EXPECT_TRUE(std::isnan(checked::Sub(std::nan(""), 1)));
}

TEST(Checked, InvalidOperationHasItsOwnDescription) {
  try {
    checked::Div(0, 0);
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.description(), "Invalid floating-point operation");
  }
  try {
    checked::Div(1, 0);
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.description(), "Division by zero");
  }
}

TEST(Checked, ExactResults) {
  EXPECT_EQ(checked::Floor(-1.5), -2);
  EXPECT_EQ(checked::Floor(5399999.99999957), 5399999);
  EXPECT_EQ(Bits(checked::Abs(-0.0)), 0u);
  EXPECT_EQ(checked::Sub(0.3, 0.1), 0.3 - 0.1);
}

TEST(Constants, HaveTheirExactBits) {
  EXPECT_EQ(Bits(DefaultGuideRate), 0x3F71111111111138u);
  EXPECT_EQ(DefaultGuideRate, 0.0041666666666667004);
  EXPECT_NE(DefaultGuideRate, 1.0 / 240);
  EXPECT_GT(ArcsecPerHourFactor, 1.0 / 54000);
  EXPECT_GT(ArcsecPerDegreeFactor, 1.0 / 3600);
  // Multiplying first differs in the last bit from the pre-computed 24/360.
  EXPECT_NE(DefaultGuideRate * 24 / 360, DefaultGuideRate * (24.0 / 360));
  // The sidereal rate: a full turn in one sidereal day of 86164.0905 s.
  EXPECT_NEAR(kSiderealDegPerSecond, 360 / 86164.0905, 1e-11);  // to its 9 digits
}

TEST(ErrorTable, TextsAreThePlatformsForItsNumbers) {
  // The automation runtime's own wording for the numbers it raises.
  EXPECT_EQ(errors::TextOf(0x80020005), "Type mismatch");
  EXPECT_EQ(errors::TextOf(0x80020006), "Unknown name");
  EXPECT_EQ(errors::TextOf(0x8002000E), "Invalid number of parameters");
  EXPECT_EQ(errors::TextOf(0x800401F3), "Invalid class string");
  EXPECT_EQ(errors::TextOf(0x800A01A8), "Object required");
  EXPECT_EQ(errors::TextOf(0x800A01B6), "Object doesn't support this property or method");
  EXPECT_EQ(errors::TextOf(0x12345678), "");
  const Error e = errors::ErrorOf(errors::kObjectRequired);
  EXPECT_EQ(e.number(), 0x800A01A8u);
  EXPECT_EQ(e.description(), "Object required");
}

TEST(ErrorTable, OwnNumbersLieInTheRangeLeftToDriversAndEachHasAText) {
  for (std::uint32_t n = 0x80040500; n <= 0x80040510; ++n) {
    if (errors::TextOf(n).empty()) continue;
    EXPECT_EQ(n & 0xFFFF0000u, 0x80040000u);  // FACILITY_ITF, as ASCOM drivers raise
  }
  EXPECT_FALSE(errors::TextOf(errors::kBadReading).empty());
  EXPECT_FALSE(errors::TextOf(errors::kPulseTooLong).empty());
  EXPECT_FALSE(errors::TextOf(errors::kNoInverse).empty());
}

}  // namespace
}  // namespace orvan
