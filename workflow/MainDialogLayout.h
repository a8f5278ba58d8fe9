// Where the parts of the main dialog and of the staging dialog go, in client pixels: the staging
// dialog is drawn over the same background, with the busy animation, the notice not to unplug
// the device and the Cancel button in the same places. Painting, the buttons' set-up, the
// worker's repaints and the tests read these tables. Portable: no Windows headers.
#pragma once

#include "skin/DialogLayout.h"

namespace plug {

namespace main_layout {

// The status text: two word-wrapped lines in the box (which the worker repaints when the status
// changes), or one line in its upper part.
constexpr LayoutBox kStatusBox = {85, 80, 324, 113};
constexpr LayoutBox kStatusLine = {85, 80, 324, 103};
constexpr LayoutBox kUnplugNotice = {50, 147, 300, 188};
constexpr LayoutPoint kAnimation = {45, 74};
constexpr LayoutPoint kCancelButton = {123, 193};
constexpr LayoutPoint kCloseButton = {378, 7}; // hidden

} // namespace main_layout

namespace staging_layout {

// The title, on one line from here to the bottom-right corner of the client area.
constexpr LayoutPoint kTitle = {85, 85};
constexpr LayoutBox kUnplugNotice = main_layout::kUnplugNotice;
constexpr LayoutPoint kAnimation = main_layout::kAnimation;
constexpr LayoutPoint kCancelButton = main_layout::kCancelButton;

} // namespace staging_layout

} // namespace plug
