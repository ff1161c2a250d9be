#include <gtest/gtest.h>

#include <sstream>
#include <streambuf>

#include "store/CollectionStore.h"
#include "store/ConfigRecord.h"
#include "support/TestSupport.h"

using namespace velum;
using velum::test::CrlfJoin;
using velum::test::kWorkedExample;

namespace {

CollectionContent Default() {
    return {{R"(C:\WINDOWS\Clouds.bmp)", R"(C:\WINDOWS\Setup.bmp)"}, "0", "1", "0", "0", "1"};
}
CollectionContent Nature() {
    return {{R"(C:\Pictures\Forest.bmp)", R"(C:\Pictures\Lake.bmp)", R"(C:\Pictures\Meadow.bmp)"},
            "0",
            "0",
            "1",
            "0",
            "0"};
}

std::string SaveCollection(const std::string& old, const std::string& name,
                           const CollectionContent& c, bool hasOld = true) {
    std::istringstream in(old);
    std::ostringstream out;
    WriteCollectionRecords(out, hasOld ? &in : nullptr, name, c);
    return out.str();
}

std::string SaveRotation(const std::string& old, const RotationSnapshot& s) {
    std::istringstream in(old);
    std::ostringstream out;
    WriteRotationRecords(out, &in, s);
    return out.str();
}

std::vector<std::string> Lines(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> lines;
    std::string line;
    while (ReadConfigLine(in, line))
        lines.push_back(line);
    return lines;
}

RotationSnapshot NatureState() {
    RotationSnapshot s;
    s.history = {R"(C:\Pictures\Lake.bmp)", R"(C:\Pictures\Forest.bmp)"};
    s.collection = "Nature";
    s.index = " 2";
    s.time = "6/12/98 4:37:38 PM";
    s.currentIndex = " 1";
    return s;
}

// A stream buffer that reads its text and then fails, as a disk does with a bad sector.
class FailingReadBuf : public std::streambuf {
  public:
    explicit FailingReadBuf(std::string text) : text_(std::move(text)) {
        setg(text_.data(), text_.data(), text_.data() + text_.size());
    }

  protected:
    int_type underflow() override { throw std::ios_base::failure("read error"); }

  private:
    std::string text_;
};

} // namespace

TEST(CollectionStore, WorkedExampleComesOutByteForByte) {
    std::string afterDefault = SaveCollection("", "Default", Default(), false);
    std::string afterNature = SaveCollection(afterDefault, "Nature", Nature());
    EXPECT_NE(afterNature.find("\"Max\",\"Nature\",3\r\n"), std::string::npos);
    std::string atExit = SaveRotation(afterNature, NatureState());
    EXPECT_EQ(atExit, CrlfJoin(kWorkedExample));
    // Writing the same state again changes nothing.
    EXPECT_EQ(SaveRotation(atExit, NatureState()), atExit);
}

TEST(CollectionStore, SavingACollectionKeepsItsRotationStateInPlace) {
    std::string file = CrlfJoin(kWorkedExample);
    std::string saved = SaveCollection(file, "Nature", Nature());
    auto lines = Lines(saved);
    ASSERT_EQ(lines.size(), 22u);
    EXPECT_EQ(lines[8], R"("TileWallpaper","Nature","0")");
    EXPECT_EQ(lines[9], R"("Bmp","","C:\Pictures\Lake.bmp")");
    EXPECT_EQ(lines[11], R"("Index","Nature"," 2")");
    EXPECT_EQ(lines[12], R"("Time","Nature","6/12/98 4:37:38 PM")");
    EXPECT_EQ(lines[13], R"("CurrentIndex","Nature"," 1")");
    EXPECT_EQ(lines[14], R"("Bmp","Default","C:\WINDOWS\Clouds.bmp")");
}

TEST(CollectionStore, SavingACollectionDropsItsOldRecordsAndDuplicateState) {
    std::string old =
        CrlfJoin({R"("Bmp","A","old.bmp")", R"("Index","A"," 1")", R"("Index","A"," 7")",
                  R"("Minutes","A","5")", R"("Minutes","B","5")", R"("Minutes","B","6")"});
    CollectionContent empty{{}, "", "", "", "0", "99"};
    EXPECT_EQ(
        SaveCollection(old, "A", empty),
        CrlfJoin({R"("Max","A",0)", R"("Minutes","A","")", R"("Hours","A","")", R"("Days","A","")",
                  R"("CycleOptions","A","0")", R"("TileWallpaper","A","99")", R"("Index","A"," 1")",
                  R"("Minutes","B","5")", R"("Minutes","B","6")"}));
}

TEST(CollectionStore, CopiedRecordsAreNormalisedToThreeQuotedFields) {
    std::string old = CrlfJoin(
        {R"("Max","B",4)", R"(Bmp,B,C:\x.bmp)", R"("Bmp","B","a,b.bmp")", R"(Days,B,1,extra)", ""});
    auto lines = Lines(SaveCollection(old, "A", {{}, "", "", "", "0", "0"}));
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 6, lines.end()),
              (std::vector<std::string>{R"("Max","B","4")", R"("Bmp","B","C:\x.bmp")",
                                        R"("Bmp","B","a,b.bmp")", R"("Days","B","1")"}));
}

