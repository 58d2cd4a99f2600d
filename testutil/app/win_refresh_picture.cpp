#include "win_refresh_picture.h"

HBITMAP CreateRefreshPicture() {
  const int width = 20;
  const int height = 17;
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP picture = CreateCompatibleBitmap(screen, width, height);
  ReleaseDC(nullptr, screen);
  HGDIOBJ oldBitmap = SelectObject(dc, picture);

  RECT all = {0, 0, width, height};
  FillRect(dc, &all, GetSysColorBrush(COLOR_BTNFACE));
  HPEN pen = CreatePen(PS_SOLID, 2, RGB(0, 128, 0));
  HGDIOBJ oldPen = SelectObject(dc, pen);
  HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
  // Three quarters of a circle, open at the top right, with the arrow head
  // at its upper end.
  Arc(dc, 4, 2, 17, 15, 16, 4, 10, 2);
  HBRUSH green = CreateSolidBrush(RGB(0, 128, 0));
  SelectObject(dc, green);
  SelectObject(dc, GetStockObject(NULL_PEN));
  const POINT head[] = {{13, 0}, {18, 4}, {12, 6}};
  Polygon(dc, head, 3);

  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
  SelectObject(dc, oldBitmap);
  DeleteObject(green);
  DeleteObject(pen);
  DeleteDC(dc);
  return picture;
}
