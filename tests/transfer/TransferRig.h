#pragma once

#include <QFile>
#include <QTemporaryDir>

#include "transfer/FileTransfer.h"
#include "transfer/FirmwareUpload.h"
#include "support/ProtocolRig.h"

namespace zqb::test {

// Keeps what the transfer shows on the gauge, and checks that ExchangeBusy is held meanwhile.
class RecordingProgress : public TransferProgress {
public:
    explicit RecordingProgress(const SessionContext& context) : context_(context) {}
    void Begin(std::uint32_t maximum) override
    {
        maximums.push_back(maximum);
        positions.clear();
    }
    void SetPosition(std::uint32_t position) override
    {
        positions.push_back(position);
        busyWhileSending = busyWhileSending && context_.ExchangeBusy;
    }
    void Repaint() override { ++repaints; }

    std::vector<std::uint32_t> maximums;
    std::vector<std::uint32_t> positions;
    int repaints = 0;
    bool busyWhileSending = true;

private:
    const SessionContext& context_;
};

// File transfer and firmware upload on the console's link to a simulated module.
class TransferRig : public ProtocolRig {
protected:
    TransferRig()
    {
        pauses.realMs = 20;
        link.ShowProgressOn(progress);
    }

    // `bytes` at the start of TransferBuffer.
    void Fill(const QByteArray& bytes)
    {
        std::copy(bytes.begin(), bytes.end(), context.TransferBuffer());
    }

    QString WriteFile(const QString& name, const QByteArray& bytes)
    {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    }

    QByteArray Stored(const QByteArray& name)
    {
        if (!module.WaitForFile(name, 3000)) return {};
        return module.Files().at(name).data;
    }

    RecordingProgress progress{context};
    FileTransfer& transfer = link.Transfer();
    FirmwareUpload& firmware = link.Firmware();
    QTemporaryDir dir;
};

// Bytes 0, 1, 2, ... 255, 0, 1, ...
inline QByteArray Pattern(int length, int start = 0)
{
    QByteArray bytes(length, '\0');
    for (int i = 0; i < length; ++i) bytes[i] = static_cast<char>((i + start) & 0xFF);
    return bytes;
}

}  // namespace zqb::test
