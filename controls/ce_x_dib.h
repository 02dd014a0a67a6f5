// A device-independent bitmap held in one buffer: its header, its palette and
// its pixel rows (bottom-up, each padded to 4 bytes). It draws through a DIB
// section and a memory DC made on its first Draw and kept until Release.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "win/gdi.h"

class CCeXDib {
 public:
  static constexpr std::size_t kHeaderSize = 40;
  static constexpr std::size_t kPaletteEntrySize = 4;

  CCeXDib() = default;
  virtual ~CCeXDib();
  CCeXDib(const CCeXDib&) = delete;
  CCeXDib& operator=(const CCeXDib&) = delete;

  // Releases what the image held and makes a new one, its pixels and palette
  // zero; the buffer, or null (the image stays empty) when it cannot be had.
  std::uint8_t* Create(DWORD width, DWORD height, WORD bitCount);
  // Becomes a copy of `source` (header, palette and pixels); empty when the
  // source is or the copy cannot be allocated.
  void Clone(const CCeXDib& source);
  void Release();
  // Each palette entry moves `percent` of the way toward the colour.
  void BlendPalette(COLORREF colour, DWORD percent);
  // Nothing is drawn by an empty image or when its section cannot be made.
  void Draw(HDC dc, DWORD x, DWORD y);

  bool IsEmpty() const { return dib_ == nullptr; }
  DWORD GetWidth() const { return static_cast<DWORD>(header_.biWidth); }
  DWORD GetHeight() const { return static_cast<DWORD>(header_.biHeight); }
  WORD GetBitCount() const { return header_.biBitCount; }
  DWORD GetLineWidth() const { return lineWidth_; }
  WORD GetNumColors() const { return numColors_; }
  DWORD GetImageSize() const { return header_.biSizeImage; }
  const BITMAPINFOHEADER& Header() const { return header_; }
  // The buffer as laid out: header, palette, pixels (empty for an empty image).
  std::span<const std::uint8_t> Buffer() const { return {dib_.get(), dibSize_}; }

  RGBQUAD GetPaletteEntry(std::size_t index) const;
  void SetPaletteEntry(std::size_t index, RGBQUAD entry);
  // Rows are stored rows: 0 is the bottom one.
  std::span<std::uint8_t> Bits();
  std::span<const std::uint8_t> Bits() const;
  // 8 bits per pixel: the palette index at (x, stored row y); out of range is ignored (0).
  void SetPixelIndex(DWORD x, DWORD y, BYTE index);
  BYTE GetPixelIndex(DWORD x, DWORD y) const;

  // Tests: every later Create fails as an allocation would.
  static void SetAllocationFailsForTest(bool fail);

 private:
  std::size_t PaletteOffset() const { return kHeaderSize; }
  std::size_t BitsOffset() const { return kHeaderSize + std::size_t{numColors_} * kPaletteEntrySize; }
  void WriteHeader();

  std::unique_ptr<std::uint8_t[]> dib_;
  std::size_t dibSize_ = 0;
  BITMAPINFOHEADER header_{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  DWORD lineWidth_ = 0;
  WORD numColors_ = 0;
  HBITMAP section_ = 0;
  void* sectionBits_ = nullptr;
  HDC memDc_ = 0;
};
