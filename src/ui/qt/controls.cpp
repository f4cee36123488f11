#include "ui/qt/controls.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>

#include "ui/qt/q_text.h"

namespace leafward::ui {

using app::ControlKind;

void designWindow(QWidget& window, const app::WindowDesign& design) {
  window.setObjectName(qText(design.name));
  window.setWindowTitle(qText(design.caption));
  window.setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                        Qt::WindowCloseButtonHint);
  window.setFixedSize(app::pixels(design.clientWidth), app::pixels(design.clientHeight));
}

QRect pixelRect(const app::Twips& place) {
  return QRect(app::pixels(place.left), app::pixels(place.top), app::pixels(place.width),
               app::pixels(place.height));
}

QWidget* makeControl(const app::ControlDesign& design, QWidget* parent) {
  const QString caption = qText(design.caption);
  switch (design.kind) {
    case ControlKind::Label:
      return new QLabel(caption, parent);
    case ControlKind::TextBox:
      return new QLineEdit(caption, parent);
    case ControlKind::PasswordBox: {
      auto* box = new QLineEdit(caption, parent);
      box->setEchoMode(QLineEdit::Password);
      box->setStyleSheet(
          QStringLiteral("lineedit-password-character: %1;").arg(int(app::kPasswordCharacter)));
      box->setAttribute(Qt::WA_InputMethodEnabled, false);
      box->setInputMethodHints(Qt::ImhHiddenText | Qt::ImhSensitiveData | Qt::ImhNoPredictiveText |
                               Qt::ImhNoAutoUppercase);
      return box;
    }
    case ControlKind::Button:
      return new QPushButton(caption, parent);
    case ControlKind::ComboBox: {
      auto* box = new QComboBox(parent);
      box->setEditable(true);
      // Enter in the box belongs to the dialog and must not add the typed text to the list.
      box->setInsertPolicy(QComboBox::NoInsert);
      return box;
    }
    case ControlKind::ChoiceBox:
      return new QComboBox(parent);
    case ControlKind::ListView:
      return new QTableView(parent);
  }
  return nullptr;
}

std::vector<QWidget*> makeControls(std::span<const app::ControlDesign> designs, QWidget* parent) {
  std::vector<QWidget*> made;
  QWidget* previous = nullptr;
  for (const app::ControlDesign& design : designs) {
    QWidget* control = makeControl(design, parent);
    control->setObjectName(
        QString::fromUtf8(design.name.data(), static_cast<qsizetype>(design.name.size())));
    control->setGeometry(pixelRect(design.place));
    made.push_back(control);
    if (design.kind == ControlKind::Label) continue;
    if (previous) QWidget::setTabOrder(previous, control);
    previous = control;
  }
  return made;
}

}  // namespace leafward::ui
