#include <gtest/gtest.h>

#include "error_of.h"

#include <limits>

#include "observatory/value.h"
#include "support/error.h"

namespace orvan {
namespace {

TEST(ValueToR8, NumbersConvertAndNonNumbersDoNot) {
  EXPECT_EQ(Value::R8(0.5).ToR8(), 0.5);
  EXPECT_EQ(Value::I2(-3).ToR8(), -3);
  EXPECT_EQ(Value::I4(70000).ToR8(), 70000);
  EXPECT_EQ(Value::R4(0.5f).ToR8(), 0.5);
  EXPECT_EQ(Value::Currency(25000).ToR8(), 2.5);
  EXPECT_EQ(Value::Bool(true).ToR8(), -1);
  EXPECT_EQ(Value().ToR8(), 0);
  EXPECT_EQ(Value::Str("12.25").ToR8(), 12.25);
  EXPECT_EQ(ErrorOf([] { Value::Null().ToR8(); }), errors::kTypeMismatch);
  EXPECT_EQ(ErrorOf([] { Value::Str("abc").ToR8(); }), errors::kTypeMismatch);
  EXPECT_EQ(ErrorOf([] { Value::ErrorCode(0x80020004).ToR8(); }), errors::kTypeMismatch);
}

TEST(ValueToR8, NanAndInfinitiesDoNotConvert) {
  EXPECT_EQ(ErrorOf([] { Value::R8(std::numeric_limits<double>::quiet_NaN()).ToR8(); }),
            errors::kTypeMismatch);
  EXPECT_EQ(ErrorOf([] { Value::R8(std::numeric_limits<double>::infinity()).ToR8(); }),
            errors::kTypeMismatch);
  EXPECT_EQ(ErrorOf([] { Value::R8(-std::numeric_limits<double>::infinity()).ToR8(); }),
            errors::kTypeMismatch);
  EXPECT_EQ(ErrorOf([] { Value::R4(std::numeric_limits<float>::infinity()).ToR8(); }),
            errors::kTypeMismatch);
}

TEST(ValueToR8, TextUsesTheSeparatorItIsGiven) {
  EXPECT_EQ(Value::Str("2,5").ToR8(','), 2.5);
  EXPECT_EQ(Value::Str("2.5").ToR8(','), 2.5);
  EXPECT_EQ(ErrorOf([] { Value::Str("2,5").ToR8('.'); }), errors::kTypeMismatch);
  EXPECT_EQ(Value::Str("-1,0").IsStrictTrue(','), true);
  EXPECT_EQ(Value::Str("0,0").EqualsZero(','), true);
  EXPECT_EQ(Value::Str("2,5").ToI2(','), 2);
}

TEST(ValueToI2, RoundsHalfToEven) {
  EXPECT_EQ(Value::R8(2.5).ToI2(), 2);
  EXPECT_EQ(Value::R8(3.5).ToI2(), 4);
  EXPECT_EQ(Value::R8(-2.5).ToI2(), -2);
  EXPECT_EQ(Value::R8(2.4999999999999996).ToI2(), 2);
  EXPECT_EQ(Value::R8(2.5000000000000004).ToI2(), 3);
  EXPECT_EQ(Value::Str("3.5").ToI2(), 4);
  EXPECT_EQ(Value::I4(-32768).ToI2(), -32768);
  EXPECT_EQ(Value::R8(-32768.5).ToI2(), -32768);
  EXPECT_EQ(Value::R8(32767.49).ToI2(), 32767);
}

TEST(ValueToI2, OutOfRangeIsOverflow) {
  EXPECT_EQ(ErrorOf([] { Value::R8(32767.5).ToI2(); }), errors::kOverflow);
  EXPECT_EQ(ErrorOf([] { Value::R8(-32768.6).ToI2(); }), errors::kOverflow);
  EXPECT_EQ(ErrorOf([] { Value::I4(40000).ToI2(); }), errors::kOverflow);
  EXPECT_EQ(ErrorOf([] { Value::R8(1e300).ToI2(); }), errors::kOverflow);
  EXPECT_EQ(ErrorOf([] { Value::Null().ToI2(); }), errors::kTypeMismatch);
}

TEST(ValueTruth, StrictOnlyMinusOneAndNullAreTrue) {
  EXPECT_TRUE(Value::Bool(true).IsStrictTrue());
  EXPECT_TRUE(Value::Null().IsStrictTrue());
  EXPECT_TRUE(Value::I2(-1).IsStrictTrue());
  EXPECT_TRUE(Value::R8(-1).IsStrictTrue());
  EXPECT_TRUE(Value::Str("True").IsStrictTrue());
  EXPECT_FALSE(Value::Bool(std::int16_t{1}).IsStrictTrue());
  EXPECT_FALSE(Value::Bool(std::int16_t{-2}).IsStrictTrue());
  EXPECT_FALSE(Value::Bool(false).IsStrictTrue());
  EXPECT_FALSE(Value::I2(1).IsStrictTrue());
  EXPECT_FALSE(Value().IsStrictTrue());
  EXPECT_FALSE(Value::Str("yes").IsStrictTrue());
}

TEST(ValueTruth, LenientAnyNonZeroIsTrueAndNullIsFalse) {
  EXPECT_TRUE(Value::Bool(true).IsNonZero());
  EXPECT_TRUE(Value::Bool(std::int16_t{1}).IsNonZero());
  EXPECT_TRUE(Value::I4(7).IsNonZero());
  EXPECT_TRUE(Value::R8(0.5).IsNonZero());
  EXPECT_FALSE(Value::Null().IsNonZero());
  EXPECT_FALSE(Value().IsNonZero());
  EXPECT_FALSE(Value::Bool(false).IsNonZero());
  EXPECT_FALSE(Value::Str("0").IsNonZero());
  EXPECT_FALSE(Value::R8(-0.0).IsNonZero());
}

TEST(ValueZeroTest, ComparesTheAnswerAsReturned) {
  EXPECT_TRUE(Value::R8(0).EqualsZero());
  EXPECT_TRUE(Value::R8(-0.0).EqualsZero());
  EXPECT_TRUE(Value::I2(0).EqualsZero());
  EXPECT_TRUE(Value().EqualsZero());
  EXPECT_TRUE(Value::Bool(false).EqualsZero());
  EXPECT_TRUE(Value::Str("0").EqualsZero());
  EXPECT_FALSE(Value::Null().EqualsZero());
  EXPECT_FALSE(Value::R8(1e-300).EqualsZero());
  EXPECT_FALSE(Value::R8(std::numeric_limits<double>::quiet_NaN()).EqualsZero());
  EXPECT_FALSE(Value::Str("none").EqualsZero());
  EXPECT_FALSE(Value::ErrorCode(0).EqualsZero());
}

TEST(ValueText, WritesScenarioForms) {
  EXPECT_EQ(Value().ToString(), "empty");
  EXPECT_EQ(Value::Null().ToString(), "null");
  EXPECT_EQ(Value::Bool(true).ToString(), "bool:true");
  EXPECT_EQ(Value::Bool(false).ToString(), "bool:false");
  EXPECT_EQ(Value::Bool(std::int16_t{1}).ToString(), "bool:1");
  EXPECT_EQ(Value::I2(-7).ToString(), "i2:-7");
  EXPECT_EQ(Value::I4(70000).ToString(), "i4:70000");
  EXPECT_EQ(Value::R8(0.0001).ToString(), "r8:1e-04");
  EXPECT_EQ(Value::R8(-std::numeric_limits<double>::infinity()).ToString(), "r8:-inf");
  EXPECT_EQ(Value::Str("a \"b\" \\c").ToString(), R"(str:"a \"b\" \\c")");
  EXPECT_EQ(Value::ErrorCode(0x80020004).ToString(), "error:0x80020004");
  EXPECT_EQ(Value::Object(nullptr).ToString(), "nothing");
}

}  // namespace
}  // namespace orvan
