// The main window's filter and presentation: row texts, tooltips, fonts,
// stripes, heights, the two display toggles and the font size.

#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QToolBar>
#include <QToolButton>

#include "uGlobals.h"
#include "uThemeColors.h"
#include "uSpTBXUtils.h"
#include "uVTVUtils.h"
#include "ufDirectory.h"

namespace {

// The characters the filter takes: printable ASCII and the basic Cyrillic
// letters А..я (Ё and ё are not among them).
bool IsFilterCharacter(QChar c) {
  char16_t code = c.unicode();
  return (code >= 0x20 && code <= 0x7E) || (code >= 0x0410 && code <= 0x044F);
}

QString TrimControls(const QString& text) {
  qsizetype first = 0;
  qsizetype last = text.size();
  while (first < last && text[first].unicode() <= 32) ++first;
  while (last > first && text[last - 1].unicode() <= 32) --last;
  return text.mid(first, last - first);
}

}  // namespace

// --- the filter -------------------------------------------------------------------

void TfDirectory::vstKeyPress(QChar character) {
  char16_t code = character.unicode();
  if (code == 8) {
    FFilter.chop(1);
  } else if (code == 27) {
    ClearFilter();
    UpdateLabels();
    ActionListUpdate();
    return;
  } else if (IsFilterCharacter(character)) {
    FFilter += character;
  } else {
    return;
  }
  ApplyFilter(FFilter);
  UpdateLabels();
  ActionListUpdate();
}

void TfDirectory::ApplyFilter(const QString& text) {
  vst->BeginUpdate();
  try {
    const QString wanted = text.toUpper();
    bool focused = false;
    for (int row = vst->FirstNode(); row != kNoNode; row = vst->NextNode(row)) {
      TDirectory* entry = TVTV::GetNodeObject(vst, row);
      if (entry && entry->IsUpRow()) {
        vst->SetVisibleNode(row, true);
        continue;
      }
      bool matches = wanted.isEmpty() || vstGetText(row).toUpper().contains(wanted);
      if (matches && !focused && !wanted.isEmpty()) {
        TVTV::SelectNode(vst, row);
        focused = true;
      }
      vst->SetVisibleNode(row, matches);
    }
  } catch (...) {
    vst->EndUpdate();
    throw;
  }
  vst->EndUpdate();
}

void TfDirectory::ClearFilter() {
  FFilter.clear();
  ApplyFilter(FFilter);
}

// --- rows ---------------------------------------------------------------------------

QString TfDirectory::vstGetText(int row) const {
  const TDirectory* entry = TVTV::GetNodeObject(vst, row);
  if (!entry) return {};
  QString text = QString::fromStdString(entry->Title);
  if (entry->IsFolder && !entry->IsUpRow()) text += QStringLiteral(" (%1)").arg(entry->Childs);
  return text;
}

QString TfDirectory::vstGetHint(int row) const {
  const TDirectory* entry = TVTV::GetNodeObject(vst, row);
  if (!entry) return {};
  return TrimControls(QString::fromStdString(entry->Title + "\r\n" + entry->Description));
}

void TfDirectory::vstPaintText(int row, QFont& font) const {
  const TDirectory* entry = TVTV::GetNodeObject(vst, row);
  font.setBold(entry && entry->IsFolder);
}

void TfDirectory::vstBeforeCellPaint(QPainter* painter, int row, const QRect& cellRect) const {
  const TThemeColors colors = ThemeColors(palette());
  painter->fillRect(cellRect, vst->AbsoluteIndex(row) % 2 == 1 ? colors.Stripe : colors.Row);
  painter->setPen(palette().color(QPalette::Button));
  painter->drawLine(cellRect.topLeft(), cellRect.topRight());
}

int TfDirectory::vstMeasureItem(int row) const {
  return std::max(vst->ComputeNodeHeight(row) + 4, vst->DefaultNodeHeight());
}

void TfDirectory::vstInitNode(int row) { vst->SetMultiLine(row, Globals().DirectoryWordWrap); }

// --- display toggles ------------------------------------------------------------------

void TfDirectory::actWordWrapExecute() {
  Globals().DirectoryWordWrap = Action(TDirectoryAction::WordWrap)->isChecked();
  vst->SetVariableNodeHeight(Globals().DirectoryWordWrap);
  vst->ReinitializeNodes();
  if (!Globals().DirectoryWordWrap) TVTV::SetNodesHeight(vst, vst->DefaultNodeHeight());
  vst->viewport()->update();
}

void TfDirectory::actShowButtonCaptionsExecute() {
  Globals().ShowButtonCaptions = Action(TDirectoryAction::ShowButtonCaptions)->isChecked();
  tb->setToolButtonStyle(Globals().ShowButtonCaptions ? Qt::ToolButtonTextUnderIcon : Qt::ToolButtonIconOnly);
}

// --- font size ---------------------------------------------------------------------------

void TfDirectory::ApplyFontSize() {
  const int size = Globals().FontSize;
  QFont windowFont = font();
  windowFont.setPointSize(size > 0 ? size : 1);
  setFont(windowFont);
  vst->setFont(windowFont);
  vst->header()->setFont(windowFont);
  // From the size asked for, not the one the font matched: a 10-point font
  // drawn at 9.75 points still means rows of 25 pixels.
  vst->SetDefaultNodeHeight(vst->font().pointSize() * 20 / 8);
  TVTV::SetNodesHeight(vst, vst->DefaultNodeHeight());
  SetItemsFontSize(this, size);
  // The chain bar is no toolbar, yet its label is a bar item as well.
  for (QWidget* item : FChainBar->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
    SetItemFontSize(item, ItemFontScale(size));
  // Every toolbar item stays in view at the chosen font size, but the window
  // never grows past the screen.
  int wanted = std::max(width(), tb->sizeHint().width());
  if (const QScreen* shown = screen()) wanted = std::min(wanted, shown->availableGeometry().width());
  resize(wanted, height());
}
