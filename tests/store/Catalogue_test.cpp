#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "store/Catalogue.h"

using namespace velum;
using Strings = std::vector<std::string>;

TEST(CollectionNames, SplitLeavesOutEmptyPiecesAndJoinAddsNothingAround) {
    const std::pair<std::string, Strings> cases[] = {
        {"Default,Nature", {"Default", "Nature"}},
        {"A,,B,", {"A", "B"}},
        {",", {}},
        {"", {}},
        {"Sea side,Mountains ", {"Sea side", "Mountains "}}};
    for (const auto& [stored, names] : cases) {
        EXPECT_EQ(SplitCollectionNames(stored), names) << stored;
        EXPECT_EQ(SplitCollectionNames(JoinCollectionNames(names)), names) << stored;
    }
    EXPECT_EQ(JoinCollectionNames({"Default", "Sea side", "Nature "}), "Default,Sea side,Nature ");
}

TEST(CollectionNames, SplitCounts101PiecesEmptyOnesIncluded) {
    std::string stored = ",";
    for (int i = 0; i < 101; ++i)
        stored += "N" + std::to_string(i) + ",";
    const Strings names = SplitCollectionNames(stored);
    ASSERT_EQ(names.size(), 100u); // the empty first piece took one of the 101
    EXPECT_EQ(names.back(), "N99");
}
