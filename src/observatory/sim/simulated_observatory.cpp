#include "observatory/sim/simulated_observatory.h"

#include <utility>

namespace orvan::sim {
namespace {

class SimulatedMount final : public MountDriver {
 public:
  explicit SimulatedMount(std::shared_ptr<Observatory> o) : o_(std::move(o)) {}

  bool Connected() override { return o_->connected; }
  void SetConnected(bool on) override { o_->connected = on; }

  Location Site() override {
    const pointing::Site& s = o_->config().site;
    return {s.latitude_deg, s.longitude_deg, 0};
  }
  RaDec Axes() override {
    const Mount& m = o_->mount();
    return {m.Ra(), m.Dec()};
  }
  bool ThroughPole() override { return o_->mount().ThroughPole(); }

  bool Slewing() override { return o_->mount().Slewing(); }
  bool Tracking() override { return o_->mount().Tracking(); }
  void SetTracking(bool on) override { o_->mount().SetTracking(on); }
  void SlewTo(RaDec axes) override { o_->SlewTo(axes); }

  double GuideRateRa() override { return o_->guide_rate_ra; }
  double GuideRateDec() override { return o_->guide_rate_dec; }
  void SetGuideRateRa(double rate) override { o_->guide_rate_ra = rate; }
  void SetGuideRateDec(double rate) override { o_->guide_rate_dec = rate; }

  void PulseGuide(GuideDirection direction, double ms) override { o_->PulseGuide(direction, ms); }
  bool IsPulseGuiding() override { return o_->mount().IsPulseGuiding(); }

  double CustomRateLimit() override { return o_->config().mount.custom_rate_limit_arcsec_s; }
  RateAxes SetCustomRates(TrackRates rates) override {
    o_->mount().SetCustomRates(rates.ra, rates.dec);
    return {true, true};
  }
  void EndCustomRates() override { o_->mount().EndCustomRates(); }

 private:
  std::shared_ptr<Observatory> o_;
};

}  // namespace

std::shared_ptr<MountDriver> MakeSimulatedMount(std::shared_ptr<Observatory> observatory) {
  return std::make_shared<SimulatedMount>(std::move(observatory));
}

std::shared_ptr<program::ObservatoryProgram> MakeSimulatedProgram(
    std::shared_ptr<Observatory> observatory) {
  const ObservatoryConfig& c = observatory->config();
  program::ProgramConfig program{c.model, c.site.pressure_hpa, c.site.temperature_c,
                                 c.site.relative_humidity};
  std::shared_ptr<Clock> clock = observatory->clock();
  return std::make_shared<program::ObservatoryProgram>(MakeSimulatedMount(std::move(observatory)),
                                                       std::move(clock), program);
}

std::unique_ptr<AutomationFactory> MakeObservatoryFactory(
    std::shared_ptr<Observatory> observatory) {
  return program::MakeAcpFactory(MakeSimulatedProgram(std::move(observatory)));
}

ObservatoryConfig DefaultObservatoryConfig() {
  ObservatoryConfig c;
  c.site = {40.0, -105.0, 840.0, 8.0, program::kDefaultRelativeHumidity};  // about 1600 m up
  // A typical fitted model; MA and ME together tilt the polar axis by 60".
  using pointing::Term;
  for (const auto& [term, value] : {std::pair{Term::IH, 95.0},
                                    {Term::ID, -40.0},
                                    {Term::CH, 25.0},
                                    {Term::NP, 10.0},
                                    {Term::MA, 48.0},
                                    {Term::ME, 36.0},
                                    {Term::TF, 6.0}})
    c.model.terms[term] = value;
  c.model.refraction = true;
  c.start = {0, 20};
  return c;
}

ObservatoryConfig DefaultObservatoryConfig(const program::SkyOptions& options,
                                           const SimOptions& sim) {
  ObservatoryConfig c = DefaultObservatoryConfig();
  c.true_terms = sim.truth;
  c.mount.german = sim.german;
  c.site.pressure_hpa = options.pressure_hpa.value_or(c.site.pressure_hpa);
  c.site.temperature_c = options.temperature_c.value_or(c.site.temperature_c);
  c.site.relative_humidity = options.relative_humidity.value_or(c.site.relative_humidity);
  if (options.terms) c.model.terms = *options.terms;
  return c;
}

std::unique_ptr<AutomationFactory> MakeDefaultObservatory(
    const program::SkyOptions& options, std::shared_ptr<program::ObservatoryProgram>* program,
    const SimOptions& sim) {
  auto clock = std::make_shared<program::SystemClock>();
  ObservatoryConfig c = DefaultObservatoryConfig(options, sim);
  // An hour east of the meridian when the program starts.
  c.start.ra = Wrap24(LocalSiderealTime(c.site, clock->Now()) + 1.0);
  auto made = MakeSimulatedProgram(std::make_shared<Observatory>(c, std::move(clock)));
  if (program) *program = made;
  return program::MakeAcpFactory(std::move(made));
}

}  // namespace orvan::sim
