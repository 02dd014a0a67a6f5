#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "win/controls.h"
#include "win/dialog.h"
#include "win/focus.h"
#include "win/paint.h"
#include "win/window_pos.h"

namespace {

// What the parent heard: a WM_COMMAND (id, code) or a WM_NOTIFY (id, code, row or field, state or value).
struct Heard {
  WORD id = 0;
  UINT code = 0;
  int item = 0;
  int value = 0;
  bool operator==(const Heard&) const = default;
};

class ListeningDialog : public CDialog {
 public:
  ~ListeningDialog() override { DestroyWindow(); }
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_COMMAND) {
      heard.push_back(Heard{LOWORD(wParam), HIWORD(wParam), 0, 0});
      return 0;
    }
    if (message == WM_NOTIFY && lParam != 0) {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      Heard h{static_cast<WORD>(header->idFrom), header->code, 0, 0};
      if (header->code == LVN_ITEMCHANGED || header->code == LVN_COLUMNCLICK) {
        const auto* notice = reinterpret_cast<const NMLISTVIEW*>(lParam);
        h.item = header->code == LVN_COLUMNCLICK ? notice->iSubItem : notice->iItem;
        h.value = static_cast<int>(notice->uNewState);
      } else if (header->code == NM_CLICK || header->code == NM_DBLCLK) {
        const auto* notice = reinterpret_cast<const NMITEMACTIVATE*>(lParam);
        h.item = notice->iItem;
        h.value = static_cast<int>(notice->lParam);
      } else if (header->code == IPN_FIELDCHANGED) {
        const auto* notice = reinterpret_cast<const NMIPADDRESS*>(lParam);
        h.item = notice->iField;
        h.value = notice->iValue;
      }
      heard.push_back(h);
      return 0;
    }
    return CDialog::WindowProc(message, wParam, lParam);
  }
  template <typename Control>
  Control* Add(std::unique_ptr<Control> control, int id) {
    return static_cast<Control*>(AddControl(std::move(control), id));
  }
  std::vector<Heard> heard;
};

class ListControlsTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dialog.Create(9100, nullptr)); }
  void TearDown() override { SetFocus(0); }
  LRESULT Select(CWnd* control, WPARAM index) { return control->SendMessage(ControlSelectMessage(), index, 0); }
  LRESULT DoubleClick(CWnd* control, WPARAM index) {
    return control->SendMessage(ControlDoubleClickMessage(), index, 0);
  }
  LRESULT Type(CWnd* control, const char* text) {
    return control->SendMessage(ControlTypeMessage(), 0, reinterpret_cast<LPARAM>(text));
  }
  ListeningDialog dialog;
};

using Texts = std::vector<std::string>;

TEST_F(ListControlsTest, SortedListsPlaceItemsByTextWithoutCaseAndKeepTheirData) {
  struct Case {
    const char* name;
    DWORD style;
    bool combo;
    Texts expected;
  };
  const std::vector<Case> cases = {
      {"sorted list box", LBS_SORT, false, {"alpha", "Bravo", "bravo", "charlie", "Delta"}},
      {"sorted combo", CBS_DROPDOWNLIST | CBS_SORT, true, {"alpha", "Bravo", "bravo", "charlie", "Delta"}},
      {"unsorted list box", 0, false, {"charlie", "Bravo", "alpha", "Delta", "bravo"}},
  };
  int id = 7000;
  for (const Case& c : cases) {
    std::unique_ptr<CItemListCtrl> made;
    if (c.combo) {
      made = std::make_unique<CComboBox>(c.style);
    } else {
      made = std::make_unique<CListBox>(c.style);
    }
    auto* list = dialog.Add(std::move(made), ++id);
    ASSERT_NE(list, nullptr) << c.name;
    for (const char* text : {"charlie", "Bravo", "alpha", "Delta", "bravo"}) {
      const int at = list->AddString(text);
      ASSERT_GE(at, 0) << c.name;
      // Each item's data names its own text, whatever moves after it.
      list->SetItemData(at, static_cast<DWORD_PTR>(text[0]) << 8 | static_cast<DWORD_PTR>(text[1]));
    }
    EXPECT_EQ(list->Items(), c.expected) << c.name;
    for (int i = 0; i < list->GetCount(); ++i) {
      const std::string text = list->ItemText(i);
      EXPECT_EQ(list->GetItemData(i), static_cast<DWORD_PTR>(text[0]) << 8 | static_cast<DWORD_PTR>(text[1]))
          << c.name << " item " << i;
    }
    // Inserting at an index never sorts.
    EXPECT_EQ(list->InsertString(0, "zulu"), 0) << c.name;
    EXPECT_EQ(list->ItemText(0), "zulu") << c.name;
  }
}

