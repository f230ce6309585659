#include "Setup.h"

#include "WindowLook.h"

namespace zqb {

TForm2::TForm2(SessionContext& context, LinkGate& link, DeviceDisplay& display, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      context_(context),
      link_(link),
      display_(display)
{
    setWindowTitle(QStringLiteral("zQB.Setup"));
    setModal(true);
    setFixedSize(701, 367);
    setFont(TahomaFont(11));
    setAutoFillBackground(true);
    QPalette look = palette();
    look.setColor(QPalette::Window, Qt::white);
    setPalette(look);
}

void TForm2::Image1Click()
{
    if (context_.ExchangeBusy) return;
    context_.session.LinkPollEnabled = 0;
    if (parentWidget()) move(parentWidget()->geometry().center() - rect().center());
    exec();
}

void TForm2::FormClose()
{
    if (!context_.session.DeviceEverLinked) return;
    link_.RequestLink();
    context_.session.LinkPollEnabled = 1;
    display_.SetPanelText(StatusPanel::Message, QString());
}

void TForm2::done(int result)
{
    FormClose();
    QDialog::done(result);
}

}  // namespace zqb
