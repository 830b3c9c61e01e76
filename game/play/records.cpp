#include "play/records.h"

#include "common/game_error.h"

namespace {

// Positions outside 1..Count are the caller's fault; they fail loudly instead of
// reading past the list.
void CheckPosition(int32_t position, int32_t count) {
    if (position < 1 || position > count) throw GameError(9, "Subscript out of range");
}

}  // namespace

QFClass& QFCollClass::Add(int16_t X, int16_t Y, int16_t Direction, int16_t What) {
    QFClass& record = records_.emplace_back();
    record.X = X;
    record.Y = Y;
    record.Direction = Direction;
    record.What = What;
    return record;
}

QFClass& QFCollClass::Item(int32_t position) {
    CheckPosition(position, Count());
    return records_[static_cast<size_t>(position - 1)];
}

const QFClass& QFCollClass::Item(int32_t position) const {
    CheckPosition(position, Count());
    return records_[static_cast<size_t>(position - 1)];
}

void QFCollClass::Remove(int32_t position) {
    CheckPosition(position, Count());
    records_.erase(records_.begin() + (position - 1));
}

void EmptyRecordList(QFCollClass& list) {
    const int32_t count = list.Count();
    for (int32_t i = count; i >= 1; --i) list.Remove(i);
}
