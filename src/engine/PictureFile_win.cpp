// Windows: JPEG and PNG through the Windows Imaging Component, bitmaps through our own decoder
// as a WIC source; WIC converts, scales (Fant) and copies out only the rectangle drawn, which a
// photo's EXIF orientation then turns upright.
#include <windows.h>
// After windows.h: the GUIDs wincodec.h declares are defined here.
#include <initguid.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <istream>
#include <new>
#include <vector>

#include "common/Files.h"
#include "common/IoFailure.h"
#include "common/WideText.h"
#include "engine/PictureFile.h"
#include "engine/PictureParts.h"

namespace velum {

using Microsoft::WRL::ComPtr;

struct PictureFile::State {
    std::string path; // UTF-8; empty for bytes in memory
    std::string_view bytes;
    std::optional<BitmapFile> bitmap;
    int storedWidth = 0;
    int storedHeight = 0;
    int orientation = 1;
};

namespace {

// COM for the length of one call: velumspin's thread has not initialised it, the window's
// may have, in either model. A thread already in the other model keeps it and is used as it is.
class ComScope {
  public:
    ComScope() : hr_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
    ~ComScope() {
        if (SUCCEEDED(hr_)) // S_OK and S_FALSE both need their CoUninitialize
            CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
    bool usable() const { return SUCCEEDED(hr_) || hr_ == RPC_E_CHANGED_MODE; }

  private:
    HRESULT hr_;
};

ComPtr<IWICImagingFactory> Factory() {
    ComPtr<IWICImagingFactory> factory;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&factory))))
        return nullptr;
    return factory;
}

