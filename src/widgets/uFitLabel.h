#pragma once

#include <QLabel>

// A one-line label for texts of any length (the device's version): the text shrinks to fit,
// down to a smallest size, and is elided beyond that, with the whole text in the tooltip.
class TFitLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

    // The font and text as painted now.
    QFont ShownFont() const;
    QString ShownText() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
};
