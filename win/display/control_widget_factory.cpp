#include "win/display/control_widget.h"

namespace win::display {

// Every kind shows its painted surface until its widget exists.
std::unique_ptr<ControlWidget> MakeControlWidget(HWND, std::string_view, DWORD, QWidget*) { return nullptr; }

}  // namespace win::display
