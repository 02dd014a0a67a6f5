#include "win/text.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

#include "win/codepage.h"
#include "win/pixel_surface.h"
#include "win/qt_app.h"
#include "win/text_render.h"

namespace win::detail {

namespace {

const LOGFONTA& FontOf(GdiTable& t, const DcObject& d) {
  if (const FontObject* f = Find<FontObject>(t, d.state.font)) return f->log;
  return Find<FontObject>(t, StockObject(t, SYSTEM_FONT))->log;
}

struct Line {
  QString text;
  int underline = -1;  // index of the character the prefix marks
};

// '&' marks the next character (underlined); "&&" is one '&'.
Line StripPrefixes(const QString& text) {
  Line line;
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] == u'&' && i + 1 < text.size()) {
      ++i;
      if (text[i] != u'&') line.underline = static_cast<int>(line.text.size());
    }
    line.text += text[i];
  }
  return line;
}

QString ExpandTabs(const QString& text, const QFontMetrics& fm) {
  if (!text.contains(u'\t')) return text;
  const int stop = std::max(8 * fm.averageCharWidth(), 1);
  QString out;
  for (const QChar c : text) {
    if (c != u'\t') {
      out += c;
      continue;
    }
    const int next = (fm.horizontalAdvance(out) / stop + 1) * stop;
    do out += u' ';
    while (fm.horizontalAdvance(out) < next);
  }
  return out;
}

// Greedy word wrap: breaks at spaces; a word wider than the width keeps a
// line of its own. The underline index follows its character.
std::vector<Line> Wrap(const Line& paragraph, int width, const QFontMetrics& fm) {
  std::vector<Line> lines;
  const QString& text = paragraph.text;
  qsizetype start = 0;
  while (true) {
    qsizetype end = start;  // the line is text[start, end)
    qsizetype scan = start;
    while (scan < text.size()) {
      qsizetype wordEnd = scan;
      while (wordEnd < text.size() && text[wordEnd] == u' ') ++wordEnd;
      while (wordEnd < text.size() && text[wordEnd] != u' ') ++wordEnd;
      if (end > start && fm.horizontalAdvance(text.mid(start, wordEnd - start)) > width) break;
      end = wordEnd;
      scan = wordEnd;
    }
    Line line;
    line.text = text.mid(start, end - start);
    while (line.text.endsWith(u' ')) line.text.chop(1);
    if (paragraph.underline >= start && paragraph.underline < start + line.text.size())
      line.underline = static_cast<int>(paragraph.underline - start);
    lines.push_back(line);
    start = end;
    while (start < text.size() && text[start] == u' ') ++start;
    if (start >= text.size()) break;
  }
  return lines;
}

void Ellipsize(Line& line, int width, const QFontMetrics& fm) {
  if (fm.horizontalAdvance(line.text) <= width) return;
  const QString dots = QStringLiteral("...");
  QString kept = line.text;
  while (!kept.isEmpty() && fm.horizontalAdvance(kept + dots) > width) kept.chop(1);
  line.text = kept + dots;
  if (line.underline >= kept.size()) line.underline = -1;
}

// One line with its top-left corner at device (x, y): the cell filled in the
// background colour when the DC is opaque, the glyphs in the colour.
void DrawLine(SurfaceView& view, const RECT& clip, const DcState& state, const QFont& font, const Line& line, int x,
              int y, COLORREF colour) {
  const QFontMetrics fm(font);
  const int width = fm.horizontalAdvance(line.text);
  const int height = fm.ascent() + fm.descent();
  if (state.bkMode == OPAQUE) {
    const RECT cell = Intersect(RECT{x, y, x + width, y + height}, clip);
    for (int py = cell.top; py < cell.bottom; ++py)
      for (int px = cell.left; px < cell.right; ++px) view.Set(px, py, state.bkColour);
  }
  if (line.text.isEmpty()) return;
  // Glyphs may reach a little beyond their advance (italic, overhangs).
  const int margin = std::max(2, font.pixelSize() / 2);
  QImage mask(width + 2 * margin, height + 2, QImage::Format_ARGB32);
  if (mask.isNull()) return;
  mask.fill(Qt::transparent);
  {
    QPainter p(&mask);
    p.setRenderHint(QPainter::TextAntialiasing, false);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setFont(font);
    p.setPen(Qt::black);
    p.drawText(margin, fm.ascent(), line.text);
    if (line.underline >= 0) {
      const int from = fm.horizontalAdvance(line.text.left(line.underline));
      const int to = fm.horizontalAdvance(line.text.left(line.underline + 1));
      p.fillRect(margin + from, fm.ascent() + 1, std::max(to - from, 1), 1, Qt::black);
    }
  }
  for (int my = 0; my < mask.height(); ++my) {
    const auto* row = reinterpret_cast<const QRgb*>(mask.constScanLine(my));
    for (int mx = 0; mx < mask.width(); ++mx) {
      if (qAlpha(row[mx]) < 128) continue;
      const int px = x + mx - margin, py = y + my;
      if (px >= clip.left && py >= clip.top && px < clip.right && py < clip.bottom) view.Set(px, py, colour);
    }
  }
}

}  // namespace

