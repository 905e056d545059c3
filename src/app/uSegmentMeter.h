#pragma once

#include <QColor>
#include <QList>
#include <QWidget>

// A level shown as a row of segments, one colour each: the signal meters (two red, two
// neutral, one green, growing in height), the battery bar and the volume meter. The value
// is clamped into 0..Maximum(); the lit share of the segments follows it, rounded.
class TSegmentMeter : public QWidget {
    Q_OBJECT
public:
    explicit TSegmentMeter(QWidget* parent = nullptr);

    // Five segments for 0..5: red, red, neutral, neutral, green, each taller than the last.
    void ConfigureSignal();
    // Ten green segments of one height for 0..100.
    void ConfigureBattery();
    // Six growing segments for 0..6.
    void ConfigureVolume();

    void SetValue(int value);
    int Value() const { return FValue; }
    int Maximum() const { return FMaximum; }
    int SegmentCount() const { return static_cast<int>(FColors.size()); }
    int LitSegments() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void Configure(int maximum, QList<QColor> colors, bool growing);

    int FMaximum = 5;
    int FValue = 0;
    QList<QColor> FColors;
    bool FGrowing = true;
};
