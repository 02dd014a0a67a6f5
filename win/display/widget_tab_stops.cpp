#include "win/display/widget_tab_stops.h"

#include <QPainter>
#include <QStyle>
#include <QTextOption>

namespace win::display {

void TabStopDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
  if (stops_.isEmpty()) {
    QStyledItemDelegate::paint(painter, option, index);
    return;
  }
  QStyleOptionViewItem item = option;
  initStyleOption(&item, index);
  const QString text = item.text;
  item.text.clear();
  const QWidget* widget = option.widget;
  QStyle* style = widget != nullptr ? widget->style() : nullptr;
  if (style != nullptr) style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);
  QTextOption layout;
  layout.setWrapMode(QTextOption::NoWrap);
  layout.setTabArray(stops_);
  const bool selected = (option.state & QStyle::State_Selected) != 0;
  painter->save();
  painter->setFont(item.font);
  painter->setPen(item.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
  const QRectF area = QRectF(option.rect).adjusted(2, 0, 0, 0);
  const qreal height = painter->fontMetrics().height();
  painter->drawText(QRectF(area.left(), area.top() + (area.height() - height) / 2, area.width(), height), text, layout);
  painter->restore();
}

}  // namespace win::display
