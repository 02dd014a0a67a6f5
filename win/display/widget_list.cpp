// The list box and the combo box (a simple combo as its edit part above its
// open list, the others as a drop-down box). Items are shown from one model of texts set
// at once (a list of 43,000 models shows without an item object each); the
// selection and the edit part follow the model. A user's pick is the model's
// select (LBN_SELCHANGE / CBN_SELCHANGE), a double-click its double-click,
// typing into a combo's edit part the model's typing (CBN_EDITCHANGE).
#include <QComboBox>
#include <QLineEdit>
#include <QListView>
#include <QResizeEvent>
#include <QSignalBlocker>
#include <QStringListModel>
#include <QVBoxLayout>

#include "win/display/widget_kinds.h"
#include "win/display/widget_support.h"
#include "win/display/widget_tab_stops.h"
#include "win/listbox_ctrl.h"

namespace win::display {

namespace {

constexpr int kDefaultTabStop = 32;  // dialog units between stops when none are set

QStringList ShownItems(const std::vector<std::string>& items) {
  QStringList shown;
  shown.reserve(static_cast<qsizetype>(items.size()));
  for (const std::string& item : items) shown.push_back(FromModelText(item));
  return shown;
}

CItemListCtrl* ListModel(HWND control) { return dynamic_cast<CItemListCtrl*>(CWnd::FromHandle(control)); }

class ListBoxWidget : public ModelWidget {
 public:
  ListBoxWidget(HWND control, QListView* view)
      : ModelWidget(control, view, ColourRoles::kField),
        view_(view),
        items_(new QStringListModel(view)),
        delegate_(new TabStopDelegate(view)) {
    view->setModel(items_);
    view->setItemDelegate(delegate_);
    view->setUniformItemSizes(true);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    QObject::connect(view->selectionModel(), &QItemSelectionModel::currentChanged, view,
                     [this](const QModelIndex& current, const QModelIndex&) { Picked(current.row()); });
    QObject::connect(view, &QAbstractItemView::doubleClicked, view,
                     [this](const QModelIndex& index) { DoubleClicked(index.row()); });
  }

 protected:
  UINT ColourMessage() const override { return WM_CTLCOLORLISTBOX; }

  void SyncModel(unsigned changes) override {
    if (!ItemsMayHaveChanged(changes)) return;
    CItemListCtrl* model = ListModel(Control());
    if (model == nullptr) return;
    const QSignalBlocker block(view_->selectionModel());
    std::vector<std::string> items = model->Items();
    if (items != shown_) {
      items_->setStringList(ShownItems(items));
      shown_ = std::move(items);
    }
    QList<qreal> stops;
    if ((model->Style() & LBS_USETABSTOPS) != 0) {
      const double unit = DialogBaseUnitX(view_->font()) / 4.0;
      std::vector<int> set = model->TabStops();
      if (set.empty()) set.push_back(kDefaultTabStop);
      // One stop repeats at its distance; several stand where they are set.
      if (set.size() == 1) {
        for (int at = set.front(); at > 0 && at * unit < 4096; at += set.front()) stops.push_back(at * unit);
      } else {
        for (int at : set) stops.push_back(at * unit);
      }
    }
    if (stops != delegate_->Stops()) {
      delegate_->SetStops(stops);
      view_->viewport()->update();
    }
    const int selected = model->GetCurSel();
    const QModelIndex index = items_->index(selected, 0);
    if (view_->selectionModel()->currentIndex() != index || !view_->selectionModel()->isSelected(index)) {
      if (index.isValid()) {
        view_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        view_->scrollTo(index);
      } else {
        view_->selectionModel()->clear();
      }
    }
  }

 private:
  void Picked(int row) {
    if (row < 0 || !IsWindow(Control())) return;
    CItemListCtrl* model = ListModel(Control());
    if (model == nullptr || model->GetCurSel() == row) return;
    SendMessageA(Control(), ControlSelectMessage(), static_cast<WPARAM>(row), 0);
  }

