#pragma once

#include <memory>

#include <QMessageBox>
#include <QString>

class QWidget;

namespace zqb {

// The About box: version, licence, where the documentation is, how to try the console without a
// module, and the keys of the main window. F1 on the main window opens it.
QString AboutText();
std::unique_ptr<QMessageBox> MakeAboutBox(QWidget* parent);
void ShowAboutBox(QWidget* parent);

inline const QString AboutCaption = QStringLiteral("About zQB IO Console");

}  // namespace zqb
