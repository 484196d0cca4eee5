#include "uRVUtils.h"

#include <QTextBrowser>
#include <QTextDocument>

const char* const kHelpStyleSheet =
    "body, .normal { font-family: Arial; }\n"
    ".heading { font-family: Arial; font-weight: bold; color: #0000ff; }\n"
    ".subheading { font-family: Arial; font-weight: bold; color: #000080; }\n"
    ".keywords { font-family: Arial; font-style: italic; color: #800000; }\n"
    "a, .jump { font-family: Arial; text-decoration: underline; color: #008000; }\n"
    ".centered { text-align: center; }\n";

void PrepareRichView(QTextBrowser* viewer) {
  viewer->setReadOnly(true);
  viewer->setTextInteractionFlags(Qt::TextBrowserInteraction);
  // A link is an address for the desktop to open; the viewer never shows
  // another page itself.
  viewer->setOpenLinks(false);
  viewer->setOpenExternalLinks(false);
  viewer->document()->setDefaultStyleSheet(QString::fromUtf8(kHelpStyleSheet));
}
