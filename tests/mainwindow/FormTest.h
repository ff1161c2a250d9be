// The form over a store of its own, with fakes for the settings, the desktop, the clock and the
// dialogs.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "common/IoFailure.h"
#include "common/RegistrySettings.h"
#include "mainwindow/frmWallPaper.h"
#include "support/TestSupport.h"

namespace velum::test {

using Strings = std::vector<std::string>;

// Settings that fail as their file can: every write throws while `writesFail` (a full disk),
// every read finds nothing while `unreadable` (a folder in the file's place).
struct FaultySettings final : Registry {
    MemoryRegistry& inner;
    bool writesFail = false, unreadable = false;
    explicit FaultySettings(MemoryRegistry& r) : inner(r) {}
    std::int32_t OpenKey(HKey r, const std::string& k, std::uint32_t a, HKey* h) override {
        return inner.OpenKey(r, k, a, h);
    }
    std::int32_t CreateKey(HKey r, const std::string& k, std::uint32_t a, HKey* h) override {
        return inner.CreateKey(r, k, a, h);
    }
    std::int32_t QueryValue(HKey k, const std::string& n, std::uint32_t* t, unsigned char* d,
                            std::uint32_t* s) override {
        return unreadable ? reg::kFileNotFound : inner.QueryValue(k, n, t, d, s);
    }
    std::int32_t SetValue(HKey k, const std::string& n, std::uint32_t t, const unsigned char* d,
                          std::uint32_t s) override {
        if (writesFail)
            throw IoFailure("Could not save user.reg: No space left on device", 28);
        return inner.SetValue(k, n, t, d, s);
    }
    std::int32_t CloseKey(HKey k) override { return inner.CloseKey(k); }
    std::string ReadFailure() override {
        return unreadable ? "Cannot read user.reg: Is a directory" : "";
    }
};

struct FormTest : ::testing::Test {
    TempFolder store;
    MemoryRegistry reg;
    FaultySettings settings{reg};
    FakeDialogs dialogs;
    FakeDesktop desktop{reg};
    FakeClock clock;
    FakeRandom random;
    std::unique_ptr<frmWallPaper> window;

    // A form over the store, not loaded: the window's, or velumspin's.
    frmWallPaper& Make(FormRole role = kWindowRole) {
        window = std::make_unique<frmWallPaper>(settings, dialogs,
                                                FormPlaces{store.root(), store.root()}, role);
        window->UseDesktop(desktop);
        window->UseClock(clock);
        window->UseRandom(random);
        return *window;
    }
    // The window loaded over the stored names, the current name and velum.cfg's records.
    frmWallPaper& Start(const std::string& names, const std::string& current,
                        const Strings& records = {}) {
        reg.Put(kOptionsKey, "Collections", reg::kSz, names + '\0');
        reg.Put(kOptionsKey, "Current", reg::kSz, current + '\0');
        WriteWholeFile(store.file("velum.cfg"), CrlfJoin(records));
        Make().Form_Load();
        return *window;
    }
    // velumspin's run on the same store, beside the window; true when a save of it failed.
    bool Cycle() {
        frmWallPaper cycler(settings, dialogs, {store.root(), store.root()}, kCyclerRole);
        cycler.UseDesktop(desktop);
        cycler.UseClock(clock);
        cycler.CycleOnce();
        return cycler.saveFailed();
    }
};

} // namespace velum::test
