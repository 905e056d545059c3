// The painted meters keep their values inside their ranges.
#include "uSegmentMeter.h"

#include <functional>
#include <gtest/gtest.h>

namespace {

struct TMeterCase {
    const char* kind;
    void (TSegmentMeter::*configure)();
    int value;
    int shown;
    int lit;
};

const TMeterCase kMeterCases[] = {
    {"signal", &TSegmentMeter::ConfigureSignal, -1, 0, 0},
    {"signal", &TSegmentMeter::ConfigureSignal, 3, 3, 3},
    {"signal", &TSegmentMeter::ConfigureSignal, 9, 5, 5},
    {"battery", &TSegmentMeter::ConfigureBattery, -20, 0, 0},
    {"battery", &TSegmentMeter::ConfigureBattery, 4, 4, 0},
    {"battery", &TSegmentMeter::ConfigureBattery, 55, 55, 6},
    {"battery", &TSegmentMeter::ConfigureBattery, 250, 100, 10},
    {"volume", &TSegmentMeter::ConfigureVolume, 7, 6, 6},
    {"volume", &TSegmentMeter::ConfigureVolume, 2, 2, 2},
};

TEST(SegmentMeterTest, ClampsIntoItsRangeAndLightsTheRoundedShare) {
    for (const TMeterCase& c : kMeterCases) {
        TSegmentMeter meter;
        (meter.*c.configure)();
        meter.SetValue(c.value);
        EXPECT_EQ(meter.Value(), c.shown) << c.kind << " " << c.value;
        EXPECT_EQ(meter.LitSegments(), c.lit) << c.kind << " " << c.value;
    }
}

TEST(SegmentMeterTest, ANarrowerRangeClampsTheValueAlreadyShown) {
    TSegmentMeter meter;
    meter.ConfigureBattery();
    meter.SetValue(80);
    meter.ConfigureSignal();
    EXPECT_EQ(meter.Value(), 5);
    EXPECT_EQ(meter.SegmentCount(), 5);
}

} // namespace
