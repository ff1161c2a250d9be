#pragma once

#include <iosfwd>
#include <set>
#include <string>
#include <vector>

namespace velum {

// What the window holds of one collection, as SaveBmpCollection writes it.
struct CollectionContent {
    std::vector<std::string> bitmaps;
    std::string minutes;
    std::string hours;
    std::string days;
    std::string cycleOptions;  // "0" Ascending, "1" Random, "2" Descending
    std::string tileWallpaper; // "1" Tile, "0" Center, "99" None
};

// What SaveBmpCombo writes: the history and the current collection's rotation state.
struct RotationSnapshot {
    bool cycler = false;              // velumspin: no history written, every other line kept
    std::vector<std::string> history; // the history box's entries, newest first
    std::string collection;           // the selector's text; empty writes no state records
    std::string index;                // Index value text
    std::string time;                 // Time value text
    std::string currentIndex;         // CurrentIndex value text
    std::set<std::string> deleted;    // collections deleted in this run: their bitmaps go
};

// The file of the store and its temporary file.
std::string ConfigFilePath();
inline constexpr char kConfigTempName[] = "~velum.tmp";
// The most bitmaps the history keeps.
inline constexpr int kMaxHistory = 10;

// Writes the collection's records, then every old record of other collections and of the
// history, and the collection's own first Index, Time and CurrentIndex where they stood.
void WriteCollectionRecords(std::ostream& out, std::istream* old, const std::string& name,
                            const CollectionContent& content);

// Writes the history and the rotation state, then the old records that survive.
void WriteRotationRecords(std::ostream& out, std::istream* old, const RotationSnapshot& snap);

// Saves a collection into velum.cfg safely; throws IoFailure when it cannot.
void SaveCollectionFile(const std::string& name, const CollectionContent& content);

// Saves the history and rotation state into velum.cfg safely; throws IoFailure when it cannot.
void SaveRotationFile(const RotationSnapshot& snap);

} // namespace velum
