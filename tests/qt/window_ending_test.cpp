// The Qt window's program ending: by its close box, by a run-time error, by
// a failed start-up, and by an error from outside the program's own objects.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <functional>
#include <memory>
#include <new>
#include <ostream>
#include <stdexcept>
#include <string>

#include "modal_watcher.h"
#include "window_fixture.h"

namespace orvan::qt {
namespace {

using test_support::kEventWaitLimitMs;
using test_support::ModalWatcher;
using test_support::Q;
using test_support::SeenBox;

TEST_F(WindowTest, CloseBoxEndsTheProgramWithStatusZero) {
  OpenActive();
  EXPECT_TRUE(view_->close());
  EXPECT_TRUE(form_->ended());
  EXPECT_EQ(form_->exit_status(), 0);
  EXPECT_FALSE(view_->isVisible());
}

TEST_F(WindowTest, CloseBoxWhileAHandlerWaitsIsDeferredUntilItReturns) {
  OpenActive();
  // After the load, which wrote true to it.
  observatory_.Answer("Telescope", "Connected", {Value::Bool(false)});
  bool closed_while_up = true;
  bool visible_while_up = false;
  bool ended_while_up = true;
  ModalWatcher watcher([&] {
    closed_while_up = view_->close();
    visible_while_up = view_->isVisible();
    ended_while_up = form_->ended();
  });
  QTest::mouseClick(Command1(), Qt::LeftButton);
  ASSERT_TRUE(watcher.box().seen);
  EXPECT_FALSE(closed_while_up);
  EXPECT_TRUE(visible_while_up);
  EXPECT_FALSE(ended_while_up);
  EXPECT_TRUE(form_->ended());
  EXPECT_EQ(form_->exit_status(), 0);
  EXPECT_FALSE(view_->isVisible());
}

TEST_F(WindowTest, RunTimeErrorIsReportedAndEndsTheEventLoopWithStatusOne) {
  OpenActive();
  Box(11)->selectAll();
  QTest::keyClick(Box(11), Qt::Key_Delete);  // empty text does not convert to a number
  ASSERT_EQ(form_->model().Text(ControlId::Text11), "");
  ModalWatcher watcher;
  EXPECT_EQ(test_support::RunLoop([&] { QTest::mouseClick(Command1(), Qt::LeftButton); }), 1);
  const SeenBox& box = watcher.box();
  ASSERT_TRUE(box.seen);
  EXPECT_EQ(box.object_name, "ErrorReport");
  EXPECT_EQ(box.title, "OrvanACP");
  EXPECT_EQ(box.text, "Run-time error 0x80020005:\n\nType mismatch");
  EXPECT_EQ(box.icon, QMessageBox::Critical);
  EXPECT_EQ(box.modality, Qt::ApplicationModal);
  EXPECT_TRUE(box.ok_only);
  EXPECT_TRUE(form_->ended());
  EXPECT_EQ(form_->exit_status(), 1);
  EXPECT_FALSE(view_->isVisible());
  EXPECT_FALSE(Timer()->isActive());
}

TEST_F(WindowTest, FailedStartUpReportsAndNeverShowsTheWindow) {
  observatory_.NoCreate("ACP.Util");
  ModalWatcher watcher;
  Open();
  const SeenBox& box = watcher.box();
  ASSERT_TRUE(box.seen);
  EXPECT_EQ(box.object_name, "ErrorReport");
  EXPECT_EQ(box.title, "OrvanACP");
  EXPECT_EQ(box.text, "Run-time error 0x800401F3:\n\nInvalid class string");
  EXPECT_EQ(box.parent, nullptr);
  EXPECT_TRUE(form_->ended());
  EXPECT_EQ(form_->exit_status(), 1);
  EXPECT_FALSE(view_->isVisible());
  EXPECT_FALSE(Timer()->isActive());
}

// An observatory whose objects answer every read with 1 until armed, and
// then fail every read with `raise`.
class FailingObservatory final : public AutomationFactory {
 public:
  class Object final : public AutomationObject {
   public:
    explicit Object(FailingObservatory& owner) : owner_(owner) {}
    Value Get(std::string_view) override {
      if (owner_.armed) owner_.raise();
      return Value::I2(1);
    }
    void Put(std::string_view, const Value&) override {}
    Value Call(std::string_view, std::span<Argument>) override { return Value(); }

   private:
    FailingObservatory& owner_;
  };

  std::shared_ptr<AutomationObject> Create(std::string_view) override {
    return std::make_shared<Object>(*this);
  }

  bool armed = false;
  std::function<void()> raise;
};

struct ForeignFailure {
  const char* name;
  std::function<void()> raise;
  const char* report;
};
void PrintTo(const ForeignFailure& failure, std::ostream* os) {
  *os << failure.name;
}

// The failing observatory comes before WindowTest among the bases, so it
// outlives the window that holds its objects.
struct FailingRig {
  FailingObservatory failing;
};
class ForeignFailureTest : public FailingRig,
                           public WindowTest,
                           public ::testing::WithParamInterface<ForeignFailure> {};

TEST_P(ForeignFailureTest, IsReportedAndEndsTheProgramWithStatusOne) {
  failing.raise = GetParam().raise;
  Open(failing);
  ASSERT_TRUE(view_->isVisible());
  failing.armed = true;
  ModalWatcher watcher;
  EXPECT_EQ(test_support::RunLoop([&] { QTest::mouseClick(Command1(), Qt::LeftButton); }), 1);
  const SeenBox& box = watcher.box();
  ASSERT_TRUE(box.seen);
  EXPECT_EQ(box.object_name, "ErrorReport");
  EXPECT_EQ(box.icon, QMessageBox::Critical);
  EXPECT_EQ(box.text, GetParam().report);
  EXPECT_TRUE(form_->ended());
  EXPECT_EQ(form_->exit_status(), 1);
  EXPECT_FALSE(view_->isVisible());
}

INSTANTIATE_TEST_SUITE_P(
    Foreign, ForeignFailureTest,
    ::testing::Values(ForeignFailure{"RuntimeError", [] { throw std::runtime_error("boom"); },
                                     "Run-time error 0x80004005:\n\nboom"},
                      ForeignFailure{"BadAlloc", [] { throw std::bad_alloc(); },
                                     "Run-time error 0x8007000E:\n\nOut of memory"}),
    [](const ::testing::TestParamInfo<ForeignFailure>& info) { return info.param.name; });

}  // namespace
}  // namespace orvan::qt
