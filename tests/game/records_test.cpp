#include <gtest/gtest.h>

#include "common/game_error.h"
#include "play/records.h"

namespace {

TEST(RecordListTest, RemovingMovesLaterRecordsDown) {
    QFCollClass list;
    list.Add(1, 1, 0, 7);
    list.Add(2, 2, 0, 6);
    list.Add(3, 3, 0, 5);
    list.Remove(2);
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Item(1).X, 1);
    EXPECT_EQ(list.Item(2).X, 3);
    EXPECT_EQ(list.Item(2).What, 5);
}

TEST(RecordListTest, AddSetsEveryFieldAndReturnsTheNewRecord) {
    QFCollClass list;
    QFClass& record = list.Add(17, 4, 0, 12);
    record.Direction = 3;
    EXPECT_EQ(list.Item(1).X, 17);
    EXPECT_EQ(list.Item(1).Y, 4);
    EXPECT_EQ(list.Item(1).What, 12);
    EXPECT_EQ(list.Item(1).Direction, 3);
}

TEST(RecordListTest, EmptyingLeavesNothingAndAnEmptyListStaysEmpty) {
    QFCollClass list;
    EmptyRecordList(list);
    EXPECT_EQ(list.Count(), 0);
    for (int16_t i = 1; i <= 5; ++i) list.Add(i, i, 0, 7);
    EmptyRecordList(list);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.begin(), list.end());
}

TEST(RecordListTest, WalkingFollowsListOrder) {
    QFCollClass list;
    for (int16_t x : {5, 3, 9}) list.Add(x, 1, 0, 7);
    std::vector<int16_t> seen;
    for (const QFClass& record : list) seen.push_back(record.X);
    EXPECT_EQ(seen, (std::vector<int16_t>{5, 3, 9}));
}

TEST(RecordListTest, PositionsOutsideTheListAreRunTimeErrors) {
    QFCollClass list;
    list.Add(1, 1, 0, 7);
    for (int32_t position : {0, 2, -1}) {
        EXPECT_THROW(list.Item(position), GameError);
        EXPECT_THROW(list.Remove(position), GameError);
    }
    EXPECT_EQ(list.Count(), 1);
}

}  // namespace
