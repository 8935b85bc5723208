#include <stdexcept>

#include "residual_picture.h"

namespace orvan::model {

const bool kPlotBuiltIn = false;

std::string ResidualPicture(const std::string&, std::span<const Point>,
                            std::span<const SkyResidual>, const std::vector<bool>&,
                            const std::string&) {
  throw std::runtime_error("--plot is not built in (this build has no Qt GUI)");
}

}  // namespace orvan::model
