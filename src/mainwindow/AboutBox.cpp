#include "mainwindow/AboutBox.h"

#include "platform/QtDialogs.h"

namespace zqb {

QString AboutText()
{
    return QStringLiteral(
        "zQB IO Console, version 1.10 (20200213)\n"
        "For the zQB Wi-Fi I/O module, model 184.\n"
        "\n"
        "Licence: MIT. Qt (LGPL-3), GoogleTest (BSD-3-Clause) and the fonts keep their own "
        "licences: /usr/share/doc/zqb-console/copyright.\n"
        "\n"
        "Documentation: the manual pages zqb-console(1), zqb(1) and zqb-sim(1) (man zqb-console), "
        "and /usr/share/doc/zqb-console/README.md.\n"
        "\n"
        "No module at hand? zqb-console --demo starts the console on its built-in simulator; "
        "zqb-sim runs a simulated module on 127.0.0.1 for zqb and the console.\n"
        "\n"
        "Keys: F1 this box, F5 Refresh, Alt+S Setup, Alt+F Find me, Alt+C Digital Input Counter, "
        "Alt+U Function Configuration, Alt+I Device IP.");
}

std::unique_ptr<QMessageBox> MakeAboutBox(QWidget* parent)
{
    return MakeMessageBox(AboutText(), AboutCaption, MessageIcon::Information, MessageButtons::Ok, false, parent);
}

void ShowAboutBox(QWidget* parent) { MakeAboutBox(parent)->exec(); }

}  // namespace zqb
