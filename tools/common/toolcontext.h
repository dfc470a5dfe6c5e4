#pragma once
// How a tool that draws into frame buffers of its own (the capture tool,
// the benchmarks) gets its OpenGL context.

#include "gl/context.h"

#include <memory>
#include <string>

// True when a tool should draw headless: asked for, or no X display is set.
bool wantHeadless(bool asked);

// A HeadlessContext on `gpu` (see gl/headless.h) when `headless`, else a
// hidden 64x64 window on the X display. `origin` says which. Throws
// ContextError.
std::unique_ptr<Context> openToolContext(bool headless, int gpu, std::string& origin);