QString FromAnsi(const char* text, int count) {
  if (text == nullptr) return {};
  const std::size_t length = count < 0 ? std::strlen(text) : static_cast<std::size_t>(count);
  return QString::fromStdString(Cp1252ToUtf8(std::string_view(text, length)));
}

int LayOutAndDraw(GdiTable& table, DcObject& dc, const QString& text, RECT& rect, UINT format) {
  const QFont font = MakeQFont(FontOf(table, dc));
  const QFontMetrics fm(font);
  const int lineHeight = fm.ascent() + fm.descent() + ((format & DT_EXTERNALLEADING) != 0 ? std::max(fm.leading(), 0) : 0);
  const int boxWidth = rect.right - rect.left;

  std::vector<Line> lines;
  const bool single = (format & DT_SINGLELINE) != 0;
  QStringList paragraphs;
  if (single) {
    QString joined = text;
    joined.replace(QStringLiteral("\r\n"), QStringLiteral(" ")).replace(u'\n', u' ').replace(u'\r', u' ');
    paragraphs << joined;
  } else {
    QString normal = text;
    normal.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    paragraphs = normal.split(u'\n');
  }
  for (const QString& paragraph : paragraphs) {
    Line line = (format & DT_NOPREFIX) != 0 ? Line{paragraph, -1} : StripPrefixes(paragraph);
    if ((format & DT_HIDEPREFIX) != 0) line.underline = -1;
    if ((format & DT_EXPANDTABS) != 0) line.text = ExpandTabs(line.text, fm);
    if ((format & DT_WORDBREAK) != 0 && !single) {
      for (Line& wrapped : Wrap(line, boxWidth, fm)) lines.push_back(std::move(wrapped));
    } else {
      lines.push_back(std::move(line));
    }
  }
  if ((format & DT_END_ELLIPSIS) != 0)
    for (Line& line : lines) Ellipsize(line, boxWidth, fm);

  int widest = 0;
  for (const Line& line : lines) widest = std::max(widest, fm.horizontalAdvance(line.text));
  const int height = static_cast<int>(lines.size()) * lineHeight;
  if ((format & DT_CALCRECT) != 0) {
    rect.right = rect.left + widest;
    rect.bottom = rect.top + height;
    return height;
  }

  SurfaceView view = ViewOf(table, dc);
  if (!view.Valid()) return 0;
  RECT clip = ClipOf(table, dc);
  const RECT box = ToDevice(dc.state, rect);
  if ((format & DT_NOCLIP) == 0) clip = Intersect(clip, box);
  int y = box.top;
  if (single && (format & DT_VCENTER) != 0) y = box.top + (box.bottom - box.top - lineHeight) / 2;
  if (single && (format & DT_BOTTOM) != 0) y = box.bottom - lineHeight;
  for (const Line& line : lines) {
    const int w = fm.horizontalAdvance(line.text);
    int x = box.left;
    if ((format & DT_CENTER) != 0) x = box.left + (box.right - box.left - w) / 2;
    if ((format & DT_RIGHT) != 0) x = box.right - w;
    DrawLine(view, clip, dc.state, font, line, x, y, dc.state.textColour);
    y += lineHeight;
  }
  return height;
}

}  // namespace win::detail

using namespace win::detail;

