#pragma once

// What assistive technology reads from widgets that Qt's own descriptions leave wanting: the
// segment meters as value indicators (their reading), the digit display as static text (its
// digits), and the lists named like every other field, by their label (Qt names a list by its
// current text on Linux). Installed once per program; names come from the window, which
// knows each widget's caption.
void InstallAccessibility();
