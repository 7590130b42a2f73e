#pragma once
// The X11 platform of the display: Xlib window and events, XQueryKeymap for the
// key state, XPutImage (mode 1), MIT-SHM (mode 2) and GLX (mode 3).
// This header needs no X header; a program hands the result to peltoSetPlatform.

#include "pelto/display/Platform.hpp"

peltoPlatform* peltoX11Platform();
