#pragma once

class QWidget;

// Gives the window's controls their tooltips and what assistive technology reads: every
// field is named by its label (which becomes the field's buddy), the unlabelled controls get
// names of their own. The texts pass through the translation, so this runs after the start-up
// texts have their ids.
void ApplyControlTexts(QWidget& window);

// The connection lamp's state in words, for assistive technology.
void DescribeConnectionLamp(QWidget& lamp, bool lit);
