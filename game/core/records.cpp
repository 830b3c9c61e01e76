#include "core/records.h"

#include <stdexcept>
#include <string>

void RemoveRecord(RecordList& list, size_t index) {
    if (index >= list.size()) throw std::out_of_range("no record " + std::to_string(index));
    list.erase(list.begin() + static_cast<std::ptrdiff_t>(index));
}
