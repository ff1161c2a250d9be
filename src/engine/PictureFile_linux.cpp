// Drawing a picture at any size: its decoder hands out rows of the columns that show, and
// pixman filters them, first along the rows a few at a time, then down bands of the result, so
// only a band's worth of the picture is ever held.
#include "engine/PictureFile.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <pixman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/PictureParts.h"
#include "engine/PictureRows.h"

namespace velum {

std::FILE* OpenRegularFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat st {};
    std::FILE* file = nullptr;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
        file = ::fdopen(fd, "rb");
    if (!file)
        ::close(fd);
    return file;
}

struct PictureFile::State {
    PictureSource source;
    int storedWidth = 0;
    int storedHeight = 0;
    int orientation = 1;
    std::optional<BitmapFile> bitmap;
};

namespace {

// The rows of a picture held in memory (an oriented region, a bitmap's columns).
class BitmapRows : public RowSource {
  public:
    BitmapRows(const BitmapFile& bitmap, int c0, int c1, int r0)
        : bitmap_(bitmap), c0_(c0), columns_(c1 - c0), next_(r0) {}
    bool Read(int n, std::uint32_t* out, std::size_t stride) override {
        const bool ok = bitmap_.Decode(c0_, next_, columns_, n, out, stride);
        next_ += n;
        return ok;
    }
    bool Finish() override { return true; }

  private:
    const BitmapFile& bitmap_;
    int c0_, columns_, next_;
};

class MemoryRows : public RowSource {
  public:
    MemoryRows(std::vector<std::uint32_t> pixels, int width)
        : pixels_(std::move(pixels)), width_(static_cast<std::size_t>(width)) {}
    bool Read(int n, std::uint32_t* out, std::size_t stride) override {
        if ((next_ + static_cast<std::size_t>(n)) * width_ > pixels_.size())
            return false;
        for (int i = 0; i < n; ++i, ++next_)
            std::copy_n(pixels_.data() + next_ * width_, width_,
                        out + static_cast<std::size_t>(i) * stride);
        return true;
    }
    bool Finish() override { return true; }

  private:
    std::vector<std::uint32_t> pixels_;
    std::size_t width_;
    std::size_t next_ = 0;
};

// A JPEG shown turned or mirrored: the stored region behind the shown columns [c0, c1) and rows
// [r0, r1) of the picture decoded at `eighths`, read whole and turned upright.
std::unique_ptr<RowSource> OrientedJpegRows(const PictureFile::State& s, int eighths, int c0,
                                            int c1, int r0, int r1) {
    const int o = s.orientation;
    const int sw = JpegScaledSide(s.storedWidth, eighths);
    const int sh = JpegScaledSide(s.storedHeight, eighths);
    int ax, ay, bx, by;
    StoredPoint(o, sw, sh, c0, r0, ax, ay);
    StoredPoint(o, sw, sh, c1 - 1, r1 - 1, bx, by);
    const int x0 = std::min(ax, bx), x1 = std::max(ax, bx) + 1;
    const int y0 = std::min(ay, by), y1 = std::max(ay, by) + 1;
    const auto storedW = static_cast<std::size_t>(x1 - x0);
    std::vector<std::uint32_t> stored(storedW * static_cast<std::size_t>(y1 - y0));
    std::unique_ptr<RowSource> rows = StartJpegRows(s.source, eighths, x0, x1, y0);
    if (!rows || !rows->Read(y1 - y0, stored.data(), storedW) || !rows->Finish())
        return nullptr;
    const int w = c1 - c0, h = r1 - r0;
    std::vector<std::uint32_t> shown(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            int px, py;
            StoredPoint(o, sw, sh, c0 + x, r0 + y, px, py);
            shown[static_cast<std::size_t>(y) * w + x] =
                stored[static_cast<std::size_t>(py - y0) * storedW + (px - x0)];
        }
    return std::make_unique<MemoryRows>(std::move(shown), w);
}

// The filter along one axis: when reducing, a tent as wide as two output pixels over each one's
// footprint (it leaves next to no moire where a plain area average does, at half the taps of a
// cubic); when enlarging, Mitchell's cubic between source pixels. The other axis passes through.
struct AxisFilter {
    pixman_fixed_t scale = pixman_fixed_1; // source pixels per output pixel, 16.16
    pixman_fixed_t* params = nullptr;
    int nParams = 0;
    int reach = 0; // source pixels the filter reaches past a sample, each way

