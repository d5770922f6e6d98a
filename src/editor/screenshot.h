#pragma once

#include <QString>

namespace kelto {

class MainWindow;

// Saves pictures of the main window and both pickers into folder once the window has come up,
// then quits: main.png, figure-picker.png, background-picker.png (and inbetweens.png, the
// in-between dialog over the sample with its ghost, when the sample is found). The pickers are
// given a few pictures and figure types made here, so their grids show more than the first cell.
void scheduleScreenshots(MainWindow& window, const QString& folder);

} // namespace kelto
