#include "frames/frame_source.h"

namespace orvan::frames {

struct FrameSource::State {};

FrameSource::FrameSource(SourceConfig, ProcessFrame) : state_(std::make_unique<State>()) {}
FrameSource::~FrameSource() = default;
bool FrameSource::Start(std::string& error) {
  error = "not built yet";
  return false;
}
void FrameSource::SetHint(const SolveHint&) {}
std::vector<FrameEvent> FrameSource::Take() {
  return {};
}

FrameEvent ProcessWith(const std::string& path, const SolveHint&,
                       const std::optional<SolverConfig>&) {
  return {FrameEvent::Kind::Failed, path, "not built yet", {}, {}, false, 0};
}

}  // namespace orvan::frames