    AxisFilter(int from, int to, bool alongX) {
        scale = static_cast<pixman_fixed_t>(
            std::llround(static_cast<double>(from) * pixman_fixed_1 / to));
        const bool reduce = from > to;
        const pixman_kernel_t reconstruct = reduce ? PIXMAN_KERNEL_BOX : PIXMAN_KERNEL_CUBIC;
        const pixman_kernel_t sample = reduce ? PIXMAN_KERNEL_LINEAR : PIXMAN_KERNEL_IMPULSE;
        const pixman_fixed_t s = reduce ? scale : pixman_fixed_1;
        constexpr int kPhaseBits = 4;
        params = alongX ? pixman_filter_create_separable_convolution(
                              &nParams, s, pixman_fixed_1, reconstruct, PIXMAN_KERNEL_BOX, sample,
                              PIXMAN_KERNEL_IMPULSE, kPhaseBits, 0)
                        : pixman_filter_create_separable_convolution(
                              &nParams, pixman_fixed_1, s, PIXMAN_KERNEL_BOX, reconstruct,
                              PIXMAN_KERNEL_IMPULSE, sample, 0, kPhaseBits);
        if (!params)
            throw std::bad_alloc();
        reach = pixman_fixed_to_int(params[alongX ? 0 : 1]) / 2 + 2;
    }
    ~AxisFilter() { std::free(params); }
    AxisFilter(const AxisFilter&) = delete;
    AxisFilter& operator=(const AxisFilter&) = delete;

    // The source pixels [first, last) that output pixels [a, b) reach.
    void Span(int a, int b, int size, int& first, int& last) const {
        const double s = pixman_fixed_to_double(scale);
        first = std::clamp(static_cast<int>(std::floor((a + 0.5) * s)) - reach, 0, size);
        last = std::clamp(static_cast<int>(std::ceil((b - 0.5) * s)) + reach + 1, 0, size);
    }
};

struct PixmanImage {
    pixman_image_t* image;
    PixmanImage(int w, int h, std::uint32_t* bits, std::size_t stride)
        : image(
              pixman_image_create_bits(PIXMAN_x8r8g8b8, w, h, bits, static_cast<int>(stride * 4))) {
        if (!image)
            throw std::bad_alloc();
    }
    ~PixmanImage() { pixman_image_unref(image); }
    PixmanImage(const PixmanImage&) = delete;
    PixmanImage& operator=(const PixmanImage&) = delete;
};

// Filters `from` (w x h) into `to` (toW x h), or down: the output pixel i's sample sits at
// (i + 0.5) * scale + offset (16.16) of the source.
void Filter(const AxisFilter& f, bool alongX, std::int64_t offset, std::uint32_t* from, int w,
            int h, std::size_t fromStride, std::uint32_t* to, int toW, int toH,
            std::size_t toStride) {
    PixmanImage src(w, h, from, fromStride), dst(toW, toH, to, toStride);
    pixman_transform_t t;
    pixman_transform_init_identity(&t);
    const int axis = alongX ? 0 : 1;
    t.matrix[axis][axis] = f.scale;
    t.matrix[axis][2] = static_cast<pixman_fixed_t>(offset);
    pixman_image_set_transform(src.image, &t);
    pixman_image_set_filter(src.image, PIXMAN_FILTER_SEPARABLE_CONVOLUTION, f.params, f.nParams);
    pixman_image_set_repeat(src.image, PIXMAN_REPEAT_PAD);
    pixman_image_composite32(PIXMAN_OP_SRC, src.image, nullptr, dst.image, 0, 0, 0, 0, 0, 0, toW,
                             toH);
}

// Rows are read along in runs of this many bytes, and bands are filtered down from at most
// this many (or the rows one output row needs).
constexpr std::size_t kRunBytes = std::size_t{1} << 20;
constexpr std::size_t kBandBytes = std::size_t{4} << 20;
constexpr std::size_t kMaxBandBytes = std::size_t{256} << 20;

} // namespace