TEST_F(ListControlsTest, SearchesFindPrefixOrWholeTextWithoutCaseAndWrapRound) {
  auto* list = dialog.Add(std::make_unique<CListBox>(LBS_NOTIFY), 7001);
  for (const char* text : {"001 >>> Boeing", "002 >>> Airbus", "B737", "b7", "003 >>> Boeing 737"}) list->AddString(text);
  struct Case {
    int startAfter;
    const char* text;
    int prefix;
    int exact;
  };
  const std::vector<Case> cases = {
      {-1, "b7", 2, 3},       // "B737" begins with it; "b7" is it
      {-1, "B7", 2, 3},       // case ignored both ways
      {2, "b7", 3, 3},        // from after item 2
      {3, "b7", 2, 3},        // past the end: round to the top
      {-1, "003", 4, -1},     // a prefix is never a whole text
      {-1, "zzz", -1, -1},    // nowhere
      {-1, "", 0, -1},        // every item begins with nothing
      {99, "002", 1, -1},     // a start beyond the list searches from the top
  };
  for (const Case& c : cases) {
    EXPECT_EQ(list->FindString(c.startAfter, c.text), c.prefix) << c.startAfter << " " << c.text;
    EXPECT_EQ(list->FindStringExact(c.startAfter, c.text), c.exact) << c.startAfter << " " << c.text;
  }
  // Selecting by text selects without a notice; nothing found keeps the selection.
  EXPECT_EQ(list->SelectString(-1, "002"), 1);
  EXPECT_EQ(list->GetCurSel(), 1);
  EXPECT_EQ(list->SelectString(-1, "nothing"), LB_ERR);
  EXPECT_EQ(list->GetCurSel(), 1);
  EXPECT_TRUE(dialog.heard.empty());
}

TEST_F(ListControlsTest, OutOfRangeIndexesAreRefusedEverywhere) {
  auto* list = dialog.Add(std::make_unique<CListBox>(), 7001);
  auto* combo = dialog.Add(std::make_unique<CComboBox>(), 7002);
  auto* view = dialog.Add(std::make_unique<CListCtrl>(), 7003);
  list->AddString("one");
  combo->AddString("one");
  view->InsertColumn(0, "Callsign");
  view->InsertItem(0, "one");
  for (int index : {-1, 1, 1000}) {
    EXPECT_EQ(list->SetItemData(index, 5), LB_ERR) << index;
    EXPECT_EQ(list->GetItemData(index), static_cast<DWORD_PTR>(LB_ERR)) << index;
    EXPECT_EQ(combo->SetItemData(index, 5), CB_ERR) << index;
    EXPECT_EQ(combo->GetLBTextLen(index), CB_ERR) << index;
    EXPECT_EQ(list->DeleteString(static_cast<UINT>(index)), LB_ERR) << index;
    EXPECT_EQ(view->SetItemText(index, 0, "x"), FALSE) << index;
    EXPECT_EQ(view->SetItemData(index, 5), FALSE) << index;
    EXPECT_EQ(view->GetItemData(index), 0u) << index;
    EXPECT_EQ(view->GetItemText(index, 0), "") << index;
    EXPECT_EQ(view->DeleteItem(index), FALSE) << index;
    EXPECT_EQ(Select(view, static_cast<WPARAM>(index)), FALSE) << index;
    EXPECT_EQ(Select(list, static_cast<WPARAM>(index)), FALSE) << index;
  }
  // A sub-item needs its column.
  EXPECT_EQ(view->SetItemText(0, 1, "x"), FALSE);
  EXPECT_EQ(view->Rows(), Texts{"one"});
  EXPECT_EQ(list->Items(), Texts{"one"});
  EXPECT_TRUE(dialog.heard.empty());
}

