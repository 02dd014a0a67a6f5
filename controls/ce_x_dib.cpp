#include "controls/ce_x_dib.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <new>

namespace {

std::atomic<bool> g_allocationFails{false};

// Larger images are refused rather than allocated: no button is that big.
constexpr std::uint64_t kMaxImageBytes = 64u * 1024u * 1024u;

void PutU16(std::uint8_t* at, std::uint16_t v) {
  at[0] = static_cast<std::uint8_t>(v);
  at[1] = static_cast<std::uint8_t>(v >> 8);
}
void PutU32(std::uint8_t* at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

WORD PaletteSize(WORD bitCount) {
  switch (bitCount) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    default: return 0;
  }
}

// What CreateDIBSection reads: the header and then the colour table.
struct InfoWithPalette {
  BITMAPINFOHEADER bmiHeader;
  std::array<RGBQUAD, 256> bmiColors;
};

}  // namespace

void CCeXDib::SetAllocationFailsForTest(bool fail) { g_allocationFails = fail; }

CCeXDib::~CCeXDib() { Release(); }

std::uint8_t* CCeXDib::Create(DWORD width, DWORD height, WORD bitCount) {
  Release();
  const std::uint64_t line = (std::uint64_t{bitCount} * width + 31) / 32 * 4;
  const std::uint64_t image = line * height;
  const WORD colours = PaletteSize(bitCount);
  if (image > kMaxImageBytes || width > 0x7FFFFFFFu || height > 0x7FFFFFFFu || g_allocationFails.load()) {
    return nullptr;
  }
  const std::size_t total = kHeaderSize + std::size_t{colours} * kPaletteEntrySize + static_cast<std::size_t>(image);
  std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[total]());
  if (buffer == nullptr) return nullptr;

  header_ = BITMAPINFOHEADER{};
  header_.biSize = static_cast<DWORD>(kHeaderSize);
  header_.biWidth = static_cast<LONG>(width);
  header_.biHeight = static_cast<LONG>(height);
  header_.biPlanes = 1;
  header_.biBitCount = bitCount;
  header_.biCompression = BI_RGB;
  header_.biSizeImage = static_cast<DWORD>(image);
  lineWidth_ = static_cast<DWORD>(line);
  numColors_ = colours;
  dib_ = std::move(buffer);
  dibSize_ = total;
  WriteHeader();
  return dib_.get();
}

void CCeXDib::WriteHeader() {
  std::uint8_t* at = dib_.get();
  PutU32(at + 0, header_.biSize);
  PutU32(at + 4, static_cast<std::uint32_t>(header_.biWidth));
  PutU32(at + 8, static_cast<std::uint32_t>(header_.biHeight));
  PutU16(at + 12, header_.biPlanes);
  PutU16(at + 14, header_.biBitCount);
  PutU32(at + 16, header_.biCompression);
  PutU32(at + 20, header_.biSizeImage);
  PutU32(at + 24, static_cast<std::uint32_t>(header_.biXPelsPerMeter));
  PutU32(at + 28, static_cast<std::uint32_t>(header_.biYPelsPerMeter));
  PutU32(at + 32, header_.biClrUsed);
  PutU32(at + 36, header_.biClrImportant);
}

void CCeXDib::Clone(const CCeXDib& source) {
  if (&source == this) return;
  if (source.IsEmpty()) {
    Release();
    return;
  }
  if (Create(source.GetWidth(), source.GetHeight(), source.GetBitCount()) == nullptr) return;
  std::copy(source.dib_.get(), source.dib_.get() + source.dibSize_, dib_.get());
}