TEST(RotationRecords, HistoryHoldsTheFirstTenNonEmptyEntries) {
    RotationSnapshot s;
    s.collection = "A";
    s.index = " 0";
    s.currentIndex = " 0";
    for (int i = 0; i < 12; ++i)
        s.history.push_back(i == 3 ? "" : "p" + std::to_string(i));
    std::string out = SaveRotation("", s);
    EXPECT_EQ(out,
              CrlfJoin({R"("Bmp","","p0")", R"("Bmp","","p1")", R"("Bmp","","p2")",
                        R"("Bmp","","p4")", R"("Bmp","","p5")", R"("Bmp","","p6")",
                        R"("Bmp","","p7")", R"("Bmp","","p8")", R"("Bmp","","p9")",
                        R"("Index","A"," 0")", R"("Time","A","")", R"("CurrentIndex","A"," 0")"}));
}

TEST(RotationRecords, KeepsTheFirstStateRecordOfOtherCollectionsAndAllOtherKeys) {
    std::string old =
        CrlfJoin({R"("Bmp","","old history")", R"("Index","B"," 1")", R"("Time","B","t1")",
                  R"("Index","B"," 2")", R"("Time","B","t2")", R"("Minutes","B","5")",
                  R"("Minutes","B","6")", R"("Index","A"," 9")", R"("Days","A","3")"});
    RotationSnapshot s;
    s.collection = "A";
    s.index = "-1";
    s.time = "2026-12-06 19:04:05";
    s.currentIndex = " 0";
    EXPECT_EQ(SaveRotation(old, s),
              CrlfJoin({R"("Index","A","-1")", R"("Time","A","2026-12-06 19:04:05")",
                        R"("CurrentIndex","A"," 0")", R"("Index","B"," 1")", R"("Time","B","t1")",
                        R"("Minutes","B","5")", R"("Minutes","B","6")", R"("Days","A","3")"}));
}

TEST(RotationRecords, DropsBitmapsOnlyOfCollectionsDeletedInThisRun) {
    std::string old =
        CrlfJoin({R"("Bmp","Nature","n.bmp")", R"("Bmp","Nat","x.bmp")", R"("Bmp","Gone","g.bmp")",
                  R"("Max","Gone","1")", R"("Bmp","Unlisted","u.bmp")"});
    RotationSnapshot s;
    s.collection = "Nature";
    s.deleted = {"Gone"};
    std::string out = SaveRotation(old, s);
    EXPECT_NE(out.find(R"("Bmp","Nat","x.bmp")"), std::string::npos);
    EXPECT_NE(out.find(R"("Bmp","Unlisted","u.bmp")"), std::string::npos);
    EXPECT_EQ(out.find(R"("Bmp","Gone","g.bmp")"), std::string::npos);
    EXPECT_NE(out.find(R"("Max","Gone","1")"), std::string::npos);
}

TEST(RotationRecords, EmptyCollectionNameWritesNoStateRecords) {
    RotationSnapshot s;
    s.history = {"h.bmp"};
    s.index = " 3";
    EXPECT_EQ(SaveRotation("", s), CrlfJoin({R"("Bmp","","h.bmp")"}));
}

TEST(RotationRecords, CyclerKeepsHistoryAndDuplicatesAndReplacesOnlyItsOwnState) {
    std::string old = CrlfJoin({R"("Bmp","","h1.bmp")", R"("Index","B"," 1")",
                                R"("Index","B"," 2")", R"("Bmp","Gone","g.bmp")",
                                R"("Time","A","old")", R"("Bmp","A","a.bmp")", R"("Max","A",1)"});
    RotationSnapshot s;
    s.cycler = true;
    s.history = {"never written"};
    s.collection = "A";
    s.index = " 1";
    s.time = "2026-12-06 19:04:05";
    s.currentIndex = " 0";
    s.deleted = {"Gone"};
    EXPECT_EQ(SaveRotation(old, s),
              CrlfJoin({R"("Index","A"," 1")", R"("Time","A","2026-12-06 19:04:05")",
                        R"("CurrentIndex","A"," 0")", R"("Bmp","","h1.bmp")", R"("Index","B"," 1")",
                        R"("Index","B"," 2")", R"("Bmp","Gone","g.bmp")", R"("Bmp","A","a.bmp")",
                        R"("Max","A","1")"}));
}

TEST(CollectionStore, AReadErrorWhileCopyingIsNotTakenForTheEndOfTheFile) {
    // The rewrite checks the old stream after the copy; a read error must leave it bad.
    FailingReadBuf buf(CrlfJoin(kWorkedExample).substr(0, 200));
    std::istream old(&buf);
    std::ostringstream out;
    WriteCollectionRecords(out, &old, "X", {{}, "", "", "", "0", "0"});
    EXPECT_TRUE(old.bad());

    FailingReadBuf buf2(CrlfJoin(kWorkedExample).substr(0, 200));
    std::istream old2(&buf2);
    WriteRotationRecords(out, &old2, NatureState());
    EXPECT_TRUE(old2.bad());
}
