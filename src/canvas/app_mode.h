// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The window's mode: editing the drawing, or watching the network live. ViewState holds the
// current mode; everything else reads it from there.

namespace velmora {

enum class AppMode { edit, live };

} // namespace velmora
