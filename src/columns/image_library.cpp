#include "columns/image_library.h"

#include "columns/handle_stream.h"
#include "columns/producers.h"
#include "columns/tree_walk.h"
#include "com/activation.h"

#include <new>

namespace rb {

namespace {

constexpr int kGdipOk = 0;

struct GdiplusStartupInput {
    UINT32 GdiplusVersion;
    void* DebugEventCallback;
    BOOL SuppressBackgroundThread;
    BOOL SuppressExternalCodecs;
};

using StartupFn = int(WINAPI*)(ULONG_PTR*, const GdiplusStartupInput*, void*);
using ShutdownFn = void(WINAPI*)(ULONG_PTR);
using LoadStreamFn = int(WINAPI*)(IStream*, void**);
using DisposeFn = int(WINAPI*)(void*);
using GetUintFn = int(WINAPI*)(void*, UINT*);
using GetFormatFn = int(WINAPI*)(void*, INT*);
using GetFloatFn = int(WINAPI*)(void*, float*);

template <typename Fn> Fn As(FARPROC proc) {
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(proc));
}

int TruncateResolution(float value) {
    // Toward zero; values no int can hold (or NaN) count as 0.
    if (!(value > -2147483648.0f && value < 2147483648.0f))
        return 0;
    return static_cast<int>(value);
}

} // namespace

ImageLibrary::ImageLibrary() {
    {
        ScopedModuleActivation activation;
        module_ = LoadLibraryA("gdiplus.dll");
    }
    if (!module_)
        return;
    if (auto startup = As<StartupFn>(Function("GdiplusStartup"))) {
        GdiplusStartupInput input = {1, nullptr, FALSE, FALSE};
        if (startup(&token_, &input, nullptr) != kGdipOk)
            token_ = 0;
    }
}

ImageLibrary::~ImageLibrary() {
    if (!module_)
        return;
    Unload();
    if (token_) {
        if (auto shutdown = As<ShutdownFn>(Function("GdiplusShutdown")))
            shutdown(token_);
        token_ = 0;
    }
    FreeLibrary(module_);
}

FARPROC ImageLibrary::Function(const char* name) const {
    return module_ ? GetProcAddress(module_, name) : nullptr;
}

void ImageLibrary::Unload() {
    if (image_) {
        if (auto dispose = As<DisposeFn>(Function("GdipDisposeImage")))
            dispose(image_);
        image_ = nullptr;
    }
    if (stream_) {
        // A decoder that kept a reference reads nothing more from the closed file.
        stream_->Detach();
        stream_->Release();
        stream_ = nullptr;
    }
    file_.reset();
}

bool ImageLibrary::LoadFile(const wchar_t* path) {
    Unload();
    if (!token_)
        return false;
    auto load = As<LoadStreamFn>(Function("GdipLoadImageFromStream"));
    std::wstring extended = ExtendedPath(path ? path : L"");
    if (!load || extended.empty())
        return false;
    // Folders do not open without backup semantics, and so never reach the decoder.
    file_.reset(CreateFileW(extended.c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file_)
        return false;
    stream_ = new (std::nothrow) HandleStream(file_.get());
    void* image = nullptr;
    if (!stream_ || load(stream_, &image) != kGdipOk || !image) {
        Unload();
        return false;
    }
    image_ = image;
    return true;
}

unsigned ImageLibrary::GetWidth() {
    UINT width = 0;
    if (image_)
        if (auto get = As<GetUintFn>(Function("GdipGetImageWidth")))
            get(image_, &width);
    return width;
}

unsigned ImageLibrary::GetHeight() {
    UINT height = 0;
    if (image_)
        if (auto get = As<GetUintFn>(Function("GdipGetImageHeight")))
            get(image_, &height);
    return height;
}

unsigned ImageLibrary::GetBitDepth() {
    INT format = 0;
    if (image_)
        if (auto get = As<GetFormatFn>(Function("GdipGetImagePixelFormat")))
            get(image_, &format);
    // GDI+ keeps the bits per pixel in bits 8 to 15 of the format.
    return (static_cast<unsigned>(format) >> 8) & 0xFF;
}

void ImageLibrary::GetResolution(int& horizontal, int& vertical) {
    horizontal = vertical = 0;
    if (!image_)
        return;
    auto getH = As<GetFloatFn>(Function("GdipGetImageHorizontalResolution"));
    auto getV = As<GetFloatFn>(Function("GdipGetImageVerticalResolution"));
    if (!getH || !getV)
        return;
    float h = 0.0f, v = 0.0f;
    getH(image_, &h);
    getV(image_, &v);
    horizontal = TruncateResolution(h);
    vertical = TruncateResolution(v);
}

namespace {

constexpr DWORD kAttributeRecallOnDataAccess = 0x400000;

// Loads the item for one request. Placeholders of cloud files are not decoded: reading
// them would fetch the whole file from the network.
bool LoadForRequest(ImageLibrary& images, const wchar_t* path, std::uint32_t attributes) {
    if (attributes & (FILE_ATTRIBUTE_OFFLINE | kAttributeRecallOnDataAccess)) {
        images.Unload();
        return false;
    }
    return images.LoadFile(path);
}

const char* const kNoGdiplus = "gdiplus.dll ?";

} // namespace

// Each producer lets go of the image (and its file) before it returns.
void ProduceDpi(ImageLibrary& images, const wchar_t* path, std::uint32_t attributes,
                ValueText& value) {
    if (!images.IsAvailable()) {
        value.Assign(kNoGdiplus);
        return;
    }
    ScopedLock lock(images.Lock());
    if (LoadForRequest(images, path, attributes)) {
        int horizontal, vertical;
        images.GetResolution(horizontal, vertical);
        value.Print("%d x %d", horizontal, vertical);
    }
    images.Unload();
}

void ProduceBitDepth(ImageLibrary& images, const wchar_t* path, std::uint32_t attributes,
                     ValueText& value) {
    if (!images.IsAvailable()) {
        value.Assign(kNoGdiplus);
        return;
    }
    ScopedLock lock(images.Lock());
    if (LoadForRequest(images, path, attributes))
        value.Print("%d", static_cast<int>(images.GetBitDepth()));
    images.Unload();
}

ImageFacts ReadImageFacts(ImageLibrary& images, const wchar_t* path, std::uint32_t attributes) {
    ImageFacts facts;
    if (!images.IsAvailable())
        return facts;
    ScopedLock lock(images.Lock());
    facts.loaded = LoadForRequest(images, path, attributes);
    if (facts.loaded) {
        images.GetResolution(facts.horizontalDpi, facts.verticalDpi);
        facts.bitDepth = images.GetBitDepth();
        facts.width = images.GetWidth();
        facts.height = images.GetHeight();
    }
    images.Unload();
    return facts;
}

bool ProduceImageSize(ImageLibrary& images, const wchar_t* path, std::uint32_t attributes,
                      ValueText& value) {
    if (!images.IsAvailable()) {
        value.Assign(kNoGdiplus);
        return true;
    }
    ScopedLock lock(images.Lock());
    bool loaded = LoadForRequest(images, path, attributes);
    if (loaded)
        value.Print("%u x %u", images.GetWidth(), images.GetHeight());
    images.Unload();
    return loaded;
}

} // namespace rb
