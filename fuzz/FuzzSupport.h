#pragma once

// What the fuzz targets share: a failed check that libFuzzer keeps as a crash (whatever NDEBUG
// says), an input reader that runs dry into zeros, and a dialogs double that only records.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include <QByteArray>
#include <QStringList>

#include "platform/Dialogs.h"

namespace zqb::fuzz {

[[noreturn]] inline void Fail(const char* what, const char* file, int line)
{
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what);
    std::abort();
}

#define FUZZ_CHECK(condition) ((condition) ? void(0) : ::zqb::fuzz::Fail(#condition, __FILE__, __LINE__))

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), left_(size) {}

    std::size_t Left() const { return left_; }
    std::uint8_t Byte()
    {
        if (left_ == 0) return 0;
        --left_;
        return *data_++;
    }
    std::uint16_t Word()
    {
        const std::uint16_t high = Byte();
        return static_cast<std::uint16_t>(high << 8 | Byte());
    }
    // Up to n bytes, fewer when the input ends.
    QByteArray Bytes(std::size_t n)
    {
        n = std::min(n, left_);
        QByteArray bytes(reinterpret_cast<const char*>(data_), static_cast<qsizetype>(n));
        data_ += n;
        left_ -= n;
        return bytes;
    }

private:
    const std::uint8_t* data_;
    std::size_t left_;
};

class RecordingDialogs : public Dialogs {
public:
    QStringList boxes;

    MessageAnswer ShowMessage(const QString& text, const QString&, MessageIcon, MessageButtons buttons) override
    {
        boxes << text;
        return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
    }
    std::optional<QString> AskOpenFile(const QString&, const QString&) override { return std::nullopt; }
    std::optional<QString> AskSaveFile(const QString&, const QString&, const QString&) override { return std::nullopt; }
};

}  // namespace zqb::fuzz
