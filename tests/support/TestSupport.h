#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "common/Registry.h"

namespace velum::test {

// A fresh empty folder for one test, removed with everything in it at the end. While it lives,
// the store's folder (GetWinDir) points into it.
class TempStore {
  public:
    TempStore();
    ~TempStore();
    TempStore(const TempStore&) = delete;
    TempStore& operator=(const TempStore&) = delete;

    // The temporary folder itself.
    const std::string& root() const { return root_; }
    // The store's folder, with its trailing separator (created on first write).
    std::string winDir() const;
    // Full path of a file in the store's folder.
    std::string file(const std::string& name) const { return winDir() + name; }

  private:
    std::string root_;
    std::string savedEnv_;
    bool hadEnv_ = false;
};

std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& bytes);
// Lines of a CRLF file, without their line ends.
std::vector<std::string> ReadCrlfLines(const std::string& path);
// Joins lines, each followed by CRLF.
std::string CrlfJoin(const std::vector<std::string>& lines);

// velum.cfg after saving Default and Nature and leaving with Nature shown, line by line.
extern const std::vector<std::string> kWorkedExample;

// Writes a 24-bit bottom-up Windows bitmap of `pixels` (0x00RRGGBB, rows top to bottom).
void WriteBmp24(const std::string& path, int width, int height,
                const std::vector<std::uint32_t>& pixels);

// An in-memory registry with Win32 semantics, for tests that need no platform.
class MemoryRegistry final : public Registry {
  public:
    std::int32_t OpenKey(HKey root, const std::string& subKey, std::uint32_t access,
                         HKey* result) override;
    std::int32_t CreateKey(HKey root, const std::string& subKey, std::uint32_t access,
                           HKey* result) override;
    std::int32_t QueryValue(HKey key, const std::string& name, std::uint32_t* type,
                            unsigned char* data, std::uint32_t* size) override;
    std::int32_t SetValue(HKey key, const std::string& name, std::uint32_t type,
                          const unsigned char* data, std::uint32_t size) override;
    std::int32_t CloseKey(HKey key) override;

    // Direct access for tests: store or read raw bytes.
    void Put(const std::string& keyPath, const std::string& name, std::uint32_t type,
             const std::string& bytes);
    bool HasKey(const std::string& keyPath) const;
    std::string Raw(const std::string& keyPath, const std::string& name) const;
    int openHandles() const { return static_cast<int>(handles_.size()); }

  private:
    struct Value {
        std::uint32_t type;
        std::string bytes;
    };
    static std::string Fold(const std::string& s);
    std::string Full(HKey root, const std::string& sub) const;
    std::map<std::string, std::map<std::string, Value>> keys_; // folded path -> folded name
    std::map<HKey, std::string> handles_;
    HKey next_ = 0x100;
};

} // namespace velum::test

#include <deque>
#include <functional>

#include "mainwindow/Dialogs.h"

namespace velum::test {

// Records every question and message; answers questions from a script (No when it runs out).
class FakeDialogs final : public Dialogs {
  public:
    struct Shown {
        std::string text;
        std::string caption;
    };
    std::vector<Shown> questions;
    std::vector<Shown> messages;
    std::deque<bool> answers;

    bool AskYesNo(const std::string& prompt, const std::string& caption) override {
        questions.push_back({prompt, caption});
        if (answers.empty())
            return false;
        bool a = answers.front();
        answers.pop_front();
        return a;
    }
    void ShowMessage(const std::string& text, const std::string& caption) override {
        messages.push_back({text, caption});
    }
};

} // namespace velum::test

#include "common/Clock.h"
#include "engine/Desktop.h"

namespace velum::test {

// Records every wallpaper call with the tiling flag the registry held at that moment.
class FakeDesktop final : public Desktop {
  public:
    struct Call {
        std::string text;
        std::string tile;
    };
    explicit FakeDesktop(MemoryRegistry& reg) : reg_(reg) {}
    std::vector<Call> calls;
    DesktopResult result = DesktopResult::Done;
    DesktopResult SetDeskWallpaper(const std::string& text) override {
        calls.push_back({text, reg_.Raw("Control Panel\\desktop", "TileWallpaper")});
        return result;
    }

  private:
    MemoryRegistry& reg_;
};

// A clock that shows what the test sets.
class FakeClock final : public Clock {
  public:
    DateTime now{2026, 12, 6, 19, 4, 5};
    DateTime Now() override { return now; }
};

// Draws the numbers the test lines up, then 0.
class FakeRandom final : public RandomSource {
  public:
    std::deque<double> draws;
    int randomized = 0;
    void Randomize() override { ++randomized; }
    double Next() override {
        if (draws.empty())
            return 0;
        double d = draws.front();
        draws.pop_front();
        return d;
    }
};

} // namespace velum::test