TEST_F(ListControlsTest, AListBoxTellsSelectionDoubleClickAndFocusOnlyWithNotify) {
  auto* quiet = dialog.Add(std::make_unique<CListBox>(), 7001);
  auto* told = dialog.Add(std::make_unique<CListBox>(LBS_NOTIFY), 7002);
  for (CListBox* list : {quiet, told}) {
    list->AddString("a");
    list->AddString("b");
    EXPECT_EQ(Select(list, 1), TRUE);
    EXPECT_EQ(DoubleClick(list, 0), TRUE);
    EXPECT_EQ(list->GetCurSel(), 0);
    SetFocus(list->m_hWnd);
  }
  SetFocus(0);
  // The program's own selection tells nothing.
  told->SetCurSel(1);
  EXPECT_EQ(dialog.heard, (std::vector<Heard>{{7002, LBN_SELCHANGE, 0, 0},
                                              {7002, LBN_SELCHANGE, 0, 0},
                                              {7002, LBN_DBLCLK, 0, 0},
                                              {7002, LBN_SETFOCUS, 0, 0},
                                              {7002, LBN_KILLFOCUS, 0, 0}}));
}

TEST_F(ListControlsTest, ComboKindsTypeSelectAndDropAsAUserDoes) {
  auto* simple = dialog.Add(std::make_unique<CComboBox>(CBS_SIMPLE | CBS_SORT | CBS_UPPERCASE), 7160);
  auto* dropdown = dialog.Add(std::make_unique<CComboBox>(CBS_DROPDOWN), 7179);
  auto* droplist = dialog.Add(std::make_unique<CComboBox>(CBS_DROPDOWNLIST), 9176);
  for (const char* type : {"B738", "A320", "B737"}) simple->AddString(type);
  droplist->AddString(" ");
  droplist->AddString(" L1P - C172 : Cessna");

  // Typed text is folded; the item it names becomes the selection, any other text none.
  EXPECT_EQ(Type(simple, "b737"), kTypedIn);
  EXPECT_EQ(simple->Text(), "B737");
  EXPECT_EQ(simple->GetCurSel(), 1);
  EXPECT_EQ(Type(simple, "b7"), kTypedIn);
  EXPECT_EQ(simple->GetCurSel(), CB_ERR);
  EXPECT_EQ(simple->Text(), "B7");
  // A limit cuts what is typed, never what the program sets.
  dropdown->LimitText(3);
  EXPECT_EQ(Type(dropdown, "L1PX"), kTypedIn);
  EXPECT_EQ(dropdown->Text(), "L1P");
  dropdown->SetWindowText("LONGER");
  EXPECT_EQ(dropdown->Text(), "LONGER");
  // A drop-down list has no edit part.
  EXPECT_EQ(Type(droplist, "x"), kTypingRefused);
  EXPECT_EQ(droplist->SendMessage(WM_SETTEXT, 0, reinterpret_cast<LPARAM>("not an item")), CB_ERR);
  EXPECT_EQ(droplist->GetCurSel(), CB_ERR);

  // Only a simple combo shows items to double-click.
  EXPECT_EQ(DoubleClick(simple, 2), TRUE);
  EXPECT_EQ(simple->Text(), "B738");
  EXPECT_EQ(DoubleClick(droplist, 1), FALSE);
  EXPECT_EQ(Select(droplist, 1), TRUE);
  EXPECT_EQ(droplist->Text(), " L1P - C172 : Cessna");

  dropdown->ShowDropDown(TRUE);
  dropdown->ShowDropDown(TRUE);  // open already: nothing more
  EXPECT_EQ(dropdown->GetDroppedState(), TRUE);
  dropdown->ShowDropDown(FALSE);
  simple->ShowDropDown(TRUE);  // always open: tells nothing
  SetFocus(simple->m_hWnd);
  SetFocus(dropdown->m_hWnd);

  EXPECT_EQ(dialog.heard, (std::vector<Heard>{{7160, CBN_EDITCHANGE, 0, 0},
                                              {7160, CBN_EDITCHANGE, 0, 0},
                                              {7179, CBN_EDITCHANGE, 0, 0},
                                              {7160, CBN_SELCHANGE, 0, 0},
                                              {7160, CBN_DBLCLK, 0, 0},
                                              {9176, CBN_SELCHANGE, 0, 0},
                                              {7179, CBN_DROPDOWN, 0, 0},
                                              {7179, CBN_CLOSEUP, 0, 0},
                                              {7160, CBN_SETFOCUS, 0, 0},
                                              {7160, CBN_KILLFOCUS, 0, 0},
                                              {7179, CBN_SETFOCUS, 0, 0}}));
}

