#include <gtest/gtest.h>

#include <stdexcept>

#include "core/records.h"

namespace {

TEST(RecordListTest, RemovingMovesLaterRecordsDown) {
    RecordList list{{1, 1, 0, 7}, {2, 2, 0, 6}, {3, 3, 0, 5}};
    RemoveRecord(list, 1);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].X, 1);
    EXPECT_EQ(list[1].X, 3);
    EXPECT_EQ(list[1].What, 5);
}

TEST(RecordListTest, AddSetsEveryFieldAndReturnsTheNewRecord) {
    RecordList list;
    ObjectRecord& record = list.emplace_back(ObjectRecord{17, 4, 0, 12});
    record.Direction = 3;
    EXPECT_EQ(list[0].X, 17);
    EXPECT_EQ(list[0].Y, 4);
    EXPECT_EQ(list[0].What, 12);
    EXPECT_EQ(list[0].Direction, 3);
}

TEST(RecordListTest, EmptyingLeavesNothingAndAnEmptyListStaysEmpty) {
    RecordList list;
    list.clear();
    EXPECT_TRUE(list.empty());
    for (int16_t i = 1; i <= 5; ++i) list.push_back({i, i, 0, 7});
    list.clear();
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(list.begin(), list.end());
}

TEST(RecordListTest, WalkingFollowsListOrder) {
    RecordList list;
    for (int16_t x : {5, 3, 9}) list.push_back({x, 1, 0, 7});
    std::vector<int16_t> seen;
    for (const ObjectRecord& record : list) seen.push_back(record.X);
    EXPECT_EQ(seen, (std::vector<int16_t>{5, 3, 9}));
}

TEST(RecordListTest, IndicesOutsideTheListAreRunTimeErrors) {
    RecordList list{{1, 1, 0, 7}};
    for (size_t index : {size_t{1}, size_t{2}, static_cast<size_t>(-1)}) {
        EXPECT_THROW((void)list.at(index), std::out_of_range);
        EXPECT_THROW(RemoveRecord(list, index), std::out_of_range);
    }
    EXPECT_EQ(list.size(), 1u);
}

}  // namespace
