#include <gtest/gtest.h>

#include <sstream>
#include <streambuf>

#include "store/Catalogue.h"
#include "store/CollectionStore.h"
#include "support/TestSupport.h"

using namespace velum;
using namespace velum::test;
using namespace std::string_literals;
using Lines = std::vector<std::string>;

namespace {

const Lines kPics = {R"(C:\Pictures\Forest.bmp)", R"(C:\Pictures\Lake.bmp)",
                     R"(C:\Pictures\Meadow.bmp)"};
const CollectionContent kNature{kPics, "0", "0", "1", "0", "0"};
// Fields in order: cycler, history, collection, index, time, currentIndex, deleted.
const RotationSnapshot kNatureState{
    false, {kPics[1], kPics[0]}, "Nature", " 2", "6/12/98 4:37:38 PM", " 1", {}};

// The text a save (`write`, with `args` after velum.cfg's streams) makes of velum.cfg's `old`.
std::string Save(const std::string& old, auto write, const auto&... args) {
    std::istringstream in(old);
    std::ostringstream out;
    write(out, &in, args...);
    return out.str();
}

// Gives the start of the worked example, then fails as a disk does with a bad sector.
struct FailingReadBuf : std::streambuf {
    std::string text = CrlfJoin(kWorkedExample).substr(0, 200);
    FailingReadBuf() { setg(text.data(), text.data(), text.data() + text.size()); }
    int_type underflow() override { throw std::ios_base::failure("read error"); }
};

} // namespace

TEST(CollectionStore, SavingDropsTheOldRecordsKeepsTheFirstStateAndNormalisesTheRest) {
    const std::string old =
        CrlfJoin({R"("Bmp","A","old.bmp")", R"("Index","A"," 1")", R"("Index","A"," 7")",
                  R"("Minutes","B","5")", R"("Minutes","B","6")", R"("Max","B",4)",
                  R"(Bmp,B,C:\x.bmp)", R"("Bmp","B","a,b.bmp")", R"(Days,B,1,extra)", ""});
    EXPECT_EQ(
        Save(old, WriteCollectionRecords, "A", CollectionContent{{}, "", "", "", "0", "99"}),
        CrlfJoin({R"("Max","A",0)", R"("Minutes","A","")", R"("Hours","A","")", R"("Days","A","")",
                  R"("CycleOptions","A","0")", R"("TileWallpaper","A","99")", R"("Index","A"," 1")",
                  R"("Minutes","B","5")", R"("Minutes","B","6")", R"("Max","B","4")",
                  R"("Bmp","B","C:\x.bmp")", R"("Bmp","B","a,b.bmp")", R"("Days","B","1")"}));
}

// Old lines with a lone CR or a NUL are not carried either.
TEST(RotationRecords, TenHistoryEntriesAndTheStateComeFirstAndOnlyDeletedBitmapsGo) {
    const std::string old =
        CrlfJoin({R"("Bmp","","old history")", R"("Index","B"," 1")", R"("Index","B"," 2")",
                  R"("Index","Nature"," 9")", R"("Days","Nature","3")", R"("Bmp","Nat","x.bmp")",
                  R"("Bmp","Gone","g.bmp")", R"("Max","Gone","1")", "\"Index\",\"A\rB\",\" 3\"",
                  "\"Bmp\",\"A\",\"/b\0.bmp\""s});
    RotationSnapshot s{false, {}, "Nature", "-1", "t", " 0", {"Gone"}};
    std::string history;
    for (int i = 0; i < 12; ++i) { // the first ten count, the empty one is skipped
        s.history.push_back(i == 3 ? "" : "p" + std::to_string(i));
        history += i == 3 || i > 9 ? "" : CrlfJoin({R"("Bmp","","p)" + std::to_string(i) + "\""});
    }
    EXPECT_EQ(Save(old, WriteRotationRecords, s),
              history + CrlfJoin({R"("Index","Nature","-1")", R"("Time","Nature","t")",
                                  R"("CurrentIndex","Nature"," 0")", R"("Index","B"," 1")",
                                  R"("Days","Nature","3")", R"("Bmp","Nat","x.bmp")",
                                  R"("Max","Gone","1")"}));
}

