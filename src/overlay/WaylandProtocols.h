#pragma once

// The client side of the Wayland protocols the layer-shell overlays speak, generated at build
// time. One generated header names an argument `namespace`, a C++ keyword.
#include <wayland-client.h>
#include <wayland-cursor.h>

#define namespace namespace_
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#undef namespace
#include "fractional-scale-v1-client-protocol.h"
#include "viewporter-client-protocol.h"
#include "xdg-output-unstable-v1-client-protocol.h"
