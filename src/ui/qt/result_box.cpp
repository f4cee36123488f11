#include "ui/qt/result_box.h"

#include <QMimeData>
#include <QTextDocument>

namespace leafward::ui {

ResultBox::ResultBox(QWidget* parent) : QPlainTextEdit(parent) {
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setLineWrapMode(QPlainTextEdit::WidgetWidth);
  // A code list is one long run without spaces. Breaking it at the edge, as a plain edit box
  // does, keeps the layout linear; looking for word boundaries in it would not.
  setWordWrapMode(QTextOption::WrapAnywhere);
  setTabChangesFocus(false);
  connect(document(), &QTextDocument::contentsChanged, this, [this] { edited_ = true; });
}

std::string ResultBox::text() const {
  if (!edited_) return written_;
  QString shown = document()->toRawText();
  shown.replace(QChar::ParagraphSeparator, QLatin1String("\r\n"));
  shown.replace(QChar::LineSeparator, QLatin1String("\r\n"));
  return shown.toStdString();
}

bool ResultBox::canInsertFromMimeData(const QMimeData* source) const {
  return source->hasUrls() || QPlainTextEdit::canInsertFromMimeData(source);
}

void ResultBox::insertFromMimeData(const QMimeData* source) {
  if (source->hasUrls()) {
    emit filesDropped(*source);
  } else {
    QPlainTextEdit::insertFromMimeData(source);
  }
}

void ResultBox::setText(std::string text) {
  QString shown = QString::fromStdString(text);
  shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  setPlainText(shown);
  written_ = std::move(text);
  edited_ = false;
}

}  // namespace leafward::ui
