// Where the parts of the PC-suite guide go, in client pixels: the painting, the buttons' set-up
// and the tests read this table. Boxes whose right side is the client area's have it given as 0.
#pragma once

#include "skin/DialogLayout.h"

namespace plug {

namespace guide_layout {

// The caption strip: its title from (10, 0) and, one pixel up and left, once more over its shadow.
constexpr int kCaptionHeight = 30;
constexpr LayoutPoint kCaptionTitle = {10, 0};
// The heading, centred across the whole width.
constexpr LayoutBox kHeading = {0, 28, 0, 68};
// The body: the lead line and, below it, the instruction (or the instruction alone from the top).
constexpr LayoutBox kBody = {130, 93, 430, 220};
// The instruction begins this far below the top of the body plus the lead line's height.
constexpr int kInstructionGap = 3;
constexpr LayoutPoint kCloseButton = {426, 8};
constexpr LayoutPoint kDownloadButton = {130, 239};
constexpr LayoutPoint kOkBesideDownload = {230, 239};
constexpr LayoutPoint kOkAlone = {335, 239};

} // namespace guide_layout

} // namespace plug