// Reads the headers of the picture `state` points at.
std::optional<PictureFile> PictureFile::Inspect(PictureFormat format,
                                                std::shared_ptr<State> state) {
    try {
        switch (format) {
        case PictureFormat::Bitmap: {
            state->bitmap = state->source.inMemory ? BitmapFile::FromBytes(state->source.bytes)
                                                   : BitmapFile::Open(state->source.path);
            if (!state->bitmap)
                return std::nullopt;
            const int w = state->bitmap->width(), h = state->bitmap->height();
            return PictureFile(format, w, h, std::move(state));
        }
        case PictureFormat::Jpeg: {
            const std::optional<JpegInfo> info = ReadJpegInfo(state->source);
            if (!info)
                return std::nullopt;
            state->storedWidth = info->width;
            state->storedHeight = info->height;
            state->orientation = info->orientation;
            const bool turned = Transposes(info->orientation);
            return PictureFile(format, turned ? info->height : info->width,
                               turned ? info->width : info->height, std::move(state));
        }
        case PictureFormat::Png: {
            const std::optional<PngInfo> info = ReadPngInfo(state->source);
            if (!info)
                return std::nullopt;
            state->storedWidth = info->width;
            state->storedHeight = info->height;
            return PictureFile(format, info->width, info->height, std::move(state));
        }
        case PictureFormat::Unknown:
            break;
        }
    } catch (const std::bad_alloc&) {
    }
    return std::nullopt;
}

std::optional<PictureFile> PictureFile::FromBytes(PictureFormat format, std::string_view bytes) {
    auto state = std::make_shared<State>();
    state->source.bytes = bytes;
    state->source.inMemory = true;
    return Inspect(format, std::move(state));
}

std::optional<PictureFile> PictureFile::Open(const std::string& path) {
    auto state = std::make_shared<State>();
    state->source.path = path;
    return Inspect(FormatToRead(path), std::move(state));
}

bool PictureFile::Decodes() const {
    try {
        switch (format_) {
        case PictureFormat::Bitmap:
            return true; // its headers were checked against the file's size
        case PictureFormat::Jpeg:
            return JpegDecodes(state_->source);
        case PictureFormat::Png:
            return PngDecodes(state_->source);
        case PictureFormat::Unknown:
            break;
        }
    } catch (const std::bad_alloc&) {
    }
    return false;
}

namespace {

// Rows decoded on a thread of their own some runs ahead of the reader, so that decoding a photo
// on one core overlaps filtering it on the other, and a band filtered at once does not stall the
// decoder. The reader's rows come out exactly as the decoder's would; Finish runs on the
// reader's thread once the decoder's thread has ended.
class ReadAheadRows final : public RowSource {
  public:
    ReadAheadRows(std::unique_ptr<RowSource> rows, int columns, int total)
        : rows_(std::move(rows)), columns_(static_cast<std::size_t>(columns)),
          chunkRows_(std::max<int>(1, static_cast<int>(kChunkBytes / (columns_ * 4)))),
          total_(total) {
        for (int i = 0; i < kChunks; ++i)
            free_.emplace_back(columns_ * static_cast<std::size_t>(chunkRows_));
        worker_ = std::thread([this] { Decode(); });
    }
    ~ReadAheadRows() override { Stop(); }

    bool Read(int n, std::uint32_t* out, std::size_t stride) override {
        while (n > 0) {
            if (current_.empty() || at_ == shown_) {
                if (!Next())
                    return false;
                if (current_.empty()) // past the rows read ahead: straight from the decoder
                    return rows_->Read(n, out, stride);
            }
            const int k = std::min(n, shown_ - at_);
            for (int r = 0; r < k; ++r)
                std::memcpy(out + static_cast<std::size_t>(r) * stride,
                            current_.data() + static_cast<std::size_t>(at_ + r) * columns_,
                            columns_ * 4);
            at_ += k;
            n -= k;
            out += static_cast<std::size_t>(k) * stride;
        }
        return true;
    }

    bool Finish() override {
        Stop();
        return !failed_ && rows_->Finish();
    }

  private:
    static constexpr std::size_t kChunkBytes = std::size_t{256} << 10;
    static constexpr int kChunks = 8;
    using Chunk = std::vector<std::uint32_t>;