TEST(RotationRecords, CyclerKeepsHistoryAndDuplicatesAndReplacesOnlyItsOwnState) {
    const std::string old =
        CrlfJoin({R"("Bmp","","h1.bmp")", R"("Index","B"," 1")", R"("Index","B"," 2")",
                  R"("Bmp","Gone","g.bmp")", R"("Time","A","old")", R"("Max","A",1)"});
    const RotationSnapshot s{true, {"never written"}, "A", " 1", "2026-12-06 19:04:05",
                             " 0", {"Gone"}};
    EXPECT_EQ(Save(old, WriteRotationRecords, s),
              CrlfJoin({R"("Index","A"," 1")", R"("Time","A","2026-12-06 19:04:05")",
                        R"("CurrentIndex","A"," 0")", R"("Bmp","","h1.bmp")", R"("Index","B"," 1")",
                        R"("Index","B"," 2")", R"("Bmp","Gone","g.bmp")", R"("Max","A","1")"}));
}

TEST(CollectionStore, AReadErrorIsNotTakenForTheEndOfTheFile) {
    // The rewrites check the old stream after the copy; reading stops at the error.
    FailingReadBuf forRewrite, forReading;
    std::istream oldA(&forRewrite), oldB(&forReading);
    std::ostringstream out;
    WriteRotationRecords(out, &oldA, kNatureState);
    ReadCollectionRecords(oldB, "Nature");
    EXPECT_TRUE(oldA.bad());
    EXPECT_TRUE(oldB.bad());
}

TEST(ReadCollectionRecords, ReadsBackWhatTheSavesWroteAndOnlyTheLastUsableValues) {
    std::istringstream in(Save(Save("", WriteCollectionRecords, "Nature", kNature),
                               WriteRotationRecords, kNatureState));
    StoredRecords r = ReadCollectionRecords(in, "Nature");
    EXPECT_EQ(r.history, (Lines{kPics[1], kPics[0]}));
    const auto& c = r.collection;
    EXPECT_EQ(c.bitmaps, kPics);
    EXPECT_EQ(*c.minutes + *c.hours + *c.days + *c.cycleOptions + *c.tileWallpaper, "00100");
    EXPECT_EQ(*c.index * 10 + *c.currentIndex, 21); // index 2, current 1
    EXPECT_EQ(c.time, "6/12/98 4:37:38 PM");
    // Only the exact name counts, and the last usable value of each key.
    std::istringstream odd(
        CrlfJoin({R"("Days","nature","9")", R"("Days","Nature","2")", R"("Days","Nature","3")",
                  R"("Index","Nature","1")", R"("Bmp","Nature ","C:\x.bmp")",
                  R"("Index","Nature","40000")"})); // beyond 16 bits: skipped
    r = ReadCollectionRecords(odd, "Nature");
    EXPECT_EQ(c.days, "3");
    EXPECT_EQ(c.index, 1);
    EXPECT_TRUE(c.bitmaps.empty());
}

TEST(PushHistory, NewestFirstRepeatsMoveUpAndTenAreKept) {
    Lines history;
    for (const char* p : {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k"})
        EXPECT_TRUE(PushHistory(history, p));
    EXPECT_TRUE(PushHistory(history, "e"));  // moves up, nothing is lost
    EXPECT_FALSE(PushHistory(history, "e")); // at the top already
    EXPECT_EQ(history, (Lines{"e", "k", "j", "i", "h", "g", "f", "d", "c", "b"}));
}

TEST(CollectionNames, SplitLeavesOutEmptyPiecesCountsAtMost101AndJoinAddsNothingAround) {
    EXPECT_EQ(SplitCollectionNames("A,,B ,"), (Lines{"A", "B "}));
    EXPECT_EQ(JoinCollectionNames({"A", "B "}), "A,B ");
    std::string stored = ",";
    for (int i = 0; i < 101; ++i)
        stored += "N" + std::to_string(i) + ",";
    const Lines names = SplitCollectionNames(stored);
    ASSERT_EQ(names.size(), 100u); // the empty first piece took one of the 101
    EXPECT_EQ(names.back(), "N99");
}
