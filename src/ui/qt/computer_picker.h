#pragma once

#include <QDialog>
#include <QString>
#include <memory>

#include "app/computer_search.h"

class QDialogButtonBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace leafward::ui {

// A modal chooser of the database servers found on the network, drawn with Qt Widgets over the
// search session that fills it.
class ComputerPicker : public QDialog, private app::ComputerSearchView {
  Q_OBJECT
 public:
  ComputerPicker(netbrowse::BrowseRequest request, QWidget* owner);
  ~ComputerPicker() override;

  // The name chosen, once the chooser was accepted.
  QString chosen() const;

  QListWidget* list() const { return list_; }

 private:
  void clearNames() override;
  void addName(std::string_view name) override;
  int nameCount() const override;
  void selectName(int index) override;
  std::string chosenName() const override;
  void setStatus(std::string_view text) override;
  void setOkEnabled(bool enabled) override;
  void setSearchAgainEnabled(bool enabled) override;
  void post(std::function<void()> task) override;

  QLabel* status_ = nullptr;
  QListWidget* list_ = nullptr;
  QDialogButtonBox* buttons_ = nullptr;
  QPushButton* again_ = nullptr;
  std::unique_ptr<app::ComputerSearch> search_;
};

}  // namespace leafward::ui