    void Decode() {
        for (int done = 0; done < total_;) {
            Chunk chunk;
            {
                std::unique_lock<std::mutex> hold(lock_);
                changed_.wait(hold, [&] { return stop_ || !free_.empty(); });
                if (stop_)
                    return;
                chunk = std::move(free_.front());
                free_.pop_front();
            }
            const int k = std::min(chunkRows_, total_ - done);
            const bool ok = rows_->Read(k, chunk.data(), columns_);
            std::lock_guard<std::mutex> hold(lock_);
            if (!ok) {
                failed_ = true;
                break;
            }
            filled_.push_back({std::move(chunk), k});
            done += k;
            changed_.notify_all();
        }
        std::lock_guard<std::mutex> hold(lock_);
        ended_ = true;
        changed_.notify_all();
    }

    // Takes the next chunk read ahead, handing the last one back; leaves none when the decoder's
    // thread has ended with nothing more. False when the decoder failed.
    bool Next() {
        std::unique_lock<std::mutex> hold(lock_);
        if (!current_.empty())
            free_.push_back(std::move(current_));
        current_.clear();
        changed_.notify_all();
        changed_.wait(hold, [&] { return !filled_.empty() || ended_; });
        if (filled_.empty()) {
            hold.unlock();
            Stop();
            return !failed_;
        }
        current_ = std::move(filled_.front().first);
        shown_ = filled_.front().second;
        filled_.pop_front();
        at_ = 0;
        return true;
    }

    void Stop() {
        {
            std::lock_guard<std::mutex> hold(lock_);
            stop_ = true;
        }
        changed_.notify_all();
        if (worker_.joinable())
            worker_.join();
    }

    std::unique_ptr<RowSource> rows_;
    const std::size_t columns_;
    const int chunkRows_;
    const int total_;
    std::mutex lock_;
    std::condition_variable changed_;
    std::deque<Chunk> free_;
    std::deque<std::pair<Chunk, int>> filled_;
    bool stop_ = false, ended_ = false, failed_ = false;
    Chunk current_;
    int shown_ = 0, at_ = 0;
    std::thread worker_;
};

} // namespace

