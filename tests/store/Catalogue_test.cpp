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

TEST(JoinCollectionNames, IsReadBackBySplitAndAddsNothingAround) {
    const Strings names{"Default", "Sea side", "Nature "};
    EXPECT_EQ(JoinCollectionNames(names), "Default,Sea side,Nature ");
    EXPECT_EQ(SplitCollectionNames(JoinCollectionNames(names)), names);
    EXPECT_EQ(JoinCollectionNames({}), "");
}
