// Points, sizes and rectangles in pixels: the one geometry of the program.
// A rectangle is left, top, width and height everywhere (portable presenters,
// the Win32 kit and the windows alike); right() and bottom() are derived.
#pragma once

namespace vx {

struct Point {
  int x = 0;
  int y = 0;
  bool operator==(const Point&) const = default;
};

struct Size {
  int width = 0;
  int height = 0;
  bool operator==(const Size&) const = default;
};

struct Rect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;

  int right() const { return left + width; }
  int bottom() const { return top + height; }
  // From the edges, as the system gives them (right and bottom exclusive).
  static constexpr Rect FromEdges(int left, int top, int right, int bottom) {
    return Rect{left, top, right - left, bottom - top};
  }
  bool operator==(const Rect&) const = default;
};

}  // namespace vx