bool PictureFile::DrawScaled(int scaledW, int scaledH, int x, int y, int w, int h,
                             RowTarget& target, std::uint32_t background) const {
    const State& s = *state_;
    // The picture as decoded: a JPEG at the least eighths of its size that is still at least
    // the size drawn, so the filter only finishes what the DCT began.
    int dw = width_, dh = height_, eighths = 8;
    if (format_ == PictureFormat::Jpeg) {
        const bool turned = Transposes(s.orientation);
        eighths = JpegEighthsFor({s.storedWidth, s.storedHeight, s.orientation},
                                 turned ? scaledH : scaledW, turned ? scaledW : scaledH);
        const int ew = JpegScaledSide(s.storedWidth, eighths);
        const int eh = JpegScaledSide(s.storedHeight, eighths);
        dw = turned ? eh : ew;
        dh = turned ? ew : eh;
    }
    const bool alongX = scaledW != dw, down = scaledH != dh;
    std::optional<AxisFilter> fx, fy;
    int c0 = x, c1 = x + w, r0 = y, r1 = y + h;
    if (alongX) {
        fx.emplace(dw, scaledW, true);
        fx->Span(x, x + w, dw, c0, c1);
    }
    if (down) {
        fy.emplace(dh, scaledH, false);
        fy->Span(y, y + h, dh, r0, r1);
    }

    std::unique_ptr<RowSource> rows;
    switch (format_) {
    case PictureFormat::Bitmap:
        rows = std::make_unique<BitmapRows>(*s.bitmap, c0, c1, r0);
        break;
    case PictureFormat::Jpeg:
        rows = s.orientation == 1 ? StartJpegRows(s.source, eighths, c0, c1, r0)
                                  : OrientedJpegRows(s, eighths, c0, c1, r0, r1);
        break;
    case PictureFormat::Png:
        rows = StartPngRows(s.source, c0, c1, r0, background);
        break;
    case PictureFormat::Unknown:
        break;
    }
    if (!rows)
        return false;
    // Decoding is most of a photo's cost: when there is filtering too, the two share the cores.
    // A small decoding (a preview's) takes a few milliseconds, less than the thread's chunks are
    // worth in memory.
    constexpr std::size_t kReadAheadFrom = std::size_t{4} << 20;
    if (format_ != PictureFormat::Bitmap && (alongX || down) &&
        static_cast<std::size_t>(c1 - c0) * static_cast<std::size_t>(r1 - r0) * 4 >= kReadAheadFrom)
        rows = std::make_unique<ReadAheadRows>(std::move(rows), c1 - c0, r1 - r0);

    // Rows come in runs, filtered along into rows w wide.
    const int cw = c1 - c0;
    const int runRows = static_cast<int>(
        std::clamp<std::size_t>(kRunBytes / (static_cast<std::size_t>(cw) * 4), 1, 64));
    std::vector<std::uint32_t> run;
    if (alongX)
        run.resize(static_cast<std::size_t>(cw) * static_cast<std::size_t>(runRows));
    const std::int64_t tx =
        alongX ? std::int64_t{x} * fx->scale - std::int64_t{c0} * pixman_fixed_1 : 0;
    const auto readAlong = [&](int n, std::uint32_t* to, std::size_t toStride) {
        if (!alongX)
            return rows->Read(n, to, toStride);
        for (int done = 0; done < n;) {
            const int k = std::min(runRows, n - done);
            if (!rows->Read(k, run.data(), static_cast<std::size_t>(cw)))
                return false;
            Filter(*fx, true, tx, run.data(), cw, k, static_cast<std::size_t>(cw),
                   to + static_cast<std::size_t>(done) * toStride, w, k, toStride);
            done += k;
        }
        return true;
    };

    // pixman leaves the unused byte set.
    const auto clearUnused = [&](std::uint32_t* room, std::size_t stride, int n) {
        if (alongX || down)
            for (int r = 0; r < n; ++r)
                for (std::uint32_t* p = room + static_cast<std::size_t>(r) * stride;
                     p != room + static_cast<std::size_t>(r) * stride + w; ++p)
                    *p &= 0xFFFFFF;
    };
    if (!down) {
        if (!DrawInRuns(target, h, [&](int, int n, std::uint32_t* room, std::size_t stride) {
                if (!readAlong(n, room, stride))
                    return false;
                clearUnused(room, stride, n);
                return true;
            }))
            return false;
    } else {
        // Bands of output rows, each filtered down from the rows it reaches, kept from one band
        // to the next where they overlap.
        const double sy = pixman_fixed_to_double(fy->scale);
        const std::size_t rowBytes = static_cast<std::size_t>(w) * 4;
        const double fits = static_cast<double>(kBandBytes / rowBytes) - 2 * fy->reach - 4;
        const int n = std::clamp(static_cast<int>(fits / sy), 1, std::min(h, target.RunRows()));
        const auto capacity = static_cast<std::size_t>(std::ceil(n * sy)) + 2 * fy->reach + 4;
        // A picture squeezed to a few rows but drawn wide needs all its rows for each: past this
        // it is refused rather than held.
        if (capacity * rowBytes > kMaxBandBytes)
            return false;
        std::vector<std::uint32_t> band(capacity * static_cast<std::size_t>(w));
        const auto bandRow = [&](int r) { return band.data() + static_cast<std::size_t>(r) * w; };
        int have0 = r0, have1 = r0; // the rows in the band
        for (int oy = y; oy < y + h; oy += n) {
            const int oe = std::min(oy + n, y + h);
            int need0, need1;
            fy->Span(oy, oe, dh, need0, need1);
            if (need0 > have1 ||
                static_cast<std::size_t>(need1 - std::max(need0, have0)) > capacity)
                return false; // the spans of neighbouring bands always meet
            if (need0 > have0) {
                std::memmove(bandRow(0), bandRow(need0 - have0),
                             static_cast<std::size_t>(have1 - need0) * rowBytes);
                have0 = need0;
            }
            if (need1 > have1 &&
                !readAlong(need1 - have1, bandRow(have1 - have0), static_cast<std::size_t>(w)))
                return false;
            have1 = std::max(have1, need1);
            const std::int64_t ty =
                std::int64_t{oy} * fy->scale - std::int64_t{have0} * pixman_fixed_1;
            std::size_t stride = 0;
            std::uint32_t* room = target.Room(oe - oy, stride);
            Filter(*fy, false, ty, band.data(), w, have1 - have0, static_cast<std::size_t>(w), room,
                   w, oe - oy, stride);
            clearUnused(room, stride, oe - oy);
            if (!target.Drawn())
                return false;
        }
    }
    return rows->Finish();
}

} // namespace velum
