#pragma once

#include <QString>
#include <QWidget>

// The device identity in the look of a lit digit display: bright digits on a dark face,
// centred.
class TLedDisplay : public QWidget {
    Q_OBJECT
public:
    explicit TLedDisplay(QWidget* parent = nullptr);

    void SetText(const QString& text);
    const QString& Text() const { return FText; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString FText;
};
