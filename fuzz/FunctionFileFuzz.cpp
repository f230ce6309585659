// ".zcf" function files: the input is a file's bytes. Its first line loads into in-memory
// controls; what loads must save as 38 characters that load to the same controls. The first 15
// bytes also pick one value per column in range, whose line must come back character for character.

#include <array>

#include "functioncfg/FunctionFile.h"
#include "functioncfg/FunctionFileDialogs.h"
#include "functioncfg/FunctionRecordMapping.h"
#include "FuzzSupport.h"

namespace {

using namespace zqb;

int BarTop(FunctionField field)
{
    switch (FunctionFieldTable[static_cast<std::size_t>(field)].control) {
    case FieldControl::SecondsBar: return 10;
    case FieldControl::DelayBar: return 15;
    case FieldControl::PercentBar: return 100;
    default: return 0;
    }
}

// Check boxes as bools, track bars as positions held to their ranges, like the window's.
class MemoryControls : public FunctionControls {
public:
    std::array<bool, 15> ticked{};
    std::array<int, 15> positions{};

    bool Ticked(FunctionField field) const override { return ticked[Index(field)]; }
    void SetTicked(FunctionField field, bool on) override { ticked[Index(field)] = on; }
    int Position(FunctionField field) const override { return positions[Index(field)]; }
    void SetPosition(FunctionField field, int position) override
    {
        positions[Index(field)] = std::clamp(position, 0, BarTop(field));
    }
    bool operator==(const MemoryControls& other) const { return ticked == other.ticked && positions == other.positions; }

    // A state no file row leaves behind by accident: every box ticked, every bar half-way.
    static MemoryControls Start()
    {
        MemoryControls controls;
        controls.ticked.fill(true);
        for (const FunctionFieldLayout& layout : FunctionFieldTable)
            controls.positions[Index(layout.field)] = BarTop(layout.field) / 2;
        return controls;
    }

private:
    static std::size_t Index(FunctionField field) { return static_cast<std::size_t>(field); }
};

bool IsUpperHex(const QString& text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) {
        return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('A') && c <= QLatin1Char('F'));
    });
}

void CheckLoad(const QString& line)
{
    MemoryControls controls = MemoryControls::Start();
    fuzz::RecordingDialogs dialogs;
    if (!ParseFunctionFile(controls, line, dialogs)) {
        // Refused whole: one box and not a single control changed.
        FUZZ_CHECK(dialogs.boxes.size() == 1);
        FUZZ_CHECK(controls == MemoryControls::Start());
        return;
    }
    FUZZ_CHECK(dialogs.boxes.isEmpty() && line.startsWith(FunctionFileHeader));

    const QString saved = FormatFunctionFile(controls, dialogs);
    // A higher percent sits lower on its bar; an Off above On is refused on saving.
    const int off = controls.Position(FunctionField::dacOffCode), on = controls.Position(FunctionField::dacOnCode);
    if (off < on) {
        FUZZ_CHECK(saved.isEmpty() && dialogs.boxes == QStringList{OffAboveOnText});
        return;
    }
    FUZZ_CHECK(saved.size() == FunctionFileLength && saved.startsWith(FunctionFileHeader) && IsUpperHex(saved));
    MemoryControls again = MemoryControls::Start();
    FUZZ_CHECK(ParseFunctionFile(again, saved, dialogs) && again == controls);
    FUZZ_CHECK(FormatFunctionFile(again, dialogs) == saved && dialogs.boxes.isEmpty());
}

enum class Column { Flag, Seconds, Delay, Percent };

// The file's columns in order, written out here rather than read from the field table.
constexpr std::array<Column, 15> Columns = {
    Column::Flag,    Column::Flag,    Column::Flag,  Column::Flag,    Column::Seconds,
    Column::Seconds, Column::Flag,    Column::Flag,  Column::Percent, Column::Percent,
    Column::Delay,   Column::Seconds, Column::Seconds, Column::Seconds, Column::Delay,
};
constexpr std::size_t OffColumn = 8, OnColumn = 9;

void CheckValidLine(fuzz::Input& in)
{
    std::array<int, 15> picks{};
    for (int& pick : picks) pick = in.Byte();
    picks[OffColumn] %= 101;
    picks[OnColumn] %= 101;
    if (picks[OffColumn] > picks[OnColumn]) std::swap(picks[OffColumn], picks[OnColumn]);

    QString line = FunctionFileHeader;
    for (std::size_t i = 0; i < Columns.size(); ++i) {
        int value = 0, digits = 2;
        switch (Columns[i]) {
        case Column::Flag: value = picks[i] & 1; break;
        case Column::Seconds: value = picks[i] % 11; break;
        case Column::Delay: value = picks[i] % 16; break;
        case Column::Percent:
            value = picks[i] * 4095 / 100;
            digits = 4;
            FUZZ_CHECK(PercentToDacCode(picks[i]) == value && DacCodeToPercent(value) == picks[i]);
            break;
        }
        line += QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0')).toUpper();
    }
    FUZZ_CHECK(line.size() == FunctionFileLength);

    MemoryControls controls;
    fuzz::RecordingDialogs dialogs;
    FUZZ_CHECK(ParseFunctionFile(controls, line, dialogs));
    FUZZ_CHECK(FormatFunctionFile(controls, dialogs) == line && dialogs.boxes.isEmpty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (const std::optional<QString> line = FirstTextLine(bytes)) {
        FUZZ_CHECK(!line->contains(QLatin1Char('\n')) && !line->contains(QLatin1Char('\r')));
        CheckLoad(*line);
    }
    fuzz::Input in(data, size);
    CheckValidLine(in);
    return 0;
}
