#include "platform/win32/menu_image.h"

#include <algorithm>
#include <cstdint>

namespace torvo::win32 {

namespace {

struct IconTraits {
  using Handle = HICON;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { ::DestroyIcon(h); }
};

struct ScreenDc {
  ScreenDc() : dc(::GetDC(nullptr)) {}
  ScreenDc(const ScreenDc&) = delete;
  ScreenDc& operator=(const ScreenDc&) = delete;
  ~ScreenDc() { ::ReleaseDC(nullptr, dc); }
  HDC dc;
};

BITMAPINFO TopDown32(int size) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = size;
  info.bmiHeader.biHeight = -size;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

// Blue, green and red scaled by alpha: what AlphaBlend, and so the menu, expects.
void Premultiply(std::uint8_t* pixels, int count) {
  for (std::uint8_t* pixel = pixels; pixel != pixels + 4 * count; pixel += 4) {
    for (int channel = 0; channel < 3; ++channel)
      pixel[channel] = static_cast<std::uint8_t>(pixel[channel] * pixel[3] / 255);
  }
}

}  // namespace

UniqueGdiObject MenuImage(HINSTANCE instance, int iconId, UINT dpi) {
  const int size = ::MulDiv(16, static_cast<int>(dpi), 96);
  const UniqueOwner<IconTraits> icon(
      static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(iconId), IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
  ICONINFO parts{};
  if (!icon || !::GetIconInfo(icon.Get(), &parts)) return {};
  const UniqueGdiObject color(parts.hbmColor), mask(parts.hbmMask);
  BITMAPINFO info = TopDown32(size);
  void* bits = nullptr;
  const ScreenDc screen;
  UniqueGdiObject image(::CreateDIBSection(screen.dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  // The icon's own 32-bit image, straight alpha, rows from the top.
  if (!image || !color || ::GetDIBits(screen.dc, parts.hbmColor, 0, size, bits, &info, DIB_RGB_COLORS) != size) {
    return {};
  }
  Premultiply(static_cast<std::uint8_t*>(bits), size * size);
  return image;
}

UINT ScreenDpi() {
  const ScreenDc screen;
  return static_cast<UINT>(std::max(96, ::GetDeviceCaps(screen.dc, LOGPIXELSX)));
}

}  // namespace torvo::win32
