#pragma once

#include <QIcon>

namespace orvan::qt {

// The application's icon, drawn at 16 and 32 pixels: a star held in a
// guider's cross-hair on a night sky.
QIcon ApplicationIcon();

}  // namespace orvan::qt
