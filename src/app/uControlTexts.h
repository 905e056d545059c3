#pragma once

#include <QStringList>

class QWidget;

// Gives the window's controls their tooltips and what assistive technology reads: every
// field is named by its label (which becomes the field's buddy), the unlabelled controls get
// names of their own. The texts pass through the translation, so this runs after the start-up
// texts have their ids.
void ApplyControlTexts(QWidget& window);

// Every text ApplyControlTexts looks up, in its order: the window looks them up before it
// writes the master language file, so they can be translated.
QStringList ControlTexts();

// The connection lamp's state in words, for assistive technology.
void DescribeConnectionLamp(QWidget& lamp, bool lit);
