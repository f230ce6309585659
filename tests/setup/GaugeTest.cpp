// CGauge1 takes whatever a transfer gives it without leaving its scale.
#include <gtest/gtest.h>

#include <QImage>

#include "setup/Gauge.h"

namespace zqb::test {
namespace {

TEST(Gauge, PositionStaysOnTheScaleAndAnEmptyScaleDrawsNothing)
{
    Gauge gauge;
    gauge.resize(200, 9);
    const struct {
        std::uint32_t maximum;
        std::uint32_t position;
        std::uint32_t held;
        double share;
    } cases[] = {
        {1476, 2048, 1476, 1.0},  // the last chunk of 2500 bytes lies past the scale
        {1476, 738, 738, 0.5},
        {0, 1024, 0, 0.0},        // a scale of nothing: no division, nothing filled
        {1, 1, 1, 1.0},
    };
    for (const auto& c : cases) {
        gauge.Begin(c.maximum);
        gauge.SetPosition(c.position);
        EXPECT_EQ(gauge.Position(), c.held) << c.maximum << "/" << c.position;
        EXPECT_DOUBLE_EQ(gauge.Share(), c.share);
        EXPECT_EQ(gauge.ForeColour(), QColor(Qt::red));
        const QImage drawn = gauge.grab().toImage();
        EXPECT_EQ(drawn.pixelColor(199, 4) == QColor(Qt::red), c.share == 1.0) << c.maximum << "/" << c.position;
    }
}

}  // namespace
}  // namespace zqb::test
