#include "common/Files.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iterator>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/IoFailure.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace velum {
namespace {

using namespace test;

const char* kTemp = "~velum.tmp";

template <class Work> IoFailure Caught(Work work) {
    try {
        work();
    } catch (const IoFailure& e) {
        return e;
    }
    ADD_FAILURE() << "no IoFailure";
    return IoFailure("");
}

TEST(FilesRewrite, CreatesTheFolderReplacesExactlyKeepsTheModeIgnoresAStaleTempFollowsLinks) {
    const TempStore store;
    setenv("XDG_CONFIG_HOME", (store.root() + "/deep").c_str(), 1); // TempStore puts it back
    const std::string path = store.file("velum.cfg"), temp = store.file(kTemp),
                      first = std::string("\0\x01\xff", 3) + std::string(100000, 'o'),
                      second = "a\r\n" + std::string(200000, 'z');
    std::vector<std::string> seen;
    const auto rewrite = [&](const std::string& bytes) {
        RewriteFile(path, kTemp, [&](std::istream* old, std::ostream& out) {
            seen.push_back(old ? std::string(std::istreambuf_iterator<char>(*old), {}) : "none");
            out.write(bytes.data(), 4) << bytes.substr(4); // a small write, then a large one
        });
    };
    rewrite(first);
    EXPECT_EQ(fs::status(store.winDir()).permissions(), fs::perms::owner_all);
    WriteWholeFile(temp, std::string(100000, 's')); // a stale one, read-only
    fs::permissions(temp, fs::perms::owner_read);
    fs::permissions(path, fs::perms(0444));
    rewrite(second);
    EXPECT_EQ(fs::status(path).permissions(), fs::perms(0444));
    EXPECT_FALSE(fs::exists(temp));
    // A relative link stays; the file it names is made, then replaced.
    fs::remove(path);
    fs::create_symlink("../data.cfg", path);
    rewrite(first);
    rewrite(second);
    EXPECT_TRUE(fs::is_symlink(path));
    EXPECT_EQ(ReadWholeFile(store.root() + "/deep/data.cfg"), second);
    EXPECT_EQ(seen, (std::vector<std::string>{"none", first, "none", first}));
}

TEST(Files, SpecialFilesAreNotReadAndFailedRewritesLeaveTheOldFileAndNoTemp) {
    const TempStore store;
    const std::string root = store.root(), fifo = root + "/fifo.cfg",
                      text = std::string(200000, 'x') + "\nend";
    WriteWholeFile(root + "/dir/a.bmp", text);
    EXPECT_EQ(OpenForReading(root + "/gone.bmp"), nullptr);
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_STREQ(Caught([&] { OpenForReading(fifo); }).what(),
                 ("Could not open " + fifo + ": not a regular file").c_str());
    EXPECT_EQ(Caught([&] { OpenForReading(root); }).code(), EISDIR);

    auto in = OpenForReading(root + "/dir/a.bmp"); // a small read, then one past the buffer
    std::string head(1000, '\0'), rest(text.size() - 1000, '\0');
    in->read(head.data(), 1000).read(rest.data(), static_cast<std::streamsize>(rest.size()));
    EXPECT_EQ(head + rest, text);

    const std::string path = store.file("velum.cfg"),
                      oldBytes = "first\n" + std::string(200000, 'o'), saving = "Could not save ";
    WriteWholeFile(path, oldBytes);
    const auto fails = [&](const std::function<void(std::istream*, std::ostream&)>& body, int code,
                           const std::string& why) {
        IoFailure e = Caught([&] { RewriteFile(path, kTemp, body); });
        EXPECT_EQ(e.code(), code);
        EXPECT_EQ(std::string(e.what()).rfind(why, 0), 0u) << e.what();
        EXPECT_EQ(ReadWholeFile(path), oldBytes);
        EXPECT_FALSE(fs::exists(store.file(kTemp)));
    };
    fails([](auto*, auto&) { throw std::runtime_error("no"); }, 0, saving + path + ": no");
    // Reads a byte, then points the old file's descriptor at a folder.
    const int folder = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const auto readError = [&](std::istream* old, std::ostream&) {
        old->get();
        for (const auto& e : fs::directory_iterator("/proc/self/fd"))
            if (std::error_code ec; fs::read_symlink(e.path(), ec) == fs::canonical(path))
                ::dup2(folder, std::stoi(e.path().filename().string()));
        old->ignore(1 << 30);
    };
    fails(readError, EISDIR, saving + path + ": read error");
    ::close(folder);
    // A write that fails part way, at the first byte, in the first buffer or after several.
    rlimit size{};
    ::getrlimit(RLIMIT_FSIZE, &size);
    std::signal(SIGXFSZ, SIG_IGN); // EFBIG rather than the end of the process
    for (const rlim_t limit : {0, 100, 70000}) {
        const rlimit lower{limit, size.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &lower);
        fails([](auto*, auto& out) { out << std::string(200000, 'n'); }, EFBIG, saving + path);
        ::setrlimit(RLIMIT_FSIZE, &size);
    }
}

} // namespace
} // namespace velum
