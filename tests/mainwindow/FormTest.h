// The form over a store of its own, with fakes for the settings, desktop, clock and dialogs.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "common/IoFailure.h"
#include "common/RegistrySettings.h"
#include "mainwindow/frmWallPaper.h"
#include "support/TestSupport.h"

namespace velum::test {

using Strings = std::vector<std::string>;
using S = const std::string&;

// Settings that fail as their file can: writes throw while `writesFail` (a full disk), reads
// find nothing while `unreadable` (a folder in the file's place).
struct FaultySettings final : Registry {
    MemoryRegistry& inner;
    bool writesFail = false, unreadable = false;
    explicit FaultySettings(MemoryRegistry& r) : inner(r) {}
    using I = std::int32_t;
    using U = std::uint32_t;
    I OpenKey(HKey r, S k, U a, HKey* h) override { return inner.OpenKey(r, k, a, h); }
    I CreateKey(HKey r, S k, U a, HKey* h) override { return inner.CreateKey(r, k, a, h); }
    I QueryValue(HKey k, S n, U* t, unsigned char* d, U* s) override {
        return unreadable ? reg::kFileNotFound : inner.QueryValue(k, n, t, d, s);
    }
    I SetValue(HKey k, S n, U t, const unsigned char* d, U s) override {
        if (writesFail)
            throw IoFailure("Could not save user.reg: No space left on device", 28);
        return inner.SetValue(k, n, t, d, s);
    }
    I CloseKey(HKey k) override { return inner.CloseKey(k); }
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
    std::unique_ptr<frmWallPaper> window;

    std::unique_ptr<frmWallPaper> New(FormRole role) {
        auto f = std::make_unique<frmWallPaper>(settings, dialogs,
                                                FormPlaces{store.root(), store.root()}, role);
        f->UseDesktop(desktop);
        f->UseClock(clock);
        return f;
    }
    frmWallPaper& Make() { return *(window = New(kWindowRole)); }
    // The window loaded over the stored names, the current name and velum.cfg's records.
    frmWallPaper& Start(S names, S current, const Strings& records = {}) {
        reg.Put(kOptionsKey, "Collections", reg::kSz, names + '\0');
        reg.Put(kOptionsKey, "Current", reg::kSz, current + '\0');
        WriteWholeFile(store.file("velum.cfg"), CrlfJoin(records));
        Make().Form_Load();
        return *window;
    }
    // velumspin's run on the same store, beside the window; true when a save of it failed.
    bool Cycle() {
        const auto cycler = New(kCyclerRole);
        cycler->CycleOnce();
        return cycler->saveFailed();
    }
};

} // namespace velum::test
