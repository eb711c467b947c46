// A canvas that keeps a list of what was drawn on it, for checking the
// widget geometry operation by operation.
#pragma once

#include <string>
#include <vector>

#include "monitor/draw/canvas.h"

namespace kx::draw {

class CRecordingBitmap : public IBitmap {
 public:
  CRecordingBitmap(int width, int height) : width_(width), height_(height) {}
  int Width() const override { return width_; }
  int Height() const override { return height_; }

 private:
  int width_, height_;
};

struct DrawOp {
  enum class Kind { Clear, FillRect, DrawRect, DrawLine, DrawText, DrawBitmap, DrawPath, FillPath };
  Kind kind{};
  BrushId brush{};
  RectF rect;              // FillRect, DrawRect, DrawText, DrawBitmap (dest)
  PointF from, to;         // DrawLine
  std::string text;        // DrawText
  ColorF color;            // Clear
  const IBitmap* bitmap = nullptr;
  float opacity = 0;       // DrawBitmap
  RectF source;            // DrawBitmap
  std::vector<std::vector<PointF>> figures;  // DrawPath, FillPath
  std::vector<bool> closed;                  // per figure
};

class CRecordingPath : public IPath {
 public:
  void BeginFigure(PointF start) override {
    figures.push_back({start});
    closed.push_back(false);
    open = true;
  }
  void AddLine(PointF to) override {
    if (open) figures.back().push_back(to);
  }
  void EndFigure(bool close) override {
    if (open) closed.back() = close;
    open = false;
  }
  std::vector<std::vector<PointF>> figures;
  std::vector<bool> closed;
  bool open = false;
};

class CRecordingCanvas : public ICanvas {
 public:
  void SetBrushColor(BrushId brush, ColorF color) override { colors[static_cast<int>(brush)] = color; }
  void Clear(ColorF color) override { Add(DrawOp::Kind::Clear).color = color; }
  void FillRect(const RectF& rc, BrushId brush) override { Add(DrawOp::Kind::FillRect, brush).rect = rc; }
  void DrawRect(const RectF& rc, BrushId brush) override { Add(DrawOp::Kind::DrawRect, brush).rect = rc; }
  void DrawLine(PointF from, PointF to, BrushId brush) override {
    DrawOp& op = Add(DrawOp::Kind::DrawLine, brush);
    op.from = from;
    op.to = to;
  }
  void DrawText(std::string_view utf8, const RectF& rc, BrushId brush) override {
    DrawOp& op = Add(DrawOp::Kind::DrawText, brush);
    op.rect = rc;
    op.text = std::string(utf8);
  }
  void DrawBitmap(const IBitmap& bitmap, const RectF& dest, float opacity, const RectF& src) override {
    DrawOp& op = Add(DrawOp::Kind::DrawBitmap);
    op.rect = dest;
    op.bitmap = &bitmap;
    op.opacity = opacity;
    op.source = src;
  }
  std::unique_ptr<IPath> CreatePath() override { return std::make_unique<CRecordingPath>(); }
  void DrawPath(const IPath& path, BrushId brush) override { AddPath(DrawOp::Kind::DrawPath, path, brush); }
  void FillPath(const IPath& path, BrushId brush) override { AddPath(DrawOp::Kind::FillPath, path, brush); }

  // The operations of one kind, in drawing order.
  std::vector<DrawOp> Of(DrawOp::Kind kind) const {
    std::vector<DrawOp> out;
    for (const auto& op : ops)
      if (op.kind == kind) out.push_back(op);
    return out;
  }

  std::vector<DrawOp> ops;
  ColorF colors[kBrushCount];

 private:
  DrawOp& Add(DrawOp::Kind kind, BrushId brush = BrushId::Bkg) {
    DrawOp& op = ops.emplace_back();
    op.kind = kind;
    op.brush = brush;
    return op;
  }
  void AddPath(DrawOp::Kind kind, const IPath& path, BrushId brush) {
    const auto& p = static_cast<const CRecordingPath&>(path);
    DrawOp& op = Add(kind, brush);
    op.figures = p.figures;
    op.closed = p.closed;
  }
};

}  // namespace kx::draw
