#include "Setup.h"

#include "WindowLook.h"

namespace zqb {

TForm2::TForm2(ModuleLink& link, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      link_(link),
      context_(link.Context())
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
    link_.Supervisor().RequestLink();
    context_.session.LinkPollEnabled = 1;
    link_.Display().SetPanelText(StatusPanel::Message, QString());
}

void TForm2::done(int result)
{
    FormClose();
    QDialog::done(result);
}

}  // namespace zqb
