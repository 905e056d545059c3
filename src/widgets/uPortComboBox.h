#pragma once

#include <QComboBox>

// The port field: an editable list that says when it is about to open, so the window can
// list the ports plugged in since.
class TPortComboBox : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;

    void showPopup() override;

Q_SIGNALS:
    void PopupAboutToShow();
};
