// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QDockWidget;
class QMainWindow;

namespace orvane {

// Adds a dock below the central form as a tab of the docks already there, so however many
// are open the window keeps the size of a laptop screen; the user may still drag them apart.
// The dock starts no taller than leaves the form its full height.
void PlaceDock(QMainWindow& window, QDockWidget* dock);

}  // namespace orvane
