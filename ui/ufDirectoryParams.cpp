#include "ufDirectoryParams.h"

#include <QGridLayout>
#include <QTextDocument>

#include "uDirectory.h"
#include "uGlobals.h"

namespace {

// Entries keep their line breaks as CR LF; the text field knows only its
// own separators.
QString DescriptionToField(const std::string& description) {
  QString text = QString::fromStdString(description);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return text;
}

std::string FieldToDescription(const QPlainTextEdit* field) {
  // toPlainText() would also turn no-break spaces into plain ones; the raw
  // text keeps every character the user typed.
  QString text = field->document()->toRawText();
  QString result;
  result.reserve(text.size() + text.size() / 8);
  for (QChar c : text) {
    if (c == QChar::ParagraphSeparator || c == QChar::LineSeparator || c == QLatin1Char('\n')) {
      result += QStringLiteral("\r\n");
    } else {
      result += c;
    }
  }
  return result.toStdString();
}

}  // namespace

TfDirectoryParams::TfDirectoryParams(QWidget* parent) : TfSimpleDialog(DialogOwner(parent)) {
  QFont dialogFont = font();
  dialogFont.setPointSize(Globals().FontSize);
  setFont(dialogFont);

  eTitle = new QLineEdit(grp);
  eTitle->setObjectName(QStringLiteral("eTitle"));
  eDesc = new QPlainTextEdit(grp);
  eDesc->setObjectName(QStringLiteral("eDesc"));
  eDesc->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  // Tab moves on to the check box, as in every other field of the dialog.
  eDesc->setTabChangesFocus(true);
  lblTitle = new QLabel(QStringLiteral("Название"), grp);
  lblTitle->setBuddy(eTitle);
  lblDesc = new QLabel(QStringLiteral("Описание"), grp);
  lblDesc->setBuddy(eDesc);
  cbIsFolder = new QCheckBox(QStringLiteral("Папка"), grp);
  cbIsFolder->setObjectName(QStringLiteral("cbIsFolder"));

  auto* layout = new QGridLayout(grp);
  layout->addWidget(lblTitle, 0, 0);
  layout->addWidget(eTitle, 1, 0);
  layout->addWidget(lblDesc, 2, 0);
  layout->addWidget(eDesc, 3, 0);
  layout->addWidget(cbIsFolder, 4, 0, Qt::AlignLeft | Qt::AlignBottom);
  layout->setRowStretch(3, 1);

  setTabOrder(eTitle, eDesc);
  setTabOrder(eDesc, cbIsFolder);
  setTabOrder(cbIsFolder, btnOk);
  setTabOrder(btnOk, btnCancel);

  resize(484, 418);
}

void TfDirectoryParams::LoadData() {
  if (!FDirectory) return;
  const QString title = QString::fromStdString(FDirectory->Title);
  eTitle->setText(title);
  eDesc->setPlainText(DescriptionToField(FDirectory->Description));
  cbIsFolder->setChecked(FDirectory->IsFolder);
  // The caption names the entry as it was when the dialog opened.
  setWindowTitle(QStringLiteral("Реквизиты: ") + title);
  eTitle->setFocus();
}

void TfDirectoryParams::SaveData() {
  if (!FDirectory) return;
  FDirectory->Title = eTitle->text().toStdString();
  FDirectory->Description = FieldToDescription(eDesc);
  FDirectory->IsFolder = cbIsFolder->isChecked();
}
