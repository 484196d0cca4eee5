#pragma once
// Settings shared by the program's help document viewers, and what keeps
// their pages right at every screen scale and colour scheme.

#include <QColor>
#include <QImage>
#include <vector>

class QTextBrowser;
class QTextDocument;

// The named text styles of the help documents, as CSS classes of the
// documents' HTML: "normal", "heading", "subheading", "keywords", "jump"
// (also every <a>), and the paragraph style "centered".
extern const char* const kHelpStyleSheet;

// Makes the viewer a reader of help documents: text can be selected and
// copied, links are reported through anchorClicked and never followed by
// the viewer itself, and the style sheet above lies under the document's
// own styles. Call it before a document is loaded.
void PrepareRichView(QTextBrowser* viewer);

// A background tile drawn for a screen of the given device pixel ratio: its
// pixels are smoothed at that size once, as one tile among its neighbours,
// so the tiles meet without a seam and the painter lays them 1:1.
QImage TileForScale(const QImage& tile, qreal ratio);

// The tile made dark for a dark colour scheme: its pattern kept, softened,
// around the palette's base colour.
QImage DarkTile(const QImage& tile, const QColor& base);

// Gives every piece of text of the document that is not readable on what
// lies behind it (its own background, its paragraph's or table cell's, else
// the page's backgrounds) the nearest colour of its hue that is, aiming at
// kDerivedTextContrast. Text with no colour of its own is taken in
// defaultText.
void MakeTextReadable(QTextDocument* document, const std::vector<QColor>& pageBackgrounds,
                      const QColor& defaultText);