  void DoubleClicked(int row) {
    if (row < 0 || !IsWindow(Control())) return;
    CItemListCtrl* model = ListModel(Control());
    if (model == nullptr) return;
    // The first click of the two picked the row already: only the double-click is told.
    if (model->GetCurSel() == row && model->Kind() == "listbox") {
      model->DoubleClick();
    } else {
      SendMessageA(Control(), ControlDoubleClickMessage(), static_cast<WPARAM>(row), 0);
    }
  }

  QListView* view_;
  QStringListModel* items_;
  TabStopDelegate* delegate_;
  std::vector<std::string> shown_;
};

// A combo box that tells the model when its list opens and closes.
class ModelComboBox : public QComboBox {
 public:
  ModelComboBox(HWND control, QWidget* parent) : QComboBox(parent), control_(control) {}
  void showPopup() override {
    SendMessageA(control_, CB_SHOWDROPDOWN, TRUE, 0);
    QComboBox::showPopup();
  }
  void hidePopup() override {
    QComboBox::hidePopup();
    if (IsWindow(control_)) SendMessageA(control_, CB_SHOWDROPDOWN, FALSE, 0);
  }

 private:
  const HWND control_;
};

// The control's rectangle holds the open list too: the closed box lies at
// its top and only there does the widget take the mouse.
class ComboFrame : public QWidget {
 public:
  explicit ComboFrame(QWidget* parent) : QWidget(parent) {}
  void SetBox(QComboBox* box) { box_ = box; }

 protected:
  void resizeEvent(QResizeEvent* event) override {
    QWidget::resizeEvent(event);
    if (box_ == nullptr) return;
    const int height = std::min(box_->sizeHint().height(), std::max(event->size().height(), 1));
    box_->setGeometry(0, 0, event->size().width(), height);
    setMask(QRegion(box_->geometry()));
  }

 private:
  QComboBox* box_ = nullptr;
};

class ComboWidget : public ModelWidget {
 public:
  ComboWidget(HWND control, ComboFrame* frame, ModelComboBox* box, DWORD style)
      : ModelWidget(control, frame, ColourRoles::kField), box_(box), items_(new QStringListModel(box)) {
    frame->SetBox(box);
    frame->setFocusProxy(box);
    box->setModel(items_);
    // Sizing by its contents would measure every item.
    box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    if (auto* list = qobject_cast<QListView*>(box->view())) list->setUniformItemSizes(true);
    box->setEditable((style & CBS_TYPEMASK) != CBS_DROPDOWNLIST);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setFocusPolicy(Qt::StrongFocus);
    WatchPart(box);
    QObject::connect(box, &QComboBox::activated, box, [this](int index) { Picked(index); });
    if (QLineEdit* edit = box->lineEdit()) {
      edit->setCompleter(nullptr);
      QObject::connect(edit, &QLineEdit::textEdited, edit, [this](const QString& text) { Typed(text); });
    }
  }

 protected:
  UINT ColourMessage() const override { return WM_CTLCOLOREDIT; }

  void SyncModel(unsigned changes) override {
    if (!ItemsMayHaveChanged(changes)) return;
    CItemListCtrl* model = ListModel(Control());
    if (model == nullptr) return;
    const QSignalBlocker block(box_);
    std::vector<std::string> items = model->Items();
    if (items != shown_) {
      items_->setStringList(ShownItems(items));
      shown_ = std::move(items);
    }
    const int selected = model->GetCurSel();
    if (box_->currentIndex() != selected) box_->setCurrentIndex(selected);
    if (QLineEdit* edit = box_->lineEdit()) {
      const QString text = FromModelText(model->Text());
      if (edit->text() != text) {
        const int cursor = edit->cursorPosition();
        edit->setText(text);
        edit->setCursorPosition(std::min(cursor, static_cast<int>(text.size())));
      }
    }
  }

 private:
  void Picked(int index) {
    if (index < 0 || !IsWindow(Control())) return;
    SendMessageA(Control(), ControlSelectMessage(), static_cast<WPARAM>(index), 0);
    Resync();
  }

