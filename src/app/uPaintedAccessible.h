#pragma once

// Lets assistive technology read the painted widgets: the segment meters as value indicators
// (their reading), the digit display as static text (its digits). Installed once per program;
// names come from the window, which knows each widget's caption.
void InstallPaintedAccessibility();
