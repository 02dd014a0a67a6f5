// The list view in report mode as a tree widget without branches: the
// model's columns (titles, widths, alignment), rows and selected row, in its
// own colours. A click on a row is the model's select (LVN_ITEMCHANGED,
// NM_CLICK), a double-click its double-click (NM_DBLCLK), a click on a
// column's title its column click (LVN_COLUMNCLICK).
#include <QHeaderView>
#include <QSignalBlocker>
#include <QTreeWidget>

#include "win/display/widget_kinds.h"
#include "win/display/widget_support.h"
#include "win/listview_ctrl.h"

namespace win::display {

namespace {

CListCtrl* ViewModel(HWND control) { return dynamic_cast<CListCtrl*>(CWnd::FromHandle(control)); }

Qt::Alignment AlignmentOf(int format) {
  if ((format & LVCFMT_RIGHT) != 0) return Qt::AlignRight | Qt::AlignVCenter;
  if ((format & LVCFMT_CENTER) != 0) return Qt::AlignHCenter | Qt::AlignVCenter;
  return Qt::AlignLeft | Qt::AlignVCenter;
}

std::vector<std::string> Split(const std::string& row) {
  std::vector<std::string> cells;
  std::size_t start = 0;
  for (;;) {
    const std::size_t tab = row.find('\t', start);
    cells.push_back(row.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) return cells;
    start = tab + 1;
  }
}

struct ColumnShown {
  std::string title;
  int width = 0;
  int format = 0;
  bool operator==(const ColumnShown&) const = default;
};

class ListViewWidget : public ModelWidget {
 public:
  ListViewWidget(HWND control, QTreeWidget* tree) : ModelWidget(control, tree, ColourRoles::kNone), tree_(tree) {
    tree->setRootIsDecorated(false);
    tree->setItemsExpandable(false);
    tree->setUniformRowHeights(true);
    tree->setSelectionMode(QAbstractItemView::SingleSelection);
    tree->setSelectionBehavior(QAbstractItemView::SelectRows);
    tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tree->header()->setSectionsMovable(false);
    tree->header()->setStretchLastSection(false);
    tree->header()->setSectionsClickable(true);
    QObject::connect(tree, &QTreeWidget::itemSelectionChanged, tree, [this] { SelectionChanged(); });
    QObject::connect(tree, &QTreeWidget::itemClicked, tree, [this](QTreeWidgetItem* item, int) { Clicked(item); });
    QObject::connect(tree, &QTreeWidget::itemDoubleClicked, tree,
                     [this](QTreeWidgetItem* item, int) { DoubleClicked(item); });
    QObject::connect(tree->header(), &QHeaderView::sectionClicked, tree, [this](int column) {
      if (CListCtrl* model = ViewModel(Control())) model->ClickColumn(column);
    });
  }

 protected:
  void SyncModel(unsigned changes) override {
    if (!ItemsMayHaveChanged(changes)) return;
    CListCtrl* model = ViewModel(Control());
    if (model == nullptr) return;
    const QSignalBlocker block(tree_);
    const QSignalBlocker blockHeader(tree_->header());
    SyncColumns(*model);
    std::vector<std::string> rows = model->Rows();
    if (rows != rows_) {
      tree_->clear();
      QList<QTreeWidgetItem*> items;
      items.reserve(static_cast<qsizetype>(rows.size()));
      for (const std::string& row : rows) {
        auto* item = new QTreeWidgetItem();
        const std::vector<std::string> cells = Split(row);
        for (std::size_t c = 0; c < cells.size(); ++c) {
          item->setText(static_cast<int>(c), FromModelText(cells[c]));
          if (c < columns_.size()) item->setTextAlignment(static_cast<int>(c), AlignmentOf(columns_[c].format));
        }
        items.push_back(item);
      }
      tree_->addTopLevelItems(items);
      rows_ = std::move(rows);
    }
    const int selected = model->GetNextItem(-1, LVNI_SELECTED);
    QTreeWidgetItem* item = selected >= 0 ? tree_->topLevelItem(selected) : nullptr;
    if (item == nullptr) {
      tree_->clearSelection();
    } else if (!item->isSelected() || tree_->currentItem() != item) {
      tree_->setCurrentItem(item);
      tree_->scrollToItem(item);
    }
    QPalette palette = tree_->palette();
    palette.setColor(QPalette::Base, FromColorRef(model->GetBkColor()));
    palette.setColor(QPalette::Text, FromColorRef(model->GetTextColor()));
    tree_->setPalette(palette);
  }

 private:
  void SyncColumns(CListCtrl& model) {
    std::vector<ColumnShown> columns;
    for (int c = 0;; ++c) {
      char title[256] = {};
      LVCOLUMNA column;
      column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
      column.pszText = title;
      column.cchTextMax = sizeof title;
      if (SendMessageA(Control(), LVM_GETCOLUMNA, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&column)) == FALSE) break;
      columns.push_back(ColumnShown{title, column.cx, column.fmt});
    }
    if (columns == columns_) return;
    columns_ = columns;
    rows_.clear();  // the rows are laid out again under the new columns
    tree_->setHeaderHidden(columns.empty() || (model.Style() & LVS_NOCOLUMNHEADER) != 0);
    tree_->setColumnCount(std::max<int>(1, static_cast<int>(columns.size())));
    QStringList titles;
    for (const ColumnShown& column : columns) titles.push_back(FromModelText(column.title));
    tree_->setHeaderLabels(titles);
    for (std::size_t c = 0; c < columns.size(); ++c) {
      tree_->setColumnWidth(static_cast<int>(c), columns[c].width);
      tree_->headerItem()->setTextAlignment(static_cast<int>(c), AlignmentOf(columns[c].format));
    }
  }

  int RowOf(QTreeWidgetItem* item) const { return item != nullptr ? tree_->indexOfTopLevelItem(item) : -1; }

  void SelectionChanged() {
    const QList<QTreeWidgetItem*> selected = tree_->selectedItems();
    const int row = selected.isEmpty() ? -1 : RowOf(selected.front());
    if (row < 0 || !IsWindow(Control())) return;
    CListCtrl* model = ViewModel(Control());
    if (model == nullptr || model->GetNextItem(-1, LVNI_SELECTED) == row) return;
    pickedByChange_ = row;
    SendMessageA(Control(), ControlSelectMessage(), static_cast<WPARAM>(row), 0);
  }

  void Clicked(QTreeWidgetItem* item) {
    const int row = RowOf(item);
    // The press that picked the row told its click already.
    if (row < 0 || std::exchange(pickedByChange_, -1) == row || !IsWindow(Control())) return;
    SendMessageA(Control(), ControlSelectMessage(), static_cast<WPARAM>(row), 0);
  }

  void DoubleClicked(QTreeWidgetItem* item) {
    const int row = RowOf(item);
    pickedByChange_ = -1;
    if (row >= 0 && IsWindow(Control())) SendMessageA(Control(), ControlDoubleClickMessage(), static_cast<WPARAM>(row), 0);
  }

  QTreeWidget* tree_;
  std::vector<ColumnShown> columns_;
  std::vector<std::string> rows_;
  int pickedByChange_ = -1;
};

}  // namespace

std::unique_ptr<ControlWidget> MakeListViewWidget(HWND control, DWORD, QWidget* parent) {
  return std::make_unique<ListViewWidget>(control, new QTreeWidget(parent));
}

}  // namespace win::display
