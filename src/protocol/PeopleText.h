#pragma once

#include <QString>

namespace zqb {

// Every text worded for people leaves the code that words it through Said(): the outcome
// descriptions, the panel and log texts on their way to a display, and zqb's messages and
// results. Nothing decides from those texts, and a test proves it by turning every one of them
// round (TextTurn) and finding every verdict and exit status unchanged.
QString Said(const QString& text);

// For the life of one object, every text passes through `turn` on its way out. One at a time;
// tests only.
class TextTurn {
public:
    using Turn = QString (*)(const QString&);
    explicit TextTurn(Turn turn);
    ~TextTurn();
    TextTurn(const TextTurn&) = delete;
    TextTurn& operator=(const TextTurn&) = delete;

private:
    Turn before_;
};

}  // namespace zqb
