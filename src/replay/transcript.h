#pragma once

// The whole transcript: the observatory's lines and the window's, each kept
// in the layer it speaks of.
#include "observatory/access_line.h"
#include "ui/window_lines.h"
