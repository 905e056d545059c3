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

    // The level shown; an animation may change it every beat.
    void SetValue(int value);
    int Value() const { return FValue; }
    // The percentage the device reported, written on the bar and given to assistive
    // technology while the shown level animates; below 0 clears it.
    void SetPercentReading(int percent);
    // The level a reader is told: the reported percentage, else the shown level.
    int Reading() const { return FPercentReading >= 0 ? FPercentReading : FValue; }
    // The reading as text: "85%", or "3/5" for a level.
    QString ReadingText() const;
    int Maximum() const { return FMaximum; }
    int SegmentCount() const { return static_cast<int>(FColors.size()); }
    int LitSegments() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void Configure(int maximum, QList<QColor> colors, bool growing);
    void ReadingChanged();

    int FMaximum = 5;
    int FValue = 0;
    int FPercentReading = -1;
    QList<QColor> FColors;
    bool FGrowing = true;
};
