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
  // A circle around (10, 10) drawn clockwise from two o'clock round to
  // twelve, so that it is open at the top right, and an arrow head at twelve
  // pointing on, to the right.
  SetArcDirection(dc, AD_CLOCKWISE);
  Arc(dc, 3, 3, 17, 17, 16, 6, 9, 3);
  HBRUSH green = CreateSolidBrush(RGB(0, 128, 0));
  SelectObject(dc, green);
  SelectObject(dc, GetStockObject(NULL_PEN));
  const POINT head[] = {{9, -1}, {15, 3}, {9, 8}};
  Polygon(dc, head, 3);

  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
  SelectObject(dc, oldBitmap);
  DeleteObject(green);
  DeleteObject(pen);
  DeleteDC(dc);
  return picture;
}