TEST_F(ListControlsTest, HostileTextsAreKeptByteForByte) {
  auto* list = dialog.Add(std::make_unique<CListBox>(LBS_SORT), 7001);
  auto* view = dialog.Add(std::make_unique<CListCtrl>(), 7002);
  view->InsertColumn(0, "A");
  view->InsertColumn(1, "B");
  const std::string percent = "%s%n%d\t[x]\r\n\\";
  const std::string high = "Fran\xe7" "ais \xff";
  const std::string longText(5000, 'x');
  for (const std::string& text : {percent, high, longText}) {
    const int at = list->AddString(text.c_str());
    EXPECT_EQ(list->ItemText(at), text);
    const int row = view->InsertItem(view->GetItemCount(), text.c_str());
    view->SetItemText(row, 1, text.c_str());
    EXPECT_EQ(view->GetItemText(row, 1), text);
  }
  // A short buffer takes what fits and its terminator.
  char buffer[4] = {'z', 'z', 'z', 'z'};
  EXPECT_EQ(view->GetItemText(2, 1, buffer, sizeof buffer), 3);
  EXPECT_EQ(std::string(buffer), "xxx");
}

int ByDataDescending(LPARAM a, LPARAM b, LPARAM sign) { return a < b ? static_cast<int>(sign) : a > b ? -static_cast<int>(sign) : 0; }

