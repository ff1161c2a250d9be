#pragma once

#include <deque>
#include <map>
#include <optional>

#include "common/Clock.h"
#include "common/Dialogs.h"
#include "common/Files.h"
#include "common/HiveFile.h"
#include "common/Registry.h"
#include "engine/Desktop.h"
#include "store/CollectionStore.h"

namespace velum::test {

// A fresh empty folder for one test, removed with everything in it at the end.
struct TempFolder {
    TempFolder();
    ~TempFolder();
    const std::string& root() const { return root_; }
    std::string file(const std::string& name) const { return JoinPath(root_, name); }
    std::string root_;
};

// A TempFolder the store folder (GetWinDir) points into while it lives, through XDG_CONFIG_HOME;
// on Windows the Windows folder, emptied of the store's files at the start and the end.
struct TempStore : private TempFolder {
    TempStore();
    ~TempStore();
    using TempFolder::root;
    // With its trailing separator; created on the first write.
    std::string winDir() const { return GetWinDir(); }
    std::string file(const std::string& name) const { return winDir() + name; }
    std::optional<std::string> savedEnv_;
};

std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& bytes);
// Lines of a CRLF file, without their line ends.
std::vector<std::string> ReadCrlfLines(const std::string& path);
std::string CrlfJoin(const std::vector<std::string>& lines);

// velum.cfg after saving Default and Nature and leaving with Nature shown, line by line.
extern const std::vector<std::string> kWorkedExample;

std::string LittleEndian(std::uint64_t value, int bytes);
// A bitmap file with a 40-byte info header; `extra` (masks, palette) precedes the pixel data.
std::string MakeBmp(std::int32_t width, std::int32_t height, int bpp, std::uint32_t compression,
                    const std::string& data, const std::string& extra = "");
// A 24-bit bottom-up Windows bitmap of `pixels` (0x00RRGGBB, rows top to bottom).
void WriteBmp24(const std::string& path, int width, int height,
                const std::vector<std::uint32_t>& pixels);

// The bitmaps the velum.cfg of `storeFolder` holds for the collection `name`, in order.
std::vector<std::string> StoredBitmapsOf(const std::string& storeFolder, const std::string& name);

// Stores raw bytes as a value under root\keyPath, creating the key, through `reg`'s own calls.
void PutValue(Registry& reg, const std::string& keyPath, const std::string& name,
              std::uint32_t type, const std::string& bytes, HKey root = reg::kCurrentUser);
// The raw bytes of a value under HKEY_CURRENT_USER\keyPath; "<no key>" or "<no value>".
std::string RawValue(Registry& reg, const std::string& keyPath, const std::string& name);

// An in-memory registry with Win32 semantics; Put and Raw work under HKEY_CURRENT_USER.
class MemoryRegistry final : public Registry {
  public:
    std::int32_t OpenKey(HKey root, const std::string& sub, std::uint32_t, HKey* out) override {
        return Open(root, sub, false, out);
    }
    std::int32_t CreateKey(HKey root, const std::string& sub, std::uint32_t, HKey* out) override {
        return Open(root, sub, true, out);
    }
    std::int32_t QueryValue(HKey key, const std::string& name, std::uint32_t* type,
                            unsigned char* data, std::uint32_t* size) override;
    std::int32_t SetValue(HKey key, const std::string& name, std::uint32_t type,
                          const unsigned char* data, std::uint32_t size) override;
    std::int32_t CloseKey(HKey k) override { return handles_.erase(k) ? 0 : reg::kInvalidHandle; }

    void Put(const std::string& k, const std::string& n, std::uint32_t type, const std::string& b) {
        PutValue(*this, k, n, type, b);
    }
    std::string Raw(const std::string& k, const std::string& n) { return RawValue(*this, k, n); }
    int openHandles() const { return static_cast<int>(handles_.size()); }

  private:
    std::int32_t Open(HKey root, const std::string& subKey, bool create, HKey* result);
    Hive hive_; // keys by their full path, as in a hive file
    std::map<HKey, std::string> handles_;
    HKey next_ = 0x100;
};

template <class T> T PopFront(std::deque<T>& queue) {
    const T front = queue.front();
    queue.pop_front();
    return front;
}

// Records every question and message; answers questions from a script (No when it runs out).
struct FakeDialogs final : Dialogs {
    struct Shown {
        std::string text, caption;
    };
    std::vector<Shown> questions, messages;
    std::deque<bool> answers;

    bool AskYesNo(const std::string& prompt, const std::string& caption) override {
        questions.push_back({prompt, caption});
        return !answers.empty() && PopFront(answers);
    }
    void ShowMessage(const std::string& text, const std::string& caption) override {
        messages.push_back({text, caption});
    }
};

// Records every wallpaper call with the style values the registry held at that moment.
struct FakeDesktop final : Desktop {
    struct Call {
        std::string text, tile, style;
    };
    explicit FakeDesktop(MemoryRegistry& reg) : reg_(reg) {}
    MemoryRegistry& reg_;
    std::vector<Call> calls;
    std::string unreadable; // a bitmap refused as the desktop refuses one it cannot read
    DesktopResult SetDeskWallpaper(const std::string& text) override {
        calls.push_back({text, reg_.Raw("Control Panel\\desktop", "TileWallpaper"),
                         reg_.Raw("Control Panel\\desktop", "WallpaperStyle")});
        return text == unreadable && !text.empty() ? DesktopResult::BadPicture
                                                   : DesktopResult::Done;
    }
};

struct FakeClock final : Clock {
    DateTime now{2026, 12, 6, 19, 4, 5};
    DateTime Now() override { return now; }
};

// Draws the numbers the test lines up, then 0.
struct FakeRandom final : RandomSource {
    std::deque<double> draws;
    int randomized = 0;
    void Randomize() override { ++randomized; }
    double Next() override { return draws.empty() ? 0 : PopFront(draws); }
};

} // namespace velum::test
