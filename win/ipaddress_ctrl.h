// The IP address control: four fields of 0 to 255, each of which may be
// blank. Its text is the four fields joined by '.', a blank field empty
// ("192.168..1"), and empty when all four are blank. IPM_SETADDRESS fills all
// four fields; IPM_GETADDRESS answers how many are not blank and the address
// with blank fields as 0. IPM_SETRANGE bounds a field; a value outside its
// range is brought to the nearer end.
//
// A user's typing (the automation's settext: "a.b.c.d", a field left empty
// stays blank) tells the parent IPN_FIELDCHANGED (WM_NOTIFY, NMIPADDRESS)
// for each field that changed, then EN_CHANGE (WM_COMMAND) once. Changes made
// by the program tell nothing.
#pragma once

#include <array>
#include <optional>

#include "win/control_base.h"

constexpr UINT IPM_CLEARADDRESS = WM_USER + 100;
constexpr UINT IPM_SETADDRESS = WM_USER + 101;
constexpr UINT IPM_GETADDRESS = WM_USER + 102;
constexpr UINT IPM_SETRANGE = WM_USER + 103;
constexpr UINT IPM_SETFOCUS = WM_USER + 104;
constexpr UINT IPM_ISBLANK = WM_USER + 105;

constexpr UINT IPN_FIRST = 0U - 860U;
constexpr UINT IPN_FIELDCHANGED = IPN_FIRST;
constexpr WORD kIpAddressChanged = 0x0300;  // EN_CHANGE

constexpr DWORD MAKEIPADDRESS(BYTE b1, BYTE b2, BYTE b3, BYTE b4) {
  return (static_cast<DWORD>(b1) << 24) | (static_cast<DWORD>(b2) << 16) | (static_cast<DWORD>(b3) << 8) | b4;
}
constexpr LPARAM MAKEIPRANGE(BYTE low, BYTE high) { return static_cast<LPARAM>((static_cast<WORD>(high) << 8) | low); }
constexpr BYTE FIRST_IPADDRESS(DWORD a) { return static_cast<BYTE>((a >> 24) & 0xFF); }
constexpr BYTE SECOND_IPADDRESS(DWORD a) { return static_cast<BYTE>((a >> 16) & 0xFF); }
constexpr BYTE THIRD_IPADDRESS(DWORD a) { return static_cast<BYTE>((a >> 8) & 0xFF); }
constexpr BYTE FOURTH_IPADDRESS(DWORD a) { return static_cast<BYTE>(a & 0xFF); }

// iField 0..3; iValue the field's new value, -1 when blank.
struct NMIPADDRESS {
  NMHDR hdr;
  int iField = 0;
  int iValue = 0;
};

class CIPAddressCtrl : public CControlBase {
 public:
  explicit CIPAddressCtrl(DWORD style = 0, std::string text = {});
  ~CIPAddressCtrl() override;

  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  std::string_view Kind() const override { return "ipaddress"; }
  std::optional<std::string> ContentText() const override;

  // The class library's calls, through the messages above.
  void SetAddress(DWORD address);
  void SetAddress(BYTE b1, BYTE b2, BYTE b3, BYTE b4) { SetAddress(MAKEIPADDRESS(b1, b2, b3, b4)); }
  // How many fields are not blank.
  int GetAddress(DWORD& address);
  int GetAddress(BYTE& b1, BYTE& b2, BYTE& b3, BYTE& b4);
  void ClearAddress();
  BOOL IsBlank();
  void SetFieldRange(int field, BYTE low, BYTE high);

 private:
  using Fields = std::array<std::optional<int>, 4>;
  // A dotted text as fields, nullopt when it is not one.
  std::optional<Fields> Parse(std::string_view text) const;
  std::string TextLocked() const;
  LRESULT Typed(const char* text);

  // Guarded by mutex_.
  Fields fields_{};
  std::array<std::pair<int, int>, 4> ranges_{{{0, 255}, {0, 255}, {0, 255}, {0, 255}}};
};
