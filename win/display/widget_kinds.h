// The widget of each control kind. Internal to the display: the factory
// (control_widget_factory.cpp) picks one by the control's kind and style.
#pragma once

#include <memory>

#include "win/display/control_widget.h"

namespace win::display {

std::unique_ptr<ControlWidget> MakeStaticWidget(HWND control, DWORD style, QWidget* parent);
std::unique_ptr<ControlWidget> MakePictureWidget(HWND control, DWORD style, QWidget* parent);
std::unique_ptr<ControlWidget> MakeGroupBoxWidget(HWND control, QWidget* parent);
std::unique_ptr<ControlWidget> MakeButtonWidget(HWND control, DWORD style, QWidget* parent);
std::unique_ptr<ControlWidget> MakeEditWidget(HWND control, DWORD style, QWidget* parent);
std::unique_ptr<ControlWidget> MakeRichEditWidget(HWND control, DWORD style, QWidget* parent);
std::unique_ptr<ControlWidget> MakeListBoxWidget(HWND control, DWORD style, QWidget* parent);
std::unique_ptr<ControlWidget> MakeComboWidget(HWND control, DWORD style, QWidget* parent);
std::unique_ptr<ControlWidget> MakeListViewWidget(HWND control, DWORD style, QWidget* parent);
std::unique_ptr<ControlWidget> MakeTabWidget(HWND control, DWORD style, QWidget* parent);
std::unique_ptr<ControlWidget> MakeTrackbarWidget(HWND control, DWORD style, QWidget* parent);
std::unique_ptr<ControlWidget> MakeIpAddressWidget(HWND control, QWidget* parent);
std::unique_ptr<ControlWidget> MakeToolTipWidget(HWND control, QWidget* parent);

}  // namespace win::display