void CCeXDib::Release() {
  if (memDc_ != 0) DeleteDC(memDc_);
  if (section_ != 0) DeleteObject(section_);
  memDc_ = 0;
  section_ = 0;
  sectionBits_ = nullptr;
  dib_.reset();
  dibSize_ = 0;
  header_ = BITMAPINFOHEADER{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  lineWidth_ = 0;
  numColors_ = 0;
}

RGBQUAD CCeXDib::GetPaletteEntry(std::size_t index) const {
  if (dib_ == nullptr || index >= numColors_) return RGBQUAD{};
  const std::uint8_t* at = dib_.get() + PaletteOffset() + index * kPaletteEntrySize;
  return RGBQUAD{at[0], at[1], at[2], at[3]};
}

void CCeXDib::SetPaletteEntry(std::size_t index, RGBQUAD entry) {
  if (dib_ == nullptr || index >= numColors_) return;
  std::uint8_t* at = dib_.get() + PaletteOffset() + index * kPaletteEntrySize;
  at[0] = entry.rgbBlue;
  at[1] = entry.rgbGreen;
  at[2] = entry.rgbRed;
  at[3] = entry.rgbReserved;
}

std::span<std::uint8_t> CCeXDib::Bits() {
  if (dib_ == nullptr) return {};
  return {dib_.get() + BitsOffset(), header_.biSizeImage};
}

std::span<const std::uint8_t> CCeXDib::Bits() const {
  if (dib_ == nullptr) return {};
  return {dib_.get() + BitsOffset(), header_.biSizeImage};
}

void CCeXDib::SetPixelIndex(DWORD x, DWORD y, BYTE index) {
  if (dib_ == nullptr || header_.biBitCount != 8 || x >= GetWidth() || y >= GetHeight()) return;
  Bits()[std::size_t{y} * lineWidth_ + x] = index;
}

BYTE CCeXDib::GetPixelIndex(DWORD x, DWORD y) const {
  if (dib_ == nullptr || header_.biBitCount != 8 || x >= GetWidth() || y >= GetHeight()) return 0;
  return Bits()[std::size_t{y} * lineWidth_ + x];
}

void CCeXDib::BlendPalette(COLORREF colour, DWORD percent) {
  if (dib_ == nullptr || numColors_ == 0) return;
  const DWORD keep = 100 - std::min<DWORD>(percent, 100);
  const DWORD take = 100 - keep;
  auto blend = [&](BYTE old, BYTE towards) { return static_cast<BYTE>((old * keep + towards * take) / 100); };
  for (std::size_t i = 0; i < numColors_; ++i) {
    RGBQUAD entry = GetPaletteEntry(i);
    entry.rgbBlue = blend(entry.rgbBlue, GetBValue(colour));
    entry.rgbGreen = blend(entry.rgbGreen, GetGValue(colour));
    entry.rgbRed = blend(entry.rgbRed, GetRValue(colour));
    SetPaletteEntry(i, entry);
  }
}

void CCeXDib::Draw(HDC dc, DWORD x, DWORD y) {
  if (dib_ == nullptr) return;
  if (section_ == 0) {
    InfoWithPalette info{};
    info.bmiHeader = header_;
    for (std::size_t i = 0; i < numColors_; ++i) info.bmiColors[i] = GetPaletteEntry(i);
    void* bits = nullptr;
    section_ = CreateDIBSection(dc, reinterpret_cast<const BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0);
    if (section_ != 0 && bits == nullptr) {
      DeleteObject(section_);
      section_ = 0;
    }
    sectionBits_ = bits;
  }
  if (section_ == 0 || sectionBits_ == nullptr) return;
  const std::span<const std::uint8_t> pixels = Bits();
  std::copy(pixels.begin(), pixels.end(), static_cast<std::uint8_t*>(sectionBits_));
  if (memDc_ == 0) memDc_ = CreateCompatibleDC(dc);
  if (memDc_ == 0) return;
  const HGDIOBJ old = SelectObject(memDc_, section_);
  if (old == 0) return;
  BitBlt(dc, static_cast<int>(x), static_cast<int>(y), static_cast<int>(GetWidth()), static_cast<int>(GetHeight()),
         memDc_, 0, 0, SRCCOPY);
  SelectObject(memDc_, old);
}