  void Typed(const QString& text) {
    TypeIntoModel(Control(), text);
    // The model folds the case and cuts to its limit: that shows at once.
    Resync();
  }

  ModelComboBox* box_;
  QStringListModel* items_;
  std::vector<std::string> shown_;
};

// A simple combo: its edit part above its list, which is always open.
class SimpleComboWidget : public ModelWidget {
 public:
  SimpleComboWidget(HWND control, QWidget* frame, QLineEdit* edit, QListView* list)
      : ModelWidget(control, frame, ColourRoles::kField), edit_(edit), list_(list), items_(new QStringListModel(list)) {
    list->setModel(items_);
    list->setUniformItemSizes(true);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setFocusPolicy(Qt::NoFocus);
    frame->setFocusProxy(edit);
    QObject::connect(edit, &QLineEdit::textEdited, edit, [this](const QString& text) { Typed(text); });
    QObject::connect(list->selectionModel(), &QItemSelectionModel::currentChanged, list,
                     [this](const QModelIndex& current, const QModelIndex&) { Picked(current.row()); });
    QObject::connect(list, &QAbstractItemView::doubleClicked, list, [this](const QModelIndex& index) {
      if (index.row() >= 0 && IsWindow(Control())) {
        SendMessageA(Control(), ControlDoubleClickMessage(), static_cast<WPARAM>(index.row()), 0);
      }
    });
  }

 protected:
  UINT ColourMessage() const override { return WM_CTLCOLOREDIT; }

  void SyncModel(unsigned changes) override {
    if (!ItemsMayHaveChanged(changes)) return;
    CItemListCtrl* model = ListModel(Control());
    if (model == nullptr) return;
    const QSignalBlocker blockEdit(edit_);
    const QSignalBlocker blockList(list_->selectionModel());
    std::vector<std::string> items = model->Items();
    if (items != shown_) {
      items_->setStringList(ShownItems(items));
      shown_ = std::move(items);
    }
    const QString text = FromModelText(model->Text());
    if (edit_->text() != text) {
      const int cursor = edit_->cursorPosition();
      edit_->setText(text);
      edit_->setCursorPosition(std::min(cursor, static_cast<int>(text.size())));
    }
    const QModelIndex index = items_->index(model->GetCurSel(), 0);
    if (!index.isValid()) {
      list_->selectionModel()->clear();
    } else if (list_->currentIndex() != index) {
      list_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
      list_->scrollTo(index);
    }
  }

 private:
  void Picked(int row) {
    if (row < 0 || !IsWindow(Control())) return;
    CItemListCtrl* model = ListModel(Control());
    if (model == nullptr || model->GetCurSel() == row) return;
    SendMessageA(Control(), ControlSelectMessage(), static_cast<WPARAM>(row), 0);
    Resync();
  }

  void Typed(const QString& text) {
    TypeIntoModel(Control(), text);
    // The model folds the case and cuts to its limit: that shows at once.
    Resync();
  }

  QLineEdit* edit_;
  QListView* list_;
  QStringListModel* items_;
  std::vector<std::string> shown_;
};

}  // namespace

std::unique_ptr<ControlWidget> MakeListBoxWidget(HWND control, DWORD, QWidget* parent) {
  return std::make_unique<ListBoxWidget>(control, new QListView(parent));
}

std::unique_ptr<ControlWidget> MakeComboWidget(HWND control, DWORD style, QWidget* parent) {
  if ((style & CBS_TYPEMASK) == CBS_SIMPLE) {
    auto* frame = new QWidget(parent);
    auto* column = new QVBoxLayout(frame);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(1);
    auto* edit = new QLineEdit(frame);
    auto* list = new QListView(frame);
    column->addWidget(edit);
    column->addWidget(list, 1);
    return std::make_unique<SimpleComboWidget>(control, frame, edit, list);
  }
  auto* frame = new ComboFrame(parent);
  auto* box = new ModelComboBox(control, frame);
  return std::make_unique<ComboWidget>(control, frame, box, style);
}

}  // namespace win::display
