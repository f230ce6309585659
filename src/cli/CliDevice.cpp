#include "cli/CliDevice.h"

#include <algorithm>

#include "cli/CliTerminal.h"
#include "functioncfg/FunctionRecordMapping.h"

namespace zqb::cli {

void CliDisplay::ShowDigitalIo()
{
    DeviceSession& s = context_.session;
    s.doState &= s.doMask;
    s.diState &= s.diMask;
}

void CliDisplay::ApplyFunctionRecord()
{
    if (function_) zqb::ApplyFunctionRecord(*function_, context_.session.functionRecord);
}

void CliDisplay::UntickFunctionEnable()
{
    if (function_) function_->SetTicked(FunctionField::functionEnable, false);
}

MessageAnswer CliDialogs::ShowMessage(const QString& text, const QString&, MessageIcon, MessageButtons buttons)
{
    output_.Message(text);
    return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
}

ProgressBar::ProgressBar(Output& output) : output_(output), enabled_(output.GetTerminal().ErrIsTerminal()) {}

ProgressBar::~ProgressBar() { Finish(); }

void ProgressBar::Begin(std::uint32_t maximum)
{
    maximum_ = maximum;
    shownPercent_ = -1;
    SetPosition(0);
}

void ProgressBar::SetPosition(std::uint32_t position)
{
    if (!enabled_) return;
    const int percent = maximum_ == 0 ? 100 : static_cast<int>(std::min<std::uint64_t>(100, std::uint64_t{position} * 100 / maximum_));
    if (percent == shownPercent_) return;
    shownPercent_ = percent;
    constexpr int width = 40;
    const int filled = percent * width / 100;
    output_.Raw(QStringLiteral("\r[%1%2] %3%").arg(QString(filled, QLatin1Char('#')), QString(width - filled, QLatin1Char(' '))).arg(percent, 3));
    drawn_ = true;
}

void ProgressBar::Finish()
{
    if (!drawn_) return;
    output_.Raw(QStringLiteral("\n"));
    drawn_ = false;
}

}  // namespace zqb::cli
