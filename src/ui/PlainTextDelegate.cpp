#include "ui/PlainTextDelegate.h"

#include <QGlyphRun>
#include <QPainter>
#include <QTextLayout>

namespace tessaro {
namespace {

constexpr int kTextMargin = 3;

bool Selected(const QStyleOptionViewItem& option) { return (option.state & QStyle::State_Selected) != 0; }

// Qt's own layout of a text that is not all Latin-1, in one line from the
// cell's text margin.
void LayOutLine(QTextLayout& layout, const QStyleOptionViewItem& option) {
  layout.setFont(option.font);
  layout.beginLayout();
  QTextLine line = layout.createLine();
  if (line.isValid()) {
    line.setLeadingIncluded(false);
    line.setPosition(QPointF(0, 0));
  }
  layout.endLayout();
}

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

const TPlainTextDelegate::TGlyphs* TPlainTextDelegate::LatinGlyphs(const QFont& font, const QString& text) const {
  const TGlyphs* glyphs = GlyphsFor(font);
  for (const QChar c : text)
    if (c.unicode() >= 256) return nullptr;
  return glyphs;
}

QList<qreal> TPlainTextDelegate::TextEdges(const QStyleOptionViewItem& option, const QString& text) const {
  QList<qreal> edges;
  edges.reserve(text.size() + 1);
  const qreal left = option.rect.left() + kTextMargin;
  if (const TGlyphs* glyphs = LatinGlyphs(option.font, text)) {
    qreal x = left;
    edges.append(x);
    for (const QChar ch : text) {
      x += glyphs->advance[static_cast<size_t>(ch.unicode())];
      edges.append(x);
    }
    return edges;
  }
  QTextLayout layout(text);
  LayOutLine(layout, option);
  const QTextLine line = layout.lineAt(0);
  for (int i = 0; i <= text.size(); ++i) edges.append(left + (line.isValid() ? line.cursorToX(i) : 0));
  return edges;
}

void TPlainTextDelegate::PaintText(QPainter* painter, const QStyleOptionViewItem& option, const QString& text) const {
  if (text.isEmpty()) return;
  painter->save();
  painter->setClipRect(option.rect.adjusted(0, 0, -1, 0));
  painter->setPen(option.palette.color(Selected(option) ? QPalette::HighlightedText : QPalette::Text));
  if (const TGlyphs* glyphs = LatinGlyphs(option.font, text)) {
    const QList<qreal> edges = TextEdges(option, text);
    QList<quint32> indexes;
    QList<QPointF> positions;
    indexes.reserve(text.size());
    positions.reserve(text.size());
    const qreal baseline =
        option.rect.top() + (option.rect.height() + glyphs->raw.ascent() - glyphs->raw.descent()) / 2;
    for (qsizetype i = 0; i < text.size(); ++i) {
      const auto c = static_cast<size_t>(text[i].unicode());
      // A blank has no ink: it only moves the pen (a third of a hex line is blanks).
      if (c == ' ') continue;
      indexes.append(glyphs->index[c]);
      positions.append(QPointF(edges[i], baseline));
    }
    QGlyphRun run;
    run.setRawFont(glyphs->raw);
    run.setGlyphIndexes(indexes);
    run.setPositions(positions);
    painter->drawGlyphRun(QPointF(0, 0), run);
  } else {
    QTextLayout layout(text);
    LayOutLine(layout, option);
    const qreal top = option.rect.top() + (option.rect.height() - layout.boundingRect().height()) / 2;
    layout.draw(painter, QPointF(option.rect.left() + kTextMargin, top));
  }
  painter->restore();
}

void TPlainTextDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
  PaintBackground(painter, option);
  PaintText(painter, option, index.data(Qt::DisplayRole).toString());
}

}  // namespace tessaro
