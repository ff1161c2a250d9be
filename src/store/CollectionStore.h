#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
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

// What velum.cfg holds of one collection, as LoadBmpCollection reads it: the counterpart of
// CollectionContent and of the rotation state. A key without a record stays empty; of several
// records of one key the last counts.
struct StoredCollection {
    std::vector<std::string> bitmaps; // at most kMaxListEntries, in file order
    std::optional<std::string> minutes, hours, days;
    std::optional<std::string> cycleOptions, tileWallpaper;
    std::optional<std::string> firstTileWallpaper; // the first record, as LoadTileSettingFile reads
    std::optional<std::int16_t> index, currentIndex; // values out of 16-bit range are skipped
    std::optional<std::string> time;                 // as stored
};

// The history records (empty name), newest first as stored, and one collection's records.
struct StoredRecords {
    std::vector<std::string> history;
    StoredCollection collection;
};

// velum.cfg in the store's folder `storeFolder`, and its temporary file.
std::string ConfigFilePath(const std::string& storeFolder);
inline constexpr char kConfigTempName[] = "~velum.tmp";
// The most bitmaps the history keeps.
inline constexpr int kMaxHistory = 10;
// The most bitmaps a collection holds: list positions are 16-bit.
inline constexpr int kMaxListEntries = 32767;

// Puts an applied bitmap at the top of the history, newest first: one already there moves up,
// a new one pushes the oldest out past kMaxHistory. False when it was at the top already.
bool PushHistory(std::vector<std::string>& history, const std::string& path);

// Reads the history and the records of the collection `name` from a velum.cfg stream. A read
// error sets the stream's badbit; what was read before it is returned.
StoredRecords ReadCollectionRecords(std::istream& in, const std::string& name);

// Reads the velum.cfg of `storeFolder` for the collection `name`: nothing when the file does not
// exist. Throws IoFailure when it exists but cannot be read to its end.
StoredRecords LoadCollectionFile(const std::string& storeFolder, const std::string& name);

// The value of the first TileWallpaper record of `name`, as stored; nothing when there is none
// or velum.cfg cannot be read (the loading of the collection reports that).
std::optional<std::string> LoadTileSettingFile(const std::string& storeFolder,
                                               const std::string& name);

// Writes the collection's records, then every old record of other collections and of the
// history, and the collection's own first Index, Time and CurrentIndex where they stood.
void WriteCollectionRecords(std::ostream& out, std::istream* old, const std::string& name,
                            const CollectionContent& content);

// Writes the history and the rotation state, then the old records that survive.
void WriteRotationRecords(std::ostream& out, std::istream* old, const RotationSnapshot& snap);

// Saves a collection into the velum.cfg of `storeFolder` safely; throws IoFailure when it cannot.
void SaveCollectionFile(const std::string& storeFolder, const std::string& name,
                        const CollectionContent& content);

// Saves the history and rotation state into the velum.cfg of `storeFolder` safely; throws
// IoFailure when it cannot.
void SaveRotationFile(const std::string& storeFolder, const RotationSnapshot& snap);

} // namespace velum
