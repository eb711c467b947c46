#include "ui/separator.h"

namespace kx {

CSeparator::CSeparator(Qt::Orientation orientation, QWidget* parent) : QFrame(parent) {
  setFrameShape(orientation == Qt::Horizontal ? QFrame::HLine : QFrame::VLine);
  setFrameShadow(QFrame::Sunken);
  setFocusPolicy(Qt::NoFocus);
}

}  // namespace kx
