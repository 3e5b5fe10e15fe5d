// Queries and controls: counts, selection totals, the index error, the break flag.
#include <gtest/gtest.h>

#include <stdexcept>

#include "common/test_support.h"
#include "engine/engine.h"
#include "engine/session.h"

namespace vantelo {
namespace {

class QueriesTest : public ::testing::Test {
 protected:
  void TearDown() override { CloseArchive(); }
};

TEST_F(QueriesTest, NothingOpenMeansZeroCounts) {
  CloseArchive();
  EXPECT_EQ(GetEntryCount(), 0);
  EXPECT_EQ(GetSelectedCount(), 0);
  EXPECT_EQ(GetSelectedSize(), 0);
  EXPECT_EQ(CloseArchive(), 0);  // closing twice is harmless
}

TEST_F(QueriesTest, ClosingLeavesNoTotalBehind) {
  ASSERT_EQ(OpenArchive(test::DataPath("zip_plain.zip")), 0);
  ASSERT_GT(GetTotalSize(), 0);
  CloseArchive();
  EXPECT_EQ(GetEntryCount(), 0);
  EXPECT_EQ(GetTotalSize(), 0);
  EXPECT_EQ(ExtractAll("", "", false, true, true, nullptr), 0);  // a batch over nothing
}

TEST_F(QueriesTest, SelectionCountsAndSizesFollowSetEntrySelected) {
  ASSERT_EQ(OpenArchive(test::DataPath("zip_comment.zip")), 0);
  EXPECT_TRUE(SetEntrySelected(2, true));
  EXPECT_EQ(GetSelectedCount(), 1);
  EXPECT_EQ(GetSelectedSize(), GetEntrySize(2));
  EXPECT_TRUE(SetEntrySelected(3, true));
  EXPECT_EQ(GetSelectedCount(), 2);
  EXPECT_EQ(GetSelectedSize(), GetEntrySize(2) + GetEntrySize(3));
  SetEntrySelected(2, false);
  EXPECT_EQ(GetSelectedCount(), 1);
  EXPECT_EQ(GetSelectedSize(), GetEntrySize(3));
  EXPECT_TRUE(GetEntrySelected(3));
  EXPECT_FALSE(GetEntrySelected(2));
}

TEST_F(QueriesTest, TotalsPass32BitsWithoutWrapping) {
  // Three entries of 1 GiB each: the sums pass 2^31 and 2^32 and stay true.
  Catalog catalog;
  for (int i = 0; i < 3; ++i) {
    TZFItem item;
    item.UnpackedSize = 0x40000000;
    catalog.entries.push_back(item);
  }
  catalog.entries[2].UnpackedSize = 0x100000000;  // 4 GiB, past any 32-bit size
  catalog.totalSize = 0x40000000LL * 2 + 0x100000000;
  DefaultSession().Commit(std::move(catalog));
  for (int i = 0; i < 3; ++i) SetEntrySelected(i, true);
  EXPECT_EQ(GetTotalSize(), 6'442'450'944);
  EXPECT_EQ(GetSelectedSize(), 6'442'450'944);
  EXPECT_EQ(GetSelectedCount(), 3);
}

TEST_F(QueriesTest, IndexOutsideTheCatalogThrowsTheListIndexError) {
  ASSERT_EQ(OpenArchive(test::DataPath("zip_plain.zip")), 0);
  const std::int32_t count = GetEntryCount();
  for (std::int32_t bad : {-1, count}) {
    try {
      GetEntryName(bad);
      ADD_FAILURE() << "no exception for " << bad;
    } catch (const std::out_of_range& e) {
      EXPECT_EQ(std::string(e.what()), "List index out of bounds (" + std::to_string(bad) + ")");
    }
  }
  EXPECT_THROW(SetEntrySelected(count, true), std::out_of_range);
  EXPECT_THROW(GetEntryStatus(-5), std::out_of_range);
}

TEST_F(QueriesTest, QueriesLeaveTheLastErrorReadable) {
  EXPECT_EQ(OpenArchive(test::DataPath("bad_notzip.txt")), kOpenFailed);
  GetEntryCount();
  GetSelectedCount();
  std::int32_t files = -1;
  ZipSize bytes = -1;
  EXPECT_TRUE(GetProgress(files, bytes));
  EXPECT_EQ(DefaultSession().errorNo, 1);
  EXPECT_EQ(GetLastMessage(), "This is not a ZIP file or the structure of ZIP file is damaged!");
}

TEST_F(QueriesTest, RequestBreakOnlySetsTheFlag) {
  const std::int32_t error = DefaultSession().errorNo;
  EXPECT_TRUE(RequestBreak());
  EXPECT_TRUE(DefaultSession().userBreak);
  EXPECT_EQ(DefaultSession().errorNo, error);
  DefaultSession().userBreak = false;
}

}  // namespace
}  // namespace vantelo
