#include "uPortComboBox.h"

void TPortComboBox::showPopup() {
    Q_EMIT PopupAboutToShow();
    QComboBox::showPopup();
}
