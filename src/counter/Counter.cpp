#include "counter/Counter.h"

#include "protocol/CommandBuilders.h"
#include "protocol/CommandCodes.h"
#include "protocol/CommandSenders.h"
#include "platform/Icons.h"
#include "platform/KeyboardOrder.h"
#include "platform/WindowLook.h"

namespace zqb {

namespace {

constexpr int FirstRowTop = 38;
constexpr int RowPitch = 24;
constexpr int GroupGap = 14;  // between DI 3 and DI 4

int RowTop(int row) { return FirstRowTop + row * RowPitch + (row >= 4 ? GroupGap : 0); }

}  // namespace

TForm3::TForm3(SessionContext& context, CommandTransport& transport, QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      context_(context),
      transport_(transport)
{
    setWindowTitle(QStringLiteral("Digital Input Counter "));
    setModal(true);
    setFont(TahomaFont(11));
    PinWindowPalette(this, LookColour::ButtonFace);
    setFixedSize(262, RowTop(RowCount - 1) + 34);

    // First in the window, and so first for Tab: it only reads.
    Image2 = new ImageButton(MakeIcon(IconKind::Refresh), QStringLiteral("Counter Refresh"), this);
    Image2->move(width() - 24 - 10, 7);

    const QFont bold = TahomaFont(12, true);
    for (int row = 0; row < RowCount; ++row) {
        auto* caption = new QLabel(QStringLiteral("DI %1 Counter:").arg(row), this);
        caption->setFont(bold);
        caption->setGeometry(14, RowTop(row), 100, 20);
        auto* value = new QLabel(QStringLiteral("0"), this);
        value->setFont(bold);
        value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        value->setGeometry(108, RowTop(row), 84, 20);
        auto* clear = new QPushButton(QStringLiteral("Clear"), this);
        clear->setAccessibleName(QStringLiteral("Clear DI %1 counter").arg(row));
        clear->setGeometry(202, RowTop(row), 48, 21);
        // Return never clears a counter by itself: only a deliberate Space or click does.
        clear->setAutoDefault(false);
        caption->setBuddy(value);
        const auto input = static_cast<std::uint8_t>(row);
        connect(clear, &QPushButton::clicked, this, [this, input] { ClearClick(input); });
        captionLabels[static_cast<std::size_t>(row)] = caption;
        valueLabels[static_cast<std::size_t>(row)] = value;
        clearButtons[static_cast<std::size_t>(row)] = clear;
    }
    Image2->setShortcut(QKeySequence(Qt::Key_F5));
    connect(Image2, &QToolButton::clicked, this, [this] { Image2Click(); });
    SetTabChain({Image2, clearButtons[0], clearButtons[1], clearButtons[2], clearButtons[3], clearButtons[4],
                 clearButtons[5], clearButtons[6], clearButtons[7]});
}

void TForm3::Image4Click()
{
    if (context_.ExchangeBusy) return;
    RequestDiCounters();
    context_.session.LinkPollEnabled = 0;  // queued commands still go out
    if (parentWidget()) move(parentWidget()->geometry().center() - rect().center());
    exec();
}

void TForm3::RequestDiCounters() { QueueCommand(context_, GetDiCounters); }

void TForm3::ClearDiCounterAt(std::uint8_t input)
{
    transport_.Exchange(ClearDiCounter, [input](CommandFrame& f) { return BuildClearDiCounter(f, input); });
}

void TForm3::ShowCounters()
{
    valueLabels[0]->setText(QString::number(context_.session.diCount0));
    valueLabels[1]->setText(QString::number(context_.session.diCount1));
}

void TForm3::DisableRows(int first, int last)
{
    for (int row = first; row <= last; ++row) {
        const auto i = static_cast<std::size_t>(row);
        captionLabels[i]->setEnabled(false);
        valueLabels[i]->setEnabled(false);
        clearButtons[i]->setEnabled(false);
    }
}

void TForm3::FormActivate()
{
    const std::uint8_t mask = context_.session.diMask;
    if (mask >= 255) return;
    if (mask < 15) DisableRows(2, 3);
    DisableRows(4, 7);
}

void TForm3::FormClose() { context_.session.LinkPollEnabled = 1; }

void TForm3::Image2Click() { RequestDiCounters(); }

void TForm3::ClearClick(std::uint8_t input)
{
    ClearDiCounterAt(input);
    RequestDiCounters();
}

// Every opening starts on "Counter Refresh", which only reads: never on a clear button.
void TForm3::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    FormActivate();
    Image2->setFocus(Qt::OtherFocusReason);
}

void TForm3::done(int result)
{
    FormClose();
    QDialog::done(result);
}

}  // namespace zqb
