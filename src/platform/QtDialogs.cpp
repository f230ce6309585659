#include "platform/QtDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

#include "platform/WindowLook.h"

namespace zqb {

namespace {

QMessageBox::Icon BoxIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Information: return QMessageBox::Information;
    case MessageIcon::Warning: return QMessageBox::Warning;
    case MessageIcon::Error: return QMessageBox::Critical;
    case MessageIcon::Question: return QMessageBox::Question;
    case MessageIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

std::optional<QString> RunFileDialog(QFileDialog& dialog)
{
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

}  // namespace

QString QtNameFilter(const QString& pipeFilter)
{
    const QStringList parts = pipeFilter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        filters << QStringLiteral("%1 (%2)").arg(parts[i], QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' ')));
    return filters.join(QStringLiteral(";;"));
}

std::unique_ptr<QMessageBox> MakeMessageBox(const QString& text, const QString& caption, MessageIcon icon,
                                            MessageButtons buttons, bool defaultNo, QWidget* parent)
{
    const bool yesNo = buttons == MessageButtons::YesNo;
    auto box = std::make_unique<QMessageBox>(BoxIcon(icon), caption, text,
                                             yesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, parent);
    // Box texts carry names typed by the user, sent by the module or read from files.
    box->setTextFormat(Qt::PlainText);
    PinWindowPalette(box.get(), LookColour::ButtonFace);
    if (yesNo) {
        box->setDefaultButton(defaultNo ? QMessageBox::No : QMessageBox::Yes);
        box->setEscapeButton(QMessageBox::No);
    }
    return box;
}

namespace {

MessageAnswer RunMessageBox(const QString& text, const QString& caption, MessageIcon icon, MessageButtons buttons,
                            bool defaultNo)
{
    const auto box = MakeMessageBox(text, caption, icon, buttons, defaultNo, QApplication::activeWindow());
    const int answer = box->exec();
    if (buttons == MessageButtons::Ok) return MessageAnswer::Ok;
    return answer == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
}

}  // namespace

MessageAnswer QtDialogs::ShowMessage(const QString& text, const QString& caption, MessageIcon icon,
                                     MessageButtons buttons)
{
    return RunMessageBox(text, caption, icon, buttons, false);
}

MessageAnswer QtDialogs::AskDefaultNo(const QString& text, const QString& caption, MessageIcon icon)
{
    return RunMessageBox(text, caption, icon, MessageButtons::YesNo, true);
}

std::optional<QString> QtDialogs::AskOpenFile(const QString& filter, const QString& defaultExtension)
{
    QFileDialog dialog(QApplication::activeWindow(), QString(), QString(), QtNameFilter(filter));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(defaultExtension);
    return RunFileDialog(dialog);
}

std::optional<QString> QtDialogs::AskSaveFile(const QString& filter, const QString& proposedName,
                                              const QString& defaultExtension)
{
    QFileDialog dialog(QApplication::activeWindow(), QString(), QString(), QtNameFilter(filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(defaultExtension);
    dialog.selectFile(proposedName);
    return RunFileDialog(dialog);
}

}  // namespace zqb
