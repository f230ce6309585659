#pragma once

#include <QDialog>

#include "ModuleLink.h"

namespace zqb {

// TForm2, "zQB.Setup": the module's own settings. Opened modally from the main window while
// the link poll rests; closing asks the module for a fresh link record.
class TForm2 : public QDialog {
    Q_OBJECT
public:
    TForm2(ModuleLink& link, QWidget* parent = nullptr);

    // The main window's Image1: refused while an exchange runs.
    void Image1Click();
    void FormClose();

protected:
    void done(int result) override;

private:
    ModuleLink& link_;
    SessionContext& context_;
};

}  // namespace zqb
