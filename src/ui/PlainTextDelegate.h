// A delegate that paints an item's text in one line, clipped to its cell, on
// the selection colour when selected. Texts of Latin-1 characters (every text
// the list, the tree and the hex view show) are drawn as glyph runs from a
// per-character table, without the shaping and eliding of the styled
// delegate, which made a repaint of the packet list take milliseconds. Those
// views repaint on every key.
#pragma once

#include <QFont>
#include <QRawFont>
#include <QStyledItemDelegate>

#include <array>

namespace tessaro {

class TPlainTextDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

  // The background and the text, for delegates that paint more in between.
  static void PaintBackground(QPainter* painter, const QStyleOptionViewItem& option);
  void PaintText(QPainter* painter, const QStyleOptionViewItem& option, const QString& text) const;
  // Where PaintText puts the characters of text: the left edge of each, then
  // the right edge of the last (text.size() + 1 values). Marks drawn behind a
  // text take their places from here, so they lie on the glyphs.
  QList<qreal> TextEdges(const QStyleOptionViewItem& option, const QString& text) const;

 private:
  // The glyph and advance of every Latin-1 character in the font.
  struct TGlyphs {
    QFont font;
    QRawFont raw;
    std::array<quint32, 256> index{};
    std::array<qreal, 256> advance{};
  };
  const TGlyphs* GlyphsFor(const QFont& font) const;
  // The glyph table when every character of text is in it, else null (the
  // text is then laid out by Qt's text layout).
  const TGlyphs* LatinGlyphs(const QFont& font, const QString& text) const;

  mutable TGlyphs glyphs_;
  mutable bool haveGlyphs_ = false;
};

}  // namespace tessaro
