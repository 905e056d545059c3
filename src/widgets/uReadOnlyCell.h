#pragma once

#include <QString>

class QTableWidgetItem;

// A table cell the user can select but not edit; its tooltip shows the whole text, which a
// narrow column may cut.
QTableWidgetItem* ReadOnlyCell(const QString& text);