TEST_F(ListControlsTest, AListViewKeepsColumnsRowsDataAndStateThroughASort) {
  auto* view = dialog.Add(std::make_unique<CListCtrl>(LVS_REPORT | LVS_SINGLESEL), 7151);
  view->SetExtendedStyle(LVS_EX_FULLROWSELECT);
  EXPECT_EQ(view->InsertColumn(0, "Callsign", LVCFMT_LEFT, 95), 0);
  EXPECT_EQ(view->InsertColumn(1, "Dist.", LVCFMT_LEFT, 55), 1);
  EXPECT_EQ(view->InsertColumn(2, "Alt.", LVCFMT_CENTER, 49), 2);
  EXPECT_EQ(view->GetColumnWidth(2), 49);
  EXPECT_EQ(view->ColumnTitles(), (Texts{"Callsign", "Dist.", "Alt."}));
  const std::vector<std::pair<const char*, int>> pilots = {{"DEMO01", 3}, {"DEMO02", 7}, {"DEMO03", 5}};
  for (const auto& [callsign, way] : pilots) {
    const int row = view->InsertItem(view->GetItemCount(), callsign);
    view->SetItemData(row, static_cast<DWORD_PTR>(way));
    view->SetItemText(row, 1, "2.7");
    view->SetItemText(row, 2, std::to_string(way * 1000).c_str());
  }
  view->SetItemState(2, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  EXPECT_EQ(view->GetNextItem(-1, LVNI_SELECTED), 2);
  EXPECT_EQ(view->GetSelectedCount(), 1u);

  ASSERT_EQ(view->SortItems(&ByDataDescending, 1), TRUE);
  EXPECT_EQ(view->Rows(), (Texts{"DEMO02\t2.7\t7000", "DEMO03\t2.7\t5000", "DEMO01\t2.7\t3000"}));
  EXPECT_EQ(view->GetItemData(0), 7u);
  EXPECT_EQ(view->GetItemData(2), 3u);
  // The selected row went with its texts.
  EXPECT_EQ(view->GetNextItem(-1, LVNI_SELECTED), 1);
  EXPECT_EQ(view->GetItemText(1, 0), "DEMO03");

  // A column put in front moves every row's texts with it; the item text stays first.
  view->InsertColumn(1, "To him", LVCFMT_LEFT, 55);
  EXPECT_EQ(view->Rows()[0], "DEMO02\t\t2.7\t7000");
  view->DeleteColumn(1);
  EXPECT_EQ(view->Rows()[0], "DEMO02\t2.7\t7000");
  EXPECT_EQ(view->DeleteItem(0), TRUE);
  EXPECT_EQ(view->GetItemCount(), 2);
  EXPECT_EQ(view->DeleteAllItems(), TRUE);
  EXPECT_EQ(view->GetItemCount(), 0);
  EXPECT_EQ(view->GetNextItem(-1, LVNI_SELECTED), -1);
  EXPECT_TRUE(dialog.heard.empty());
}

TEST_F(ListControlsTest, AListViewClickTellsTheStateChangesThenTheClick) {
  auto* view = dialog.Add(std::make_unique<CListCtrl>(), 7151);
  view->InsertColumn(0, "Callsign");
  for (int way : {4, 9}) view->SetItemData(view->InsertItem(view->GetItemCount(), "P"), static_cast<DWORD_PTR>(way));
  EXPECT_EQ(Select(view, 0), TRUE);
  EXPECT_EQ(DoubleClick(view, 1), TRUE);
  EXPECT_EQ(DoubleClick(view, 1), TRUE);  // already selected: no state change to tell
  view->ClickColumn(0);
  view->ClickColumn(5);  // no such column
  constexpr int kBoth = static_cast<int>(LVIS_SELECTED | LVIS_FOCUSED);
  EXPECT_EQ(dialog.heard, (std::vector<Heard>{{7151, LVN_ITEMCHANGED, 0, kBoth},
                                              {7151, NM_CLICK, 0, 4},
                                              {7151, LVN_ITEMCHANGED, 0, 0},
                                              {7151, LVN_ITEMCHANGED, 1, kBoth},
                                              {7151, NM_CLICK, 1, 9},
                                              {7151, NM_DBLCLK, 1, 9},
                                              {7151, NM_CLICK, 1, 9},
                                              {7151, NM_DBLCLK, 1, 9},
                                              {7151, LVN_COLUMNCLICK, 0, 0}}));
  EXPECT_EQ(view->GetSelectionMark(), 1);
  EXPECT_EQ(view->GetItemState(0, LVIS_SELECTED), 0u);
}

TEST_F(ListControlsTest, AnIpAddressControlKeepsFourFieldsThatMayBeBlank) {
  auto* ip = dialog.Add(std::make_unique<CIPAddressCtrl>(), 7135);
  EXPECT_EQ(ip->IsBlank(), TRUE);
  EXPECT_EQ(ip->TextSnapshot(), "");
  ip->SetAddress(192, 168, 0, 2);
  DWORD address = 0;
  EXPECT_EQ(ip->GetAddress(address), 4);
  EXPECT_EQ(address, MAKEIPADDRESS(192, 168, 0, 2));
  EXPECT_EQ(ip->TextSnapshot(), "192.168.0.2");
  ip->ClearAddress();
  EXPECT_EQ(ip->IsBlank(), TRUE);
  EXPECT_EQ(ip->GetAddress(address), 0);
  EXPECT_EQ(address, 0u);

  struct Case {
    const char* typed;
    LRESULT answer;
    const char* text;
    int filled;
  };
  const std::vector<Case> cases = {
      {"10.0.0.1", kTypedIn, "10.0.0.1", 4},
      {"10..0.1", kTypedIn, "10..0.1", 3},      // a field left blank
      {"300.1.2.3", kTypedIn, "255.1.2.3", 4},  // brought into the field's range
      {"1.2.3", kTextRefused, "255.1.2.3", 4},  // three fields
      {"1.2.3.4.5", kTextRefused, "255.1.2.3", 4},
      {"1.2.3.0004", kTextRefused, "255.1.2.3", 4},
      {"a.b.c.d", kTextRefused, "255.1.2.3", 4},
      {"%s.%n..", kTextRefused, "255.1.2.3", 4},
      {"", kTypedIn, "", 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Type(ip, c.typed), c.answer) << c.typed;
    EXPECT_EQ(ip->TextSnapshot(), c.text) << c.typed;
    EXPECT_EQ(ip->GetAddress(address), c.filled) << c.typed;
  }
  ip->SetFieldRange(0, 1, 223);
  ip->SetAddress(0, 0, 0, 0);
  EXPECT_EQ(ip->TextSnapshot(), "1.0.0.0");
}

TEST_F(ListControlsTest, TypingAnAddressTellsEachChangedFieldThenTheChange) {
  auto* ip = dialog.Add(std::make_unique<CIPAddressCtrl>(), 7136);
  ip->SetAddress(10, 0, 0, 1);  // the program's own: nothing told
  EXPECT_EQ(Type(ip, "10.0.7.1"), kTypedIn);
  EXPECT_EQ(Type(ip, "10.0.7.1"), kTypedIn);  // the same: nothing changed
  EXPECT_EQ(Type(ip, ".0.7.2"), kTypedIn);
  EXPECT_EQ(dialog.heard, (std::vector<Heard>{{7136, IPN_FIELDCHANGED, 2, 7},
                                              {7136, kIpAddressChanged, 0, 0},
                                              {7136, IPN_FIELDCHANGED, 0, -1},
                                              {7136, IPN_FIELDCHANGED, 3, 2},
                                              {7136, kIpAddressChanged, 0, 0}}));
}

TEST_F(ListControlsTest, AFullSortedListKeepsItsOrderAndDataAcrossManyInsertsAndDeletes) {
  auto* combo = dialog.Add(std::make_unique<CComboBox>(CBS_DROPDOWNLIST | CBS_SORT), 9177);
  // Texts in no order, with repeats, many more than one block holds.
  std::vector<std::pair<std::string, DWORD_PTR>> reference;
  unsigned seed = 12345;
  for (DWORD_PTR n = 0; n < 5000; ++n) {
    seed = seed * 1103515245u + 12345u;
    const std::string text = " L2J - B73" + std::to_string((seed >> 16) % 700) + " : model";
    const int at = combo->AddString(text.c_str());
    ASSERT_GE(at, 0);
    combo->SetItemData(at, n + 1);
    // Equal texts keep the order they came in.
    const auto place = std::upper_bound(reference.begin(), reference.end(), text,
                                        [](const std::string& t, const auto& item) { return t < item.first; });
    ASSERT_EQ(at, place - reference.begin()) << n;
    reference.insert(place, {text, n + 1});
  }
  for (int i = static_cast<int>(reference.size()) - 1; i >= 0; i -= 7) {
    ASSERT_EQ(combo->DeleteString(static_cast<UINT>(i)), static_cast<int>(reference.size()) - 1);
    reference.erase(reference.begin() + i);
  }
  ASSERT_EQ(combo->GetCount(), static_cast<int>(reference.size()));
  for (int i = 0; i < combo->GetCount(); ++i) {
    ASSERT_EQ(combo->ItemText(i), reference[static_cast<std::size_t>(i)].first) << i;
    ASSERT_EQ(combo->GetItemData(i), reference[static_cast<std::size_t>(i)].second) << i;
  }
  EXPECT_EQ(combo->FindStringExact(-1, reference.back().first.c_str()),
            static_cast<int>(std::find_if(reference.begin(), reference.end(),
                                          [&](const auto& item) { return item.first == reference.back().first; }) -
                             reference.begin()));
}

// Invalid: has something to paint.
bool Invalid(CWnd* control) { return GetUpdateRect(control->m_hWnd, nullptr, FALSE) != FALSE; }

TEST_F(ListControlsTest, RedrawOffLetsTheModelChangeUnpaintedAndRedrawOnPaintsItOnce) {
  auto* list = dialog.Add(std::make_unique<CListBox>(LBS_SORT), 7001);
  auto* combo = dialog.Add(std::make_unique<CComboBox>(CBS_DROPDOWNLIST | CBS_SORT), 7002);
  auto* view = dialog.Add(std::make_unique<CListCtrl>(), 7003);
  auto* ip = dialog.Add(std::make_unique<CIPAddressCtrl>(), 7004);
  view->InsertColumn(0, "Callsign");
  // Something to paint needs room to paint in.
  for (CWnd* control : std::initializer_list<CWnd*>{list, combo, view, ip}) {
    MoveWindow(control->m_hWnd, 0, 0, 100, 60, FALSE);
  }
  const std::vector<std::pair<const char*, std::function<void()>>> changes = {
      {"list add", [&] { list->AddString("B737"); }},
      {"list select", [&] { list->SetCurSel(0); }},
      {"list reset", [&] { list->ResetContent(); }},
      {"combo add", [&] { combo->AddString("A320"); }},
      {"combo text", [&] { combo->SetCurSel(0); }},
      {"view row", [&] { view->InsertItem(0, "DEMO01"); }},
      {"view sub-item", [&] { view->SetItemText(0, 0, "DEMO02"); }},
      {"view state", [&] { view->SetItemState(0, LVIS_SELECTED, LVIS_SELECTED); }},
      {"view delete", [&] { view->DeleteAllItems(); }},
      {"address", [&] { ip->SetAddress(10, 0, 0, 1); }},
  };
  for (const auto& [name, change] : changes) {
    for (CWnd* control : std::initializer_list<CWnd*>{list, combo, view, ip}) {
      ValidateRect(control->m_hWnd, nullptr);
      control->SendMessage(WM_SETREDRAW, TRUE, 0);
    }
    change();
    const bool painted = Invalid(list) || Invalid(combo) || Invalid(view) || Invalid(ip);
    EXPECT_TRUE(painted) << name << ": a change with redraw on is painted";
  }
  for (CWnd* control : std::initializer_list<CWnd*>{list, combo, view, ip}) {
    ValidateRect(control->m_hWnd, nullptr);
    control->SendMessage(WM_SETREDRAW, FALSE, 0);
  }
  for (const auto& [name, change] : changes) {
    change();
    EXPECT_FALSE(Invalid(list) || Invalid(combo) || Invalid(view) || Invalid(ip)) << name << ": redraw is off";
  }
  // The model kept changing meanwhile.
  EXPECT_EQ(combo->GetCount(), 2);
  EXPECT_EQ(ip->TextSnapshot(), "10.0.0.1");
  list->SetRedraw(FALSE);  // off again: still nothing
  EXPECT_FALSE(Invalid(list));
  for (CWnd* control : std::initializer_list<CWnd*>{list, combo, view, ip}) {
    control->SendMessage(WM_SETREDRAW, TRUE, 0);
    EXPECT_TRUE(Invalid(control)) << control->Kind();
    ValidateRect(control->m_hWnd, nullptr);
    // On already: turning it on again paints nothing more.
    control->SendMessage(WM_SETREDRAW, TRUE, 0);
    EXPECT_FALSE(Invalid(control)) << control->Kind();
  }
}

}  // namespace
