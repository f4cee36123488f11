#pragma once

#include <QPlainTextEdit>

class QMimeData;
#include <string>

namespace leafward::ui {

// The result box. It holds the report as UTF-8 text with CR LF between lines: reading it back
// gives exactly the text last written, so that dropping the last character removes what was
// just written. Once the user types into it, reading gives what the box shows, each line
// break as CR LF.
class ResultBox : public QPlainTextEdit {
  Q_OBJECT
 public:
  explicit ResultBox(QWidget* parent = nullptr);

  std::string text() const;
  void setText(std::string text);

 signals:
  // Files (links) were dropped onto the box: they are the window's to open, not text to insert.
  void filesDropped(const QMimeData& data);

 protected:
  bool canInsertFromMimeData(const QMimeData* source) const override;
  void insertFromMimeData(const QMimeData* source) override;

 private:
  std::string written_;
  bool edited_ = false;
};

}  // namespace leafward::ui
