#include "tests/wine/support/menu_picture.h"

#include <wincodec.h>

#include "platform/win32/com_ptr.h"
#include "platform/win32/unique_handle.h"

namespace torvo::wine {

namespace {

constexpr wchar_t kOwnerClass[] = L"TorvoMenuPictureOwner";
constexpr wchar_t kMenuWindowClass[] = L"#32768";  // the class of every popup menu's window
constexpr UINT_PTR kTimer = 1;
constexpr UINT kTickMs = 100;
constexpr int kMaxTicks = 50;  // the menu is closed after 5 s even when its window never showed

struct WindowTraits {
  using Handle = HWND;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { ::DestroyWindow(h); }
};
struct MemoryDcTraits {
  using Handle = HDC;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { ::DeleteDC(h); }
};

struct Capture {
  std::wstring path;
  MenuPicture result;
  int ticks = 0;
};

win32::ComPtr<IWICImagingFactory> ImagingFactory() {
  win32::ComPtr<IWICImagingFactory> factory;
  ::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory, factory.PutVoid());
  return factory;
}

// Rows of 24-bit BGR pixels, top row first, each row `stride` bytes, written as a PNG file.
HRESULT EncodePng(const std::wstring& path, SIZE size, BYTE* pixels, UINT stride) {
  win32::ComPtr<IWICImagingFactory> factory = ImagingFactory();
  if (!factory) return REGDB_E_CLASSNOTREG;
  win32::ComPtr<IWICStream> stream;
  HRESULT hr = factory->CreateStream(stream.Put());
  if (SUCCEEDED(hr)) hr = stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE);
  win32::ComPtr<IWICBitmapEncoder> encoder;
  if (SUCCEEDED(hr)) hr = factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.Put());
  if (SUCCEEDED(hr)) hr = encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache);
  win32::ComPtr<IWICBitmapFrameEncode> frame;
  win32::ComPtr<IPropertyBag2> options;
  if (SUCCEEDED(hr)) hr = encoder->CreateNewFrame(frame.Put(), options.Put());
  if (SUCCEEDED(hr)) hr = frame->Initialize(options.Get());
  if (SUCCEEDED(hr)) hr = frame->SetSize(static_cast<UINT>(size.cx), static_cast<UINT>(size.cy));
  WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
  if (SUCCEEDED(hr)) hr = frame->SetPixelFormat(&format);
  if (SUCCEEDED(hr) && !IsEqualGUID(format, GUID_WICPixelFormat24bppBGR)) hr = WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT;
  if (SUCCEEDED(hr)) hr = frame->WritePixels(static_cast<UINT>(size.cy), stride, stride * size.cy, pixels);
  if (SUCCEEDED(hr)) hr = frame->Commit();
  if (SUCCEEDED(hr)) hr = encoder->Commit();
  return hr;
}

// The window draws itself (WM_PRINT, as PrintWindow asks) into a bitmap of its size, which is
// written to `path`; a file left half written is removed.
MenuPicture SaveWindowPicture(HWND window, const std::wstring& path) {
  MenuPicture picture;
  RECT rect{};
  if (!::GetWindowRect(window, &rect)) return picture;
  picture.size = {rect.right - rect.left, rect.bottom - rect.top};
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), picture.size.cx, -picture.size.cy, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  win32::UniqueOwner<MemoryDcTraits> dc(::CreateCompatibleDC(nullptr));
  win32::UniqueGdiObject bitmap(::CreateDIBSection(dc.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!dc || !bitmap) return picture;
  const HGDIOBJ previous = ::SelectObject(dc.Get(), bitmap.Get());
  const bool printed = ::PrintWindow(window, dc.Get(), 0) != FALSE;
  ::GdiFlush();
  ::SelectObject(dc.Get(), previous);
  const UINT stride = (static_cast<UINT>(picture.size.cx) * 3 + 3) & ~3u;  // DIB rows end on 4 bytes
  picture.written = printed && SUCCEEDED(EncodePng(path, picture.size, static_cast<BYTE*>(bits), stride));
  if (!picture.written) ::DeleteFileW(path.c_str());
  return picture;
}

BOOL CALLBACK FindMenuWindow(HWND window, LPARAM found) {
  wchar_t name[16] = {};
  ::GetClassNameW(window, name, 16);
  if (lstrcmpW(name, kMenuWindowClass) != 0 || !::IsWindowVisible(window)) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

// The menu loop dispatches the owner's timer: once the menu's window shows, its picture is taken and
// the menu closed.
void OnTick(HWND owner, Capture& capture) {
  HWND window = nullptr;
  ::EnumThreadWindows(::GetCurrentThreadId(), FindMenuWindow, reinterpret_cast<LPARAM>(&window));
  if (window == nullptr && ++capture.ticks < kMaxTicks) return;
  if (window != nullptr) capture.result = SaveWindowPicture(window, capture.path);
  ::KillTimer(owner, kTimer);
  ::EndMenu();
}

LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* capture = reinterpret_cast<Capture*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (message == WM_TIMER && wParam == kTimer && capture != nullptr) {
    OnTick(window, *capture);
    return 0;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

void RegisterOwnerClass() {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = OwnerProc;
  windowClass.hInstance = ::GetModuleHandleW(nullptr);
  windowClass.lpszClassName = kOwnerClass;
  ::RegisterClassW(&windowClass);  // fails harmlessly when an earlier picture registered it
}

}  // namespace

MenuPicture CaptureMenu(HMENU menu, POINT at, const std::wstring& path) {
  RegisterOwnerClass();
  Capture capture{path, {}, 0};
  win32::UniqueOwner<WindowTraits> owner(::CreateWindowExW(0, kOwnerClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                                           ::GetModuleHandleW(nullptr), nullptr));
  if (!owner) return capture.result;
  ::SetWindowLongPtrW(owner.Get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&capture));
  ::SetTimer(owner.Get(), kTimer, kTickMs, nullptr);
  ::TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RETURNCMD | TPM_NONOTIFY, at.x, at.y, 0, owner.Get(),
                   nullptr);
  ::KillTimer(owner.Get(), kTimer);
  return capture.result;
}

SIZE PictureFileSize(const std::wstring& path) {
  win32::ComPtr<IWICImagingFactory> factory = ImagingFactory();
  win32::ComPtr<IWICBitmapDecoder> decoder;
  win32::ComPtr<IWICBitmapFrameDecode> frame;
  UINT width = 0;
  UINT height = 0;
  if (!factory ||
      FAILED(factory->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ, WICDecodeMetadataCacheOnDemand,
                                                decoder.Put())) ||
      FAILED(decoder->GetFrame(0, frame.Put())) || FAILED(frame->GetSize(&width, &height))) {
    return {};
  }
  return {static_cast<LONG>(width), static_cast<LONG>(height)};
}

}  // namespace torvo::wine
