#pragma once

// The cell colours of the grid windows (a branch's and the loop pipes'), one meaning each.

#include <QColor>

namespace valmora::grid_colour {

inline const QColor kSeries(255, 255, 0);         // pipe series and diameter
inline const QColor kResults(0, 255, 255);        // velocity, drop and flow
inline const QColor kLockedDiameter(255, 0, 255); // a diameter the network-wide steps leave
inline const QColor kClosed(255, 140, 140);       // the results of a closed section
// A terminal or a velocity a designer must look at: none of the grid's other colours.
inline const QColor kCheck(255, 170, 60);

} // namespace valmora::grid_colour
