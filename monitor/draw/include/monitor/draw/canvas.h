// The drawing surface the audio widgets and the frame composition draw on:
// a handful of operations on one target, with a fixed set of solid brushes
// that live as long as the canvas (their colours are set when the drawing
// resources are built). Coordinates are pixels of the current target; lines
// and outlines are one pixel wide and not antialiased.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

namespace kx::draw {

using COLORREF = uint32_t;  // 0x00BBGGRR

struct ColorF {
  float r = 0, g = 0, b = 0, a = 0;
  friend bool operator==(const ColorF&, const ColorF&) = default;
};

// Each byte of the colour becomes a component byte / 255.
ColorF ColorFromRef(COLORREF c, float alpha = 1.0f);

struct PointF {
  float x = 0, y = 0;
  friend bool operator==(const PointF&, const PointF&) = default;
};

struct RectF {
  float left = 0, top = 0, right = 0, bottom = 0;
  float Width() const { return right - left; }
  float Height() const { return bottom - top; }
  friend bool operator==(const RectF&, const RectF&) = default;
};

enum class BrushId : int {
  Bkg,
  Axis,
  Wave,
  Spectrum,
  SpectrumFill,
  PeakMin,
  PeakMid,
  PeakMax,
};
inline constexpr int kBrushCount = 8;

// Pixels the canvas can draw from: the camera picture, the widget images,
// the icons and the spinner strip.
class IBitmap {
 public:
  virtual ~IBitmap() = default;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
};

// A figure list built point by point, drawn as an outline or filled.
class IPath {
 public:
  virtual ~IPath() = default;
  virtual void BeginFigure(PointF start) = 0;
  virtual void AddLine(PointF to) = 0;
  virtual void EndFigure(bool closed) = 0;
};

class ICanvas {
 public:
  virtual ~ICanvas() = default;

  virtual void SetBrushColor(BrushId brush, ColorF color) = 0;

  // Replaces every pixel of the target, alpha included.
  virtual void Clear(ColorF color) = 0;
  virtual void FillRect(const RectF& rc, BrushId brush) = 0;
  // Outline through the four corners; a zero-height rectangle is a line.
  virtual void DrawRect(const RectF& rc, BrushId brush) = 0;
  virtual void DrawLine(PointF from, PointF to, BrushId brush) = 0;
  // One line of label text, left and top aligned in rc, not wrapped and
  // not clipped; cut with an ellipsis when wider than rc.
  virtual void DrawText(std::string_view utf8, const RectF& rc, BrushId brush) = 0;
  // Draws the part src of the bitmap into dest with linear interpolation.
  virtual void DrawBitmap(const IBitmap& bitmap, const RectF& dest, float opacity, const RectF& src) = 0;

  // A new, empty path; null when no path can be made.
  virtual std::unique_ptr<IPath> CreatePath() = 0;
  virtual void DrawPath(const IPath& path, BrushId brush) = 0;
  virtual void FillPath(const IPath& path, BrushId brush) = 0;
};

}  // namespace kx::draw
