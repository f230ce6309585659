#pragma once

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>
#include <QStringList>

#include "functioncfg/Cfg.h"
#include "protocol/CommandBuilders.h"
#include "protocol/CommandCodes.h"
#include "protocol/CommandSenders.h"
#include "support/ProtocolRig.h"
#include "support/ScriptedDialogs.h"

namespace zqb::test {

// The main window's part in the function window's life: reply handling reaches the window
// through the display.
class ForwardingDisplay : public RecordingDisplay {
public:
    using RecordingDisplay::RecordingDisplay;
    void ApplyFunctionRecord() override
    {
        RecordingDisplay::ApplyFunctionRecord();
        if (form) form->ApplyFunctionRecord();
    }
    void UntickFunctionEnable() override
    {
        RecordingDisplay::UntickFunctionEnable();
        if (form) form->UntickFunctionEnable();
    }
    TForm4* form = nullptr;
};

// The example function: on, rising edge, DI0 triggers DO after 3 s and holds 5 s, DI1 starts the
// waveform from Off 20 % to On 80 %, Ton 2 s, Thold 4 s, Toff 1 s, DI1 delay 12 s.
inline const QString ExampleFile = QStringLiteral("3577010101000305000103330CCC000204010C");
inline FunctionRecord ExampleRecord()
{
    FunctionRecord r{};
    const QByteArray bytes = Hex("01 01 00 00 00 00 00 00 01 00 00 03 00 05 00 00"
                                 "00 01 03 33 0C CC 00 00 00 02 00 04 00 01 00 0C");
    std::copy(bytes.begin(), bytes.end(), r.begin());
    return r;
}

// A function window on the console's link to a simulated module on 127.0.0.1.
class FunctionWindowBench : public ModuleBenchWith<ForwardingDisplay> {
public:
    FunctionWindowBench()
    {
        display.form = &form;
        transport.SetTiming({500, 100, 10});
    }

    // What the link timer does with a queued GetLink.
    void ExchangeGetLink()
    {
        ASSERT_TRUE(BeginCommand(context, GetLink));
        transport.ExchangeCommand(BuildGetLink(context.commandFrame));
    }

    // Off and On as the window shows them.
    int Off() const { return 100 - form.TrackBar7->value(); }
    int On() const { return 100 - form.TrackBar5->value(); }
    // Sets On first when it rises, so the spacing rule leaves both where asked.
    void ShowOffOn(int off, int on)
    {
        form.TrackBar5->setValue(100 - on);
        form.TrackBar7->setValue(100 - off);
        form.TrackBar5->setValue(100 - on);
        ASSERT_EQ(Off(), off);
        ASSERT_EQ(On(), on);
    }

    void ApplyRecord(const FunctionRecord& record)
    {
        context.session.functionRecord = record;
        form.ApplyFunctionRecord();
    }

    // Everything the window shows, for "nothing changed" checks.
    QStringList Snapshot() const
    {
        QStringList s;
        for (const QCheckBox* box : {form.CheckBox3, form.CheckBox4, form.CheckBox6, form.CheckBox5, form.CheckBox7})
            s << QString::number(box->isChecked());
        s << QString::number(form.RadioButton1->isChecked()) << QString::number(form.RadioButton2->isChecked());
        for (const QSlider* bar : {form.TrackBar1, form.TrackBar2, form.TrackBar3, form.TrackBar4, form.TrackBar5,
                                   form.TrackBar6, form.TrackBar7, form.TrackBar8, form.TrackBar9})
            s << QString::number(bar->value());
        for (const QLabel* label : {form.Label2, form.Label4, form.Label5, form.Label6, form.Label7, form.Label8,
                                    form.Label9, form.Label10, form.Label12})
            s << label->text();
        return s;
    }

    TForm4 form{link.Context(), link.Transport(), link.Supervisor(), link.GetDialogs()};
};

class FunctionWindowRig : public ::testing::Test, public FunctionWindowBench {};

}  // namespace zqb::test
