#include "win_picture.h"

#include <cstdio>
#include <vector>

#include "driver_failure.h"
#include "win_utf8.h"

void SaveWindowPicture(HWND window, const std::wstring& path) {
  RECT frame;
  if (!GetWindowRect(window, &frame)) throw TDriverFailure("the window is gone");
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;

  BITMAPINFOHEADER header = {};
  header.biSize = sizeof header;
  header.biWidth = width;
  header.biHeight = height;  // rows bottom-up, as a BMP file keeps them
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = BI_RGB;
  const DWORD rowBytes = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
  header.biSizeImage = rowBytes * static_cast<DWORD>(height);

  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  void* bits = nullptr;
  HBITMAP picture = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS, &bits, nullptr, 0);
  const bool copied = picture && SelectObject(memory, picture) &&
                      BitBlt(memory, 0, 0, width, height, screen, frame.left, frame.top, SRCCOPY | CAPTUREBLT);
  GdiFlush();
  std::vector<char> pixels;
  if (copied) pixels.assign(static_cast<char*>(bits), static_cast<char*>(bits) + header.biSizeImage);
  DeleteDC(memory);
  if (picture) DeleteObject(picture);
  ReleaseDC(nullptr, screen);
  if (!copied) throw TDriverFailure("cannot copy the window from the screen");

  BITMAPFILEHEADER file = {};
  file.bfType = 0x4d42;  // "BM"
  file.bfOffBits = sizeof file + sizeof header;
  file.bfSize = file.bfOffBits + header.biSizeImage;
  FILE* out = _wfopen(path.c_str(), L"wb");
  if (!out) throw TDriverFailure("cannot write " + WideToUtf8(path));
  const bool written = fwrite(&file, sizeof file, 1, out) == 1 && fwrite(&header, sizeof header, 1, out) == 1 &&
                       fwrite(pixels.data(), pixels.size(), 1, out) == 1;
  if (fclose(out) != 0 || !written) throw TDriverFailure("cannot write " + WideToUtf8(path));
}
