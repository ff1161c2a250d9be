#include "store/CollectionStore.h"

#include <istream>
#include <ostream>

#include "common/Files.h"
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
        if (keep(r))
            WriteConfigRecord(out, r.key, r.name, r.value);
    }
}

} // namespace

std::string ConfigFilePath() {
    return GetWinDir() + "velum.cfg";
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

void SaveCollectionFile(const std::string& name, const CollectionContent& content) {
    RewriteFile(ConfigFilePath(), kConfigTempName, [&](std::istream* old, std::ostream& out) {
        WriteCollectionRecords(out, old, name, content);
    });
}

void SaveRotationFile(const RotationSnapshot& snap) {
    RewriteFile(ConfigFilePath(), kConfigTempName, [&](std::istream* old, std::ostream& out) {
        WriteRotationRecords(out, old, snap);
    });
}

} // namespace velum
