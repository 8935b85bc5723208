#pragma once

namespace orvan::program {

// Time as seconds of universal time since J2000.0 (2000-01-01 12:00 UT).
class Clock {
 public:
  virtual ~Clock() = default;
  virtual double Now() = 0;
};

// The computer's clock, for the program itself.
class SystemClock final : public Clock {
 public:
  double Now() override;
};

// Time that passes only when told to, so that hours of tracking run in
// milliseconds and every run is repeatable.
class VirtualClock final : public Clock {
 public:
  explicit VirtualClock(double start) : now_(start) {}
  double Now() override { return now_; }
  void Advance(double seconds) { now_ += seconds; }

 private:
  double now_;
};

// Seconds since J2000.0 of a calendar date and time of day (UT, Gregorian).
double SecondsSinceJ2000(int year, int month, int day, double hours);

}  // namespace orvan::program
