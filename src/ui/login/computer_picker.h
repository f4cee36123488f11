#pragma once

#include <QDialog>
#include <QString>
#include <thread>

#include "netbrowse/sql_browser.h"

class QDialogButtonBox;
class QLabel;
class QListWidget;

namespace leafward::ui {

// A modal chooser of the database servers found on the network. The search runs in the
// background, so the chooser answers at once and fills its list as answers arrive.
class ComputerPicker : public QDialog {
  Q_OBJECT
 public:
  ComputerPicker(netbrowse::BrowseRequest request, QWidget* owner);
  ~ComputerPicker() override;

  // The name chosen, once the chooser was accepted.
  QString chosen() const;

  QListWidget* list() const { return list_; }
  QLabel* status() const { return status_; }
  // True while the search runs.
  bool searching() const { return searching_; }

 private:
  void search();
  void addName(const QString& name);
  void searchEnded(const QString& failure);
  void updateButtons();

  netbrowse::BrowseRequest request_;
  QLabel* status_ = nullptr;
  QListWidget* list_ = nullptr;
  QDialogButtonBox* buttons_ = nullptr;
  bool searching_ = false;
  std::jthread worker_;
};

}  // namespace leafward::ui
