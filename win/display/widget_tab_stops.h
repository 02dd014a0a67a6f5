// A list's items drawn with its tab stops (pixels from the item's left).
// Internal to the display.
#pragma once

#include <QList>
#include <QStyledItemDelegate>

namespace win::display {

class TabStopDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void SetStops(QList<qreal> stops) { stops_ = std::move(stops); }
  // None: the view's own drawing.
  const QList<qreal>& Stops() const { return stops_; }

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

 private:
  QList<qreal> stops_;
};

}  // namespace win::display
