// A sunken separator line of a dialog, horizontal or vertical.
#pragma once

#include <QFrame>

namespace kx {

class CSeparator : public QFrame {
  Q_OBJECT

 public:
  explicit CSeparator(Qt::Orientation orientation, QWidget* parent = nullptr);
};

}  // namespace kx
