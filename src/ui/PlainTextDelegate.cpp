#include "ui/PlainTextDelegate.h"

#include <QGlyphRun>
#include <QPainter>

namespace tessaro {
namespace {

constexpr int kTextMargin = 3;

bool Selected(const QStyleOptionViewItem& option) { return (option.state & QStyle::State_Selected) != 0; }

}  // namespace

void TPlainTextDelegate::PaintBackground(QPainter* painter, const QStyleOptionViewItem& option) {
  if (Selected(option)) painter->fillRect(option.rect, option.palette.brush(QPalette::Highlight));
}

const TPlainTextDelegate::TGlyphs* TPlainTextDelegate::GlyphsFor(const QFont& font) const {
  if (haveGlyphs_ && glyphs_.font == font) return glyphs_.raw.isValid() ? &glyphs_ : nullptr;
  haveGlyphs_ = true;
  glyphs_.font = font;
  glyphs_.raw = QRawFont::fromFont(font);
  if (!glyphs_.raw.isValid()) return nullptr;
  QString all;
  for (int c = 0; c < 256; ++c) all += QChar(c);
  const QList<quint32> indexes = glyphs_.raw.glyphIndexesForString(all);
  if (indexes.size() != 256) {
    glyphs_.raw = QRawFont();
    return nullptr;
  }
  const QList<QPointF> advances = glyphs_.raw.advancesForGlyphIndexes(indexes);
  for (int c = 0; c < 256; ++c) {
    glyphs_.index[static_cast<size_t>(c)] = indexes[c];
    glyphs_.advance[static_cast<size_t>(c)] = advances[c].x();
  }
  return &glyphs_;
}

void TPlainTextDelegate::PaintText(QPainter* painter, const QStyleOptionViewItem& option, const QString& text) const {
  if (text.isEmpty()) return;
  painter->save();
  painter->setClipRect(option.rect.adjusted(0, 0, -1, 0));
  painter->setPen(option.palette.color(Selected(option) ? QPalette::HighlightedText : QPalette::Text));
  const TGlyphs* glyphs = GlyphsFor(option.font);
  bool latin1 = glyphs != nullptr;
  for (const QChar c : text) latin1 = latin1 && c.unicode() < 256;
  if (latin1) {
    QList<quint32> indexes;
    QList<QPointF> positions;
    indexes.reserve(text.size());
    positions.reserve(text.size());
    const qreal baseline =
        option.rect.top() + (option.rect.height() + glyphs->raw.ascent() - glyphs->raw.descent()) / 2;
    qreal x = option.rect.left() + kTextMargin;
    for (const QChar ch : text) {
      const auto c = static_cast<size_t>(ch.unicode());
      // A blank has no ink: it only moves the pen (a third of a hex line is blanks).
      if (c != ' ') {
        indexes.append(glyphs->index[c]);
        positions.append(QPointF(x, baseline));
      }
      x += glyphs->advance[c];
    }
    QGlyphRun run;
    run.setRawFont(glyphs->raw);
    run.setGlyphIndexes(indexes);
    run.setPositions(positions);
    painter->drawGlyphRun(QPointF(0, 0), run);
  } else {
    painter->setFont(option.font);
    painter->drawText(option.rect.adjusted(kTextMargin, 0, -kTextMargin, 0), Qt::AlignLeft | Qt::AlignVCenter, text);
  }
  painter->restore();
}

void TPlainTextDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
  PaintBackground(painter, option);
  PaintText(painter, option, index.data(Qt::DisplayRole).toString());
}

}  // namespace tessaro
