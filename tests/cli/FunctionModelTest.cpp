// The function controls without the window against the window itself: whatever records and
// files reach them, in whatever order, both end with the same controls and save the same line.
#include <random>

#include "functioncfg/FunctionFile.h"
#include "functioncfg/FunctionModel.h"
#include "functioncfg/FunctionRecordMapping.h"
#include "functioncfg/FunctionWindowRig.h"

namespace zqb::test {
namespace {

QString Controls(const FunctionControls& controls)
{
    QStringList parts;
    for (const FunctionFieldLayout& layout : FunctionFieldTable) {
        const bool flag = layout.control == FieldControl::Flag || layout.control == FieldControl::Edge;
        parts << QString::number(flag ? controls.Ticked(layout.field) : controls.Position(layout.field));
    }
    return parts.join(QLatin1Char(' '));
}

// What "Save FIle" would write, and the box it would show instead.
QString Saved(const FunctionControls& controls)
{
    const Result<QString> line = FunctionFileLine(controls);
    return line.Ok() ? line.value : QStringLiteral("box: ") + line.outcome.rule;
}

void PutField(FunctionRecord& record, FunctionField field, std::uint32_t value)
{
    const FunctionFieldLayout& layout = FunctionFieldTable[static_cast<std::size_t>(field)];
    if (layout.recordWidth == 1)
        record[layout.recordOffset] = static_cast<std::uint8_t>(value);
    else
        PutU16(&record[layout.recordOffset], value);
}

FunctionRecord WithCodes(std::uint32_t off, std::uint32_t on)
{
    FunctionRecord record{};
    PutField(record, FunctionField::dacOffCode, off);
    PutField(record, FunctionField::dacOnCode, on);
    return record;
}

// Records that reach every corner: percent codes at and around the bars' 5 % and 95 % stops and
// five points apart, codes past 4095, flags other than 0 and 1, seconds past the bars' ends.
std::vector<FunctionRecord> EdgeRecords()
{
    std::vector<FunctionRecord> records;
    const std::uint32_t codes[] = {0, 1, 40, 41, 163, 204, 205, 245, 409, 2047, 3685, 3890, 3891, 3931, 4054, 4095, 4096, 5000, 65535};
    for (std::uint32_t off : codes)
        for (std::uint32_t on : codes) records.push_back(WithCodes(off, on));
    FunctionRecord flags{};
    for (const FunctionFieldLayout& layout : FunctionFieldTable) PutField(flags, layout.field, 2);
    records.push_back(flags);
    FunctionRecord high{};
    for (const FunctionFieldLayout& layout : FunctionFieldTable) PutField(high, layout.field, layout.recordWidth == 1 ? 1 : 400);
    records.push_back(high);
    records.push_back(ExampleRecord());
    return records;
}

FunctionRecord RandomRecord(std::mt19937& random)
{
    std::uniform_int_distribution<int> any(0, 255);
    std::uniform_int_distribution<std::uint32_t> code(0, 4200);
    std::uniform_int_distribution<std::uint32_t> seconds(0, 18);
    FunctionRecord record{};
    for (std::uint8_t& byte : record) byte = static_cast<std::uint8_t>(any(random));
    for (const FunctionFieldLayout& layout : FunctionFieldTable) {
        switch (layout.control) {
        case FieldControl::Flag:
        case FieldControl::Edge: PutField(record, layout.field, static_cast<std::uint32_t>(any(random) % 3)); break;
        case FieldControl::SecondsBar:
        case FieldControl::DelayBar: PutField(record, layout.field, seconds(random)); break;
        case FieldControl::PercentBar: PutField(record, layout.field, code(random)); break;
        }
    }
    return record;
}

// A fresh window and fresh controls, one record applied: what "function save" does after linking.
TEST(FunctionModel, FreshControlsTakeEachRecordAsAFreshWindowDoes)
{
    std::vector<FunctionRecord> records = EdgeRecords();
    std::mt19937 random(184);
    for (int i = 0; i < 150; ++i) records.push_back(RandomRecord(random));
    for (const FunctionRecord& record : records) {
        FunctionWindowBench window;
        FunctionModel model;
        ASSERT_EQ(Controls(model), Controls(window.form)) << "fresh";
        window.ApplyRecord(record);
        ApplyFunctionRecord(model, record);
        const QByteArray bytes(reinterpret_cast<const char*>(record.data()), static_cast<qsizetype>(record.size()));
        ASSERT_EQ(Controls(model), Controls(window.form)) << bytes.toHex(' ').toStdString();
        ASSERT_EQ(Saved(model), Saved(window.form)) << bytes.toHex(' ').toStdString();
    }
}

// One window kept open: each record or file lands on what the one before left, which is what
// "function load" does on top of the linked record.
TEST(FunctionModel, RecordsAndFilesInARowLeaveTheSameControls)
{
    FunctionWindowBench window;
    FunctionModel model;
    std::mt19937 random(13577);
    std::uniform_int_distribution<int> coin(0, 2);
    for (int i = 0; i < 1500; ++i) {
        const FunctionRecord record = RandomRecord(random);
        if (coin(random) == 0) {
            // As a file: the same fields through the file's columns, with their masks.
            FunctionModel source;
            ApplyFunctionRecord(source, record);
            const QString line = Saved(source);
            if (line.startsWith(QLatin1String("box: "))) continue;
            ASSERT_EQ(ApplyFunctionFileLine(model, line).kind, ApplyFunctionFileLine(window.form, line).kind);
        } else {
            window.ApplyRecord(record);
            ApplyFunctionRecord(model, record);
        }
        ASSERT_EQ(Controls(model), Controls(window.form)) << "step " << i;
        ASSERT_EQ(Saved(model), Saved(window.form)) << "step " << i;
    }
}

// The rule on its own, in numbers: the Off bar goes first, so a record may not come back as it
// was, and an On value under 5 % may stay under Off.
TEST(FunctionModel, SpacingRuleMovesTheOtherBarAsTheWindowDoes)
{
    const struct {
        std::uint32_t off;
        std::uint32_t on;
        const char* saved;  // Off and On columns of the saved line, or the box
    } cases[] = {
        {PercentToDacCode(20), PercentToDacCode(80), "0333 0CCC"},
        {PercentToDacCode(50), PercentToDacCode(52), "0732 0851"},   // Off pushed On to 5 %; On at 52 % pushed Off to 45 %
        {PercentToDacCode(0), PercentToDacCode(0), "0000 0000"},     // neither bar moves, so no rule runs
        {PercentToDacCode(100), PercentToDacCode(100), "0F32 0FFF"}, // Off stops at 95 %
        {PercentToDacCode(50), PercentToDacCode(0), "box: Off value can not bigger then On value!"},
    };
    for (const auto& c : cases) {
        FunctionModel model;
        ApplyFunctionRecord(model, WithCodes(c.off, c.on));
        const QString saved = Saved(model);
        const QString columns = saved.startsWith(QLatin1String("box")) ? saved : saved.mid(20, 4) + QLatin1Char(' ') + saved.mid(24, 4);
        EXPECT_EQ(columns, QLatin1String(c.saved)) << c.off << " " << c.on;
    }
}

}  // namespace
}  // namespace zqb::test