namespace {

template <class F>
auto WithTextDc(HDC dc, F&& f, decltype(f(std::declval<GdiTable&>(), std::declval<DcObject&>())) failed) {
  EnsureQtApplication();  // before the table's lock: Qt may take a while the first time
  auto& t = Table();
  std::lock_guard lock(t.mutex);
  DcObject* d = Find<DcObject>(t, dc);
  if (d == nullptr) return failed;
  return f(t, *d);
}

QString FromWide(const wchar_t* text, int count) {
  if (text == nullptr) return {};
  const std::size_t length = count < 0 ? std::wcslen(text) : static_cast<std::size_t>(count);
  return QString::fromWCharArray(text, static_cast<qsizetype>(length));
}

BOOL Extent(HDC dc, const QString& text, SIZE* size) {
  if (size == nullptr) return FALSE;
  return WithTextDc(
      dc,
      [&](GdiTable& t, DcObject& d) -> BOOL {
        const QFontMetrics fm(MakeQFont(FontOf(t, d)));
        *size = SIZE{fm.horizontalAdvance(text), fm.ascent() + fm.descent()};
        return TRUE;
      },
      FALSE);
}

}  // namespace

int DrawTextA(HDC dc, const char* text, int count, RECT* rect, UINT format) {
  if (text == nullptr || rect == nullptr) return 0;
  const QString q = FromAnsi(text, count);
  return WithTextDc(dc, [&](GdiTable& t, DcObject& d) { return LayOutAndDraw(t, d, q, *rect, format); }, 0);
}

int DrawTextW(HDC dc, const wchar_t* text, int count, RECT* rect, UINT format) {
  if (text == nullptr || rect == nullptr) return 0;
  const QString q = FromWide(text, count);
  return WithTextDc(dc, [&](GdiTable& t, DcObject& d) { return LayOutAndDraw(t, d, q, *rect, format); }, 0);
}

BOOL TextOutA(HDC dc, int x, int y, const char* text, int count) {
  if (text == nullptr || count < 0) return FALSE;
  const QString q = FromAnsi(text, count);
  return WithTextDc(
      dc,
      [&](GdiTable& t, DcObject& d) -> BOOL {
        SurfaceView view = ViewOf(t, d);
        if (!view.Valid()) return FALSE;
        const POINT at = ToDevice(d.state, x, y);
        DrawLine(view, ClipOf(t, d), d.state, MakeQFont(FontOf(t, d)), Line{q, -1}, at.x, at.y, d.state.textColour);
        return TRUE;
      },
      FALSE);
}

BOOL GetTextExtentPoint32A(HDC dc, const char* text, int count, SIZE* size) {
  if (text == nullptr || count < 0) return FALSE;
  return Extent(dc, FromAnsi(text, count), size);
}

BOOL GetTextExtentPoint32W(HDC dc, const wchar_t* text, int count, SIZE* size) {
  if (text == nullptr || count < 0) return FALSE;
  return Extent(dc, FromWide(text, count), size);
}

BOOL GetTextMetricsA(HDC dc, TEXTMETRICA* metrics) {
  if (metrics == nullptr) return FALSE;
  return WithTextDc(
      dc,
      [&](GdiTable& t, DcObject& d) -> BOOL {
        const LOGFONTA& log = FontOf(t, d);
        const QFont font = MakeQFont(log);
        const QFontMetrics fm(font);
        TEXTMETRICA m;
        m.tmAscent = fm.ascent();
        m.tmDescent = fm.descent();
        m.tmHeight = m.tmAscent + m.tmDescent;
        m.tmInternalLeading = std::max(m.tmHeight - font.pixelSize(), 0);
        m.tmExternalLeading = std::max(fm.leading(), 0);
        m.tmAveCharWidth = fm.averageCharWidth();
        m.tmMaxCharWidth = fm.maxWidth();
        m.tmWeight = log.lfWeight == 0 ? FW_NORMAL : log.lfWeight;
        m.tmDigitizedAspectX = 96;
        m.tmDigitizedAspectY = 96;
        m.tmFirstChar = 0x20;
        m.tmLastChar = 0xFF;
        m.tmDefaultChar = 0x1F;
        m.tmBreakChar = 0x20;
        m.tmItalic = log.lfItalic;
        m.tmUnderlined = log.lfUnderline;
        m.tmStruckOut = log.lfStrikeOut;
        m.tmPitchAndFamily = 0x06 | 0x01 | FF_SWISS;  // TrueType vector, variable pitch
        m.tmCharSet = ANSI_CHARSET;
        *metrics = m;
        return TRUE;
      },
      FALSE);
}
