#include "protocol/PeopleText.h"

#include <atomic>

namespace zqb {

namespace {

std::atomic<TextTurn::Turn> turning{nullptr};

}  // namespace

QString Said(const QString& text)
{
    const TextTurn::Turn turn = turning.load(std::memory_order_relaxed);
    return turn ? turn(text) : text;
}

TextTurn::TextTurn(Turn turn) : before_(turning.exchange(turn)) {}

TextTurn::~TextTurn() { turning.store(before_); }

}  // namespace zqb
