#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "store/Catalogue.h"

using namespace velum;

namespace {

using Strings = std::vector<std::string>;

} // namespace

TEST(SplitCollectionNames, TakesTheCommaSeparatedPiecesAndLeavesOutEmptyOnes) {
    const std::pair<std::string, Strings> cases[] = {
        {"Default,Nature", {"Default", "Nature"}},
        {"A,,B,", {"A", "B"}},
        {",", {}},
        {"One", {"One"}},
        {"Sea side,Mountains ", {"Sea side", "Mountains "}},
    };
    for (const auto& [stored, names] : cases)
        EXPECT_EQ(SplitCollectionNames(stored), names) << stored;
}

TEST(SplitCollectionNames, Counts101PiecesEmptyOnesIncluded) {
    std::string stored = ",";
    for (int i = 0; i < 101; ++i)
        stored += "N" + std::to_string(i) + ",";
    Strings names = SplitCollectionNames(stored);
    ASSERT_EQ(names.size(), 100u); // the empty first piece took one of the 101
    EXPECT_EQ(names.back(), "N99");
}

TEST(CanAddCollectionName, RefusesEmptyAndExactDuplicatesOnly) {
    const Strings names{"Default", "Nature"};
    EXPECT_TRUE(CanAddCollectionName(names, "nature")); // names are compared exactly
    EXPECT_TRUE(CanAddCollectionName(names, "Sea"));
    EXPECT_FALSE(CanAddCollectionName(names, "Nature"));
    EXPECT_FALSE(CanAddCollectionName(names, ""));
}

TEST(JoinCollectionNames, JoinsWithCommasAndNothingAround) {
    EXPECT_EQ(JoinCollectionNames({}), "");
    EXPECT_EQ(JoinCollectionNames({"Default"}), "Default");
    EXPECT_EQ(JoinCollectionNames({"Default", "Nature", "Sea"}), "Default,Nature,Sea");
}

TEST(SuccessorAfterDelete, IsTheNextEntryOrTheFirstAfterTheLast) {
    EXPECT_EQ(SuccessorAfterDelete(0, 3), 1);
    EXPECT_EQ(SuccessorAfterDelete(2, 3), 0);
    EXPECT_EQ(SuccessorAfterDelete(0, 1), 0);
}

TEST(NameSplitsCatalogue, OnlyACommaSplitsTheStoredList) {
    EXPECT_TRUE(NameSplitsCatalogue("A,B"));
    EXPECT_FALSE(NameSplitsCatalogue("A;B \"quoted\""));
}
