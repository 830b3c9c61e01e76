// Object records and the ordered record lists that hold fireflies, butterflies,
// amoeba cells and growing-wall cells beside the cave grid.
#pragma once

#include <cstdint>
#include <vector>

// One object record: what it is, a per-object word its rule keeps, and its cell.
struct QFClass {
    int16_t What = 0;
    int16_t Direction = 0;
    int16_t Y = 0;
    int16_t X = 0;
};

// An ordered list of records with 1-based positions. Removing a record moves every
// later record down by one. A reference from Item stays valid until the next Add or
// Remove on the same list.
class QFCollClass {
public:
    // Appends a record and returns it. The game never names its records, so the
    // optional text key of the list is left out.
    QFClass& Add(int16_t X, int16_t Y, int16_t Direction, int16_t What);
    QFClass& Item(int32_t position);
    const QFClass& Item(int32_t position) const;
    int32_t Count() const { return static_cast<int32_t>(records_.size()); }
    void Remove(int32_t position);

    // Walks the records in list order (a range-for stands in for NewEnum).
    auto begin() const { return records_.begin(); }
    auto end() const { return records_.end(); }

private:
    std::vector<QFClass> records_;
};

// Empties the list the way the game does: Count read once, then positions Count down to 1.
void EmptyRecordList(QFCollClass& list);
