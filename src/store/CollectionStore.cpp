#include "store/CollectionStore.h"

#include <algorithm>
#include <istream>
#include <memory>
#include <ostream>

#include "common/Files.h"
#include "common/IoFailure.h"
#include "common/Numbers.h"
#include "store/ConfigRecord.h"

namespace velum {

namespace {

bool IsStateKey(std::string_view key) {
    return key == "Index" || key == "Time" || key == "CurrentIndex";
}

// Tracks which rotation-state keys of one name have been kept already.
struct StateSeen {
    bool index = false, time = false, currentIndex = false;
    // True the first time a key is met.
    bool First(std::string_view key) {
        bool& flag = key == "Index" ? index : key == "Time" ? time : currentIndex;
        bool first = !flag;
        flag = true;
        return first;
    }
};

// Copies the old file's records through `keep`, normalised to three quoted fields.
template <typename Keep> void CopyRecords(std::istream* old, std::ostream& out, Keep keep) {
    if (!old)
        return;
    std::string line;
    while (ReadConfigLine(*old, line)) {
        if (line.empty())
            continue; // not a record; nothing to carry
        ConfigRecord r = ParseConfigRecord(line);
        // A lone CR or a NUL inside an old line is no record either program can read back.
        if (!WritableField(line))
            continue;
        if (keep(r))
            WriteConfigRecord(out, r.key, r.name, r.value);
    }
}

} // namespace

std::string ConfigFilePath(const std::string& storeFolder) {
    return JoinPath(storeFolder, "velum.cfg");
}

bool PushHistory(std::vector<std::string>& history, const std::string& path) {
    auto found = std::find(history.begin(), history.end(), path);
    if (found == history.begin() && found != history.end())
        return false;
    if (found != history.end()) {
        std::rotate(history.begin(), found, found + 1);
    } else {
        history.insert(history.begin(), path);
        if (history.size() > static_cast<std::size_t>(kMaxHistory))
            history.resize(kMaxHistory);
    }
    return true;
}

StoredRecords ReadCollectionRecords(std::istream& in, const std::string& name) {
    StoredRecords out;
    StoredCollection& c = out.collection;
    std::string line;
    while (ReadConfigLine(in, line)) {
        if (line.empty())
            continue; // a blank line is no record, and no history entry
        ConfigRecord r = ParseConfigRecord(line);
        if (r.name.empty()) {
            out.history.emplace_back(r.value);
            continue;
        }
        if (r.name != name)
            continue;
        std::string value(r.value);
        if (r.key == "Minutes") {
            c.minutes = value;
        } else if (r.key == "Hours") {
            c.hours = value;
        } else if (r.key == "Days") {
            c.days = value;
        } else if (r.key == "Index" || r.key == "CurrentIndex") {
            std::int16_t n = 0;
            if (RoundToInt16(LenientVal(value), n))
                (r.key == "Index" ? c.index : c.currentIndex) = n;
        } else if (r.key == "Time") {
            c.time = value;
        } else if (r.key == "CycleOptions") {
            c.cycleOptions = value;
        } else if (r.key == "TileWallpaper") {
            if (!c.tileWallpaper)
                c.firstTileWallpaper = value;
            c.tileWallpaper = value;
        } else if (r.key == "Bmp") {
            if (c.bitmaps.size() < static_cast<std::size_t>(kMaxListEntries))
                c.bitmaps.push_back(value);
        }
    }
    return out;
}

StoredRecords LoadCollectionFile(const std::string& storeFolder, const std::string& name) {
    const std::string path = ConfigFilePath(storeFolder);
    if (!FileExists(path))
        return {};
    std::unique_ptr<std::istream> in = OpenTextForReading(path);
    if (!in)
        return {};
    StoredRecords records = ReadCollectionRecords(*in, name);
    if (in->bad())
        throw IoFailure("Read error in " + path);
    return records;
}

std::optional<std::string> LoadTileSettingFile(const std::string& storeFolder,
                                               const std::string& name) {
    const std::string path = ConfigFilePath(storeFolder);
    if (!FileExists(path))
        return std::nullopt;
    std::unique_ptr<std::istream> in;
    try {
        in = OpenTextForReading(path);
    } catch (const IoFailure&) {
        return std::nullopt;
    }
    if (!in)
        return std::nullopt;
    std::string line;
    while (ReadConfigLine(*in, line)) {
        ConfigRecord r = ParseConfigRecord(line);
        if (r.name == name && r.key == "TileWallpaper")
            return std::string(r.value);
    }
    return std::nullopt;
}

void WriteCollectionRecords(std::ostream& out, std::istream* old, const std::string& name,
                            const CollectionContent& content) {
    for (const auto& bmp : content.bitmaps)
        WriteConfigRecord(out, "Bmp", name, bmp);
    WriteConfigRecordNumber(out, "Max", name, static_cast<long>(content.bitmaps.size()));
    WriteConfigRecord(out, "Minutes", name, content.minutes);
    WriteConfigRecord(out, "Hours", name, content.hours);
    WriteConfigRecord(out, "Days", name, content.days);
    WriteConfigRecord(out, "CycleOptions", name, content.cycleOptions);
    WriteConfigRecord(out, "TileWallpaper", name, content.tileWallpaper);

    StateSeen own;
    CopyRecords(old, out, [&](const ConfigRecord& r) {
        if (r.name != name)
            return true;
        // The rotation position survives a save of the collection's bitmaps and options.
        return IsStateKey(r.key) && own.First(r.key);
    });
}

void WriteRotationRecords(std::ostream& out, std::istream* old, const RotationSnapshot& snap) {
    if (!snap.cycler) {
        int written = 0;
        for (const auto& entry : snap.history) {
            if (written == kMaxHistory)
                break;
            ++written; // the first ten entries count, empty ones are skipped
            if (!entry.empty())
                WriteConfigRecord(out, "Bmp", "", entry);
        }
    }
    const std::string& current = snap.collection;
    if (!current.empty()) {
        WriteConfigRecord(out, "Index", current, snap.index);
        WriteConfigRecord(out, "Time", current, snap.time);
        WriteConfigRecord(out, "CurrentIndex", current, snap.currentIndex);
    }

    if (snap.cycler) {
        CopyRecords(old, out, [&](const ConfigRecord& r) {
            return !(r.key != "Bmp" && r.name == current && IsStateKey(r.key));
        });
        return;
    }

    std::set<std::string, std::less<>> seen[3];
    CopyRecords(old, out, [&](const ConfigRecord& r) {
        if (r.key == "Bmp")
            return !r.name.empty() && snap.deleted.find(std::string(r.name)) == snap.deleted.end();
        if (r.name == current)
            return !IsStateKey(r.key);
        if (!IsStateKey(r.key))
            return true;
        auto& names = seen[r.key == "Index" ? 0 : r.key == "Time" ? 1 : 2];
        return names.emplace(r.name).second; // only the first of each collection stays
    });
}

void SaveCollectionFile(const std::string& storeFolder, const std::string& name,
                        const CollectionContent& content) {
    RewriteFile(ConfigFilePath(storeFolder), kConfigTempName,
                [&](std::istream* old, std::ostream& out) {
                    WriteCollectionRecords(out, old, name, content);
                });
}

void SaveRotationFile(const std::string& storeFolder, const RotationSnapshot& snap) {
    RewriteFile(
        ConfigFilePath(storeFolder), kConfigTempName,
        [&](std::istream* old, std::ostream& out) { WriteRotationRecords(out, old, snap); });
}

} // namespace velum
