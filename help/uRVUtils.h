#pragma once
// Settings shared by the program's help document viewers.

class QTextBrowser;

// The named text styles of the help documents, as CSS classes of the
// documents' HTML: "normal", "heading", "subheading", "keywords", "jump"
// (also every <a>), and the paragraph style "centered".
extern const char* const kHelpStyleSheet;

// Makes the viewer a reader of help documents: text can be selected and
// copied, links are reported through anchorClicked and never followed by
// the viewer itself, and the style sheet above lies under the document's
// own styles. Call it before a document is loaded.
void PrepareRichView(QTextBrowser* viewer);