// Our bitmap decoder as a WIC source of 32bppBGR rows, read as the scaler asks for them.
class BitmapSource : public IWICBitmapSource {
  public:
    explicit BitmapSource(const BitmapFile& bitmap) : bitmap_(bitmap) {}
    virtual ~BitmapSource() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out)
            return E_POINTER;
        if (iid == __uuidof(IUnknown) || iid == __uuidof(IWICBitmapSource)) {
            *out = static_cast<IWICBitmapSource*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --refs_;
        if (left == 0)
            delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetSize(UINT* w, UINT* h) override {
        if (!w || !h)
            return E_INVALIDARG;
        *w = static_cast<UINT>(bitmap_.width());
        *h = static_cast<UINT>(bitmap_.height());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPixelFormat(WICPixelFormatGUID* format) override {
        if (!format)
            return E_INVALIDARG;
        *format = GUID_WICPixelFormat32bppBGR;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetResolution(double* x, double* y) override {
        if (!x || !y)
            return E_INVALIDARG;
        *x = *y = 96;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE CopyPalette(IWICPalette*) override {
        return WINCODEC_ERR_PALETTEUNAVAILABLE;
    }
    HRESULT STDMETHODCALLTYPE CopyPixels(const WICRect* rect, UINT stride, UINT size,
                                         BYTE* out) override {
        const WICRect whole{0, 0, bitmap_.width(), bitmap_.height()};
        const WICRect r = rect ? *rect : whole;
        if (!out || stride % 4 || r.Width < 0 || r.Height < 0)
            return E_INVALIDARG;
        if (r.Width == 0 || r.Height == 0)
            return S_OK;
        if (std::uint64_t{stride} * (r.Height - 1) + std::uint64_t{4} * r.Width > size)
            return WINCODEC_ERR_INSUFFICIENTBUFFER;
        return bitmap_.Decode(r.X, r.Y, r.Width, r.Height, reinterpret_cast<std::uint32_t*>(out),
                              stride / 4)
                   ? S_OK
                   : E_INVALIDARG;
    }

  private:
    const BitmapFile& bitmap_;
    std::atomic<ULONG> refs_{1};
};

// The first frame of the file, through a decoder of the format its name gives, or nothing.
ComPtr<IWICBitmapFrameDecode> FirstFrame(IWICImagingFactory* factory, const PictureFile::State& s,
                                         PictureFormat format) {
    ComPtr<IWICBitmapDecoder> decoder;
    if (s.path.empty()) {
        ComPtr<IWICStream> stream;
        if (s.bytes.size() > MAXDWORD || FAILED(factory->CreateStream(&stream)) ||
            FAILED(stream->InitializeFromMemory(
                reinterpret_cast<BYTE*>(const_cast<char*>(s.bytes.data())),
                static_cast<DWORD>(s.bytes.size()))) ||
            FAILED(factory->CreateDecoderFromStream(stream.Get(), nullptr,
                                                    WICDecodeMetadataCacheOnDemand, &decoder)))
            return nullptr;
    } else if (FAILED(
                   factory->CreateDecoderFromFilename(Widen(s.path).c_str(), nullptr, GENERIC_READ,
                                                      WICDecodeMetadataCacheOnDemand, &decoder))) {
        return nullptr;
    }
    GUID container{};
    if (FAILED(decoder->GetContainerFormat(&container)) ||
        container !=
            (format == PictureFormat::Jpeg ? GUID_ContainerFormatJpeg : GUID_ContainerFormatPng))
        return nullptr; // a ".jpg" holding a bitmap or a PNG
    ComPtr<IWICBitmapFrameDecode> frame;
    if (FAILED(decoder->GetFrame(0, &frame)))
        return nullptr;
    return frame;
}

// The EXIF orientation (1 to 8) of a JPEG frame by its metadata query reader; 1 when it gives
// none.
int QueriedOrientation(IWICBitmapFrameDecode* frame) {
    ComPtr<IWICMetadataQueryReader> reader;
    if (FAILED(frame->GetMetadataQueryReader(&reader)))
        return 1;
    PROPVARIANT value;
    PropVariantInit(&value);
    int orientation = 1;
    if (SUCCEEDED(reader->GetMetadataByName(L"/app1/ifd/{ushort=274}", &value)) &&
        value.vt == VT_UI2 && value.uiVal >= 1 && value.uiVal <= 8)
        orientation = value.uiVal;
    PropVariantClear(&value);
    return orientation;
}

// The orientation from the file's own first bytes, where the headers are.
int ReadOrientation(const PictureFile::State& s) {
    if (s.path.empty())
        return JpegExifOrientation(s.bytes);
    try {
        std::unique_ptr<std::istream> in = OpenForReading(s.path);
        if (!in)
            return 1;
        std::string head(std::size_t{1} << 17, '\0'); // room for a whole APP1 after the JFIF
        in->read(head.data(), static_cast<std::streamsize>(head.size()));
        head.resize(static_cast<std::size_t>(in->gcount()));
        return JpegExifOrientation(head);
    } catch (const IoFailure&) {
        return 1;
    }
}

// Copies `rect` of `source`, 32bppPBGRA, into rows `stride` pixels apart.
bool CopyRect(IWICBitmapSource* source, const WICRect& rect, std::uint32_t* out,
              std::size_t stride) {
    const std::uint64_t bytes = (std::uint64_t{stride} * (rect.Height - 1) + rect.Width) * 4;
    return bytes <= MAXUINT && stride <= MAXUINT / 4 &&
           SUCCEEDED(source->CopyPixels(&rect, static_cast<UINT>(stride * 4),
                                        static_cast<UINT>(bytes), reinterpret_cast<BYTE*>(out)));
}

} // namespace

std::optional<PictureFile> PictureFile::Inspect(PictureFormat format, std::shared_ptr<State> s) {
    try {
        if (format == PictureFormat::Bitmap) {
            s->bitmap =
                s->path.empty() ? BitmapFile::FromBytes(s->bytes) : BitmapFile::Open(s->path);
            if (!s->bitmap)
                return std::nullopt;
            const int w = s->bitmap->width(), h = s->bitmap->height();
            s->storedWidth = w;
            s->storedHeight = h;
            return PictureFile(format, w, h, std::move(s));
        }
        if (format != PictureFormat::Jpeg && format != PictureFormat::Png)
            return std::nullopt;
        const ComScope com;
        ComPtr<IWICImagingFactory> factory = com.usable() ? Factory() : nullptr;
        ComPtr<IWICBitmapFrameDecode> frame =
            factory ? FirstFrame(factory.Get(), *s, format) : nullptr;
        UINT w = 0, h = 0;
        if (!frame || FAILED(frame->GetSize(&w, &h)) || w < 1 || h < 1 || w > kMaxPhotoSide ||
            h > kMaxPhotoSide || std::int64_t{w} * h > kMaxPhotoPixels)
            return std::nullopt;
        s->storedWidth = static_cast<int>(w);
        s->storedHeight = static_cast<int>(h);
        if (format == PictureFormat::Jpeg)
            // Wine's decoder has no orientation to give: where WIC gives none, the file's
            // own EXIF segment is read.
            s->orientation = QueriedOrientation(frame.Get());
        if (format == PictureFormat::Jpeg && s->orientation == 1)
            s->orientation = ReadOrientation(*s);
        const bool turned = Transposes(s->orientation);
        return PictureFile(format, static_cast<int>(turned ? h : w),
                           static_cast<int>(turned ? w : h), std::move(s));
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

std::optional<PictureFile> PictureFile::FromBytes(PictureFormat format, std::string_view bytes) {
    auto state = std::make_shared<State>();
    state->bytes = bytes;
    return Inspect(format, std::move(state));
}

std::optional<PictureFile> PictureFile::Open(const std::string& path) {
    auto state = std::make_shared<State>();
    state->path = path;
    if (path.empty())
        return std::nullopt;
    return Inspect(FormatToRead(path), std::move(state));
}

bool PictureFile::Decodes() const {
    if (format_ == PictureFormat::Bitmap)
        return true; // its headers were checked against the file's size
    // Every row read, through a scaler to a thumbnail that keeps nothing large.
    const int w = std::min(width_, 64), h = std::min(height_, 64);
    std::vector<std::uint32_t> out(static_cast<std::size_t>(w) * h);
    return Draw(w, h, 0, 0, w, h, out.data(), static_cast<std::size_t>(w));
}

bool PictureFile::DrawScaled(int scaledW, int scaledH, int x, int y, int w, int h,
                             RowTarget& target, std::uint32_t background) const {
    const State& s = *state_;
    const ComScope com;
    ComPtr<IWICImagingFactory> factory = com.usable() ? Factory() : nullptr;
    if (!factory)
        return false;
    ComPtr<IWICBitmapSource> source;
    if (format_ == PictureFormat::Bitmap) {
        source.Attach(new BitmapSource(*s.bitmap));
    } else {
        ComPtr<IWICBitmapFrameDecode> frame = FirstFrame(factory.Get(), s, format_);
        if (!frame)
            return false;
        source = frame;
    }
    // Premultiplied, so the scaler weighs transparent pixels right and they are composited after.
    ComPtr<IWICFormatConverter> converter;
    if (FAILED(factory->CreateFormatConverter(&converter)) ||
        FAILED(converter->Initialize(source.Get(), GUID_WICPixelFormat32bppPBGRA,
                                     WICBitmapDitherTypeNone, nullptr, 0.0,
                                     WICBitmapPaletteTypeCustom)))
        return false;
    source = converter;
    // Scaled as stored, then turned upright here, a rectangle at a time: Wine's
    // IWICBitmapFlipRotator neither turns nor mirrors left to right, and this way only the
    // rectangle drawn is held.
    const int o = s.orientation;
    const int sw = Transposes(o) ? scaledH : scaledW, sh = Transposes(o) ? scaledW : scaledH;
    if (sw != s.storedWidth || sh != s.storedHeight) {
        ComPtr<IWICBitmapScaler> scaler;
        if (FAILED(factory->CreateBitmapScaler(&scaler)) ||
            FAILED(scaler->Initialize(source.Get(), static_cast<UINT>(sw), static_cast<UINT>(sh),
                                      WICBitmapInterpolationModeFant)))
            return false;
        source = scaler;
    }
    // Each run: `rows` rows of the part drawn, from its row `first`, into the target's room.
    return DrawInRuns(target, h, [&](int first, int rows, std::uint32_t* out, std::size_t stride) {
        const int top = y + first;
        if (o == 1) {
            if (!CopyRect(source.Get(), {x, top, w, rows}, out, stride))
                return false;
        } else {
            int ax, ay, bx, by;
            StoredPoint(o, sw, sh, x, top, ax, ay);
            StoredPoint(o, sw, sh, x + w - 1, top + rows - 1, bx, by);
            const WICRect stored{std::min(ax, bx), std::min(ay, by), std::abs(ax - bx) + 1,
                                 std::abs(ay - by) + 1};
            std::vector<std::uint32_t> pixels(static_cast<std::size_t>(stored.Width) *
                                              stored.Height);
            if (!CopyRect(source.Get(), stored, pixels.data(),
                          static_cast<std::size_t>(stored.Width)))
                return false;
            for (int r = 0; r < rows; ++r)
                for (int c = 0; c < w; ++c) {
                    int px, py;
                    StoredPoint(o, sw, sh, x + c, top + r, px, py);
                    out[static_cast<std::size_t>(r) * stride + c] =
                        pixels[static_cast<std::size_t>(py - stored.Y) * stored.Width +
                               (px - stored.X)];
                }
        }
        for (int r = 0; r < rows; ++r)
            for (std::uint32_t* p = out + static_cast<std::size_t>(r) * stride;
                 p != out + r * stride + w; ++p) {
                const std::uint32_t a = *p >> 24;
                std::uint32_t pixel = 0;
                for (int i = 0; i < 3; ++i) {
                    const std::uint32_t over = *p >> (8 * i) & 0xFF;
                    const std::uint32_t under = background >> (8 * i) & 0xFF;
                    pixel |= std::min<std::uint32_t>(255, over + (under * (255 - a) + 127) / 255)
                             << (8 * i);
                }
                *p = pixel;
            }
        return true;
    });
}

} // namespace velum
