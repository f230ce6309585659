// The function record: DAC code conversions, building the record from the window and applying a
// record to it.
#include <map>

#include "functioncfg/FunctionRecordMapping.h"
#include "functioncfg/FunctionWindowRig.h"

namespace zqb::test {
namespace {

// Controls without a window: positions and ticks as given, no change handlers.
class PlainControls : public FunctionControls {
public:
    bool Ticked(FunctionField f) const override { return ticks.count(f) && ticks.at(f); }
    void SetTicked(FunctionField f, bool t) override { ticks[f] = t; }
    int Position(FunctionField f) const override { return positions.count(f) ? positions.at(f) : 0; }
    void SetPosition(FunctionField f, int p) override { positions[f] = p; }
    std::map<FunctionField, bool> ticks;
    std::map<FunctionField, int> positions;
};

QByteArray RecordBytes(const CommandFrame& frame)
{
    return QByteArray(reinterpret_cast<const char*>(frame.data() + 6), 32);
}

TEST(DacCodeConversion, PercentagesGiveTheTruncatedSinglePrecisionProduct)
{
    const std::pair<int, int> rows[] = {{0, 0}, {1, 40}, {5, 204}, {20, 819}, {50, 2047}, {95, 3890}, {100, 4095}};
    for (auto [percent, code] : rows) EXPECT_EQ(PercentToDacCode(percent), code) << percent << " %";
    for (int p = 0; p <= 100; ++p) EXPECT_EQ(PercentToDacCode(p), p * 4095 / 100) << p << " %";
}

TEST(DacCodeConversion, EveryCodeOfAPercentageComesBackAsThatPercentage)
{
    for (int p = 0; p <= 100; ++p) EXPECT_EQ(DacCodeToPercent(PercentToDacCode(p)), p) << p << " %";
    EXPECT_EQ(DacCodeToPercent(20), 0);
    EXPECT_EQ(DacCodeToPercent(21), 1);
    EXPECT_EQ(DacCodeToPercent(3276), 80);
    EXPECT_EQ(DacCodeToPercent(4200), 102);
}

TEST(RecordCheck, OnlyAnOffCodeStrictlyAboveTheOnCodeIsRefused)
{
    PlainControls controls;
    CommandFrame frame{};
    controls.SetPosition(FunctionField::dacOffCode, 50);
    controls.SetPosition(FunctionField::dacOnCode, 50);
    EXPECT_TRUE(BuildFunctionRecord(controls, frame));

    frame.fill(0xEE);
    controls.SetPosition(FunctionField::dacOffCode, 49);
    const Result<FunctionValues> values = FunctionValuesOf(controls);
    EXPECT_EQ(values.outcome.kind, OutcomeKind::InputError);
    EXPECT_EQ(values.outcome.rule, OffAboveOnText);
    EXPECT_FALSE(BuildFunctionRecord(controls, frame));
    EXPECT_EQ(frame[5], 0xEE) << "bytes outside the record stay";
    EXPECT_EQ(frame[38], 0xEE);
}

using RecordFromWindow = FunctionWindowRig;

TEST_F(RecordFromWindow, DefaultWindowBuildsThirtyTwoZeroBytes)
{
    context.commandFrame.fill(0xEE);
    ASSERT_TRUE(BuildFunctionRecord(form, context.commandFrame));
    EXPECT_EQ(HexText(RecordBytes(context.commandFrame)), HexText(QByteArray(32, '\0')));
}

TEST_F(RecordFromWindow, OffTwentyOnEightyGiveTheirCodesBigEndian)
{
    ShowOffOn(20, 80);
    ASSERT_TRUE(BuildFunctionRecord(form, context.commandFrame));
    EXPECT_EQ(HexText(RecordBytes(context.commandFrame).mid(18, 4)), "03 33 0C CC");
}

TEST_F(RecordFromWindow, EveryFieldLandsAtItsOffset)
{
    form.CheckBox3->setChecked(true);
    form.RadioButton1->setChecked(true);
    form.CheckBox4->setChecked(true);
    form.TrackBar1->setValue(7);   // 3 s
    form.TrackBar2->setValue(5);   // 5 s
    form.CheckBox7->setChecked(true);
    ShowOffOn(20, 80);
    form.TrackBar3->setValue(0);
    form.TrackBar8->setValue(8);   // Ton 2 s
    form.TrackBar6->setValue(6);   // Thold 4 s
    form.TrackBar9->setValue(9);   // Toff 1 s
    form.TrackBar4->setValue(12);
    ASSERT_TRUE(BuildFunctionRecord(form, context.commandFrame));
    const FunctionRecord expected = ExampleRecord();
    EXPECT_EQ(HexText(RecordBytes(context.commandFrame)),
              HexText(QByteArray(reinterpret_cast<const char*>(expected.data()), 32)));
}

using RecordToWindow = FunctionWindowRig;

TEST_F(RecordToWindow, ExampleRecordShowsEveryField)
{
    ApplyRecord(ExampleRecord());
    EXPECT_TRUE(form.CheckBox3->isChecked());
    EXPECT_TRUE(form.RadioButton1->isChecked());
    EXPECT_TRUE(form.CheckBox4->isChecked());
    EXPECT_FALSE(form.CheckBox6->isChecked());
    EXPECT_FALSE(form.CheckBox5->isChecked());
    EXPECT_TRUE(form.CheckBox7->isChecked());
    EXPECT_EQ(form.Label2->text(), "3 Sec");
    EXPECT_EQ(form.Label4->text(), "5 Sec");
    EXPECT_EQ(form.Label9->text(), "20%");
    EXPECT_EQ(form.Label7->text(), "80%");
    EXPECT_EQ(form.Label5->text(), "0 Sec");
    EXPECT_EQ(form.Label10->text(), "2 Sec");
    EXPECT_EQ(form.Label8->text(), "4 Sec");
    EXPECT_EQ(form.Label12->text(), "1 Sec");
    EXPECT_EQ(form.Label6->text(), "12 Sec");

    // And back: the window builds the record it was given.
    ASSERT_TRUE(BuildFunctionRecord(form, context.commandFrame));
    const FunctionRecord example = ExampleRecord();
    EXPECT_TRUE(std::equal(example.begin(), example.end(), context.commandFrame.begin() + 6));
}

TEST_F(RecordToWindow, FlagsTickOnlyForOneAndTheEdgeFallsBackToFalling)
{
    for (QCheckBox* box : {form.CheckBox3, form.CheckBox4, form.CheckBox6, form.CheckBox5, form.CheckBox7})
        box->setChecked(true);
    form.RadioButton1->setChecked(true);
    FunctionRecord r{};
    for (std::size_t offset : {0, 1, 8, 9, 16, 17}) r[offset] = 2;
    ApplyRecord(r);
    for (QCheckBox* box : {form.CheckBox3, form.CheckBox4, form.CheckBox6, form.CheckBox5, form.CheckBox7})
        EXPECT_FALSE(box->isChecked()) << box->text().toStdString();
    EXPECT_TRUE(form.RadioButton2->isChecked());
}

TEST_F(RecordToWindow, ValuesBeyondABarAreHeldAtItsEnd)
{
    FunctionRecord r{};
    PutU16(&r[10], 300);   // doDelayOn
    PutU16(&r[22], 20);    // di0DacDelayOn
    PutU16(&r[24], 12);    // tOn
    PutU16(&r[28], 0xFF);  // tOff
    PutU16(&r[20], 4200);  // dacOnCode, 102 %
    ApplyRecord(r);
    EXPECT_EQ(form.Label2->text(), "10 Sec");
    EXPECT_EQ(form.Label5->text(), "15 Sec");
    EXPECT_EQ(form.Label10->text(), "10 Sec");
    EXPECT_EQ(form.Label12->text(), "10 Sec");
    EXPECT_EQ(On(), 100);
    EXPECT_EQ(form.Label7->text(), "100%");
}

TEST_F(RecordToWindow, AFullOffCodeStopsAtTheOffBarsLimit)
{
    FunctionRecord r{};
    PutU16(&r[18], 4095);
    PutU16(&r[20], 4095);
    ApplyRecord(r);
    EXPECT_EQ(Off(), 95);
    EXPECT_EQ(form.Label9->text(), "95%");
    EXPECT_EQ(On(), 100);
}

TEST_F(RecordToWindow, OffIsSetBeforeOnSoTheSpacingRuleMovesOff)
{
    FunctionRecord r{};
    PutU16(&r[18], PercentToDacCode(50));
    PutU16(&r[20], PercentToDacCode(52));
    ApplyRecord(r);
    EXPECT_EQ(Off(), 45);
    EXPECT_EQ(On(), 52);
    EXPECT_EQ(form.Label9->text(), "45%");
    EXPECT_EQ(form.Label7->text(), "52%");
}

TEST_F(RecordToWindow, BarsThatDoNotMoveRunNoHandler)
{
    // Both percent bars already stand where an all-zero record puts them; a handler run would
    // have lifted On to 5 %.
    ApplyRecord(FunctionRecord{});
    EXPECT_EQ(On(), 0);
    EXPECT_EQ(form.Label7->text(), "0%");
    EXPECT_EQ(form.TrackBar5->value(), 100);
}

}  // namespace
}  // namespace zqb::test
