#pragma once

#include <QWidget>

// The red connection lamp: lit while the serial port is open.
class TStatusLamp : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;

    void SetLit(bool lit);
    bool IsLit() const { return FLit; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool FLit = false;
};
