// The conversion window "Konvertálás": the source directory and its text
// files on the left, the page with the run's label, bars and buttons on the
// right.
#pragma once

#include <QWidget>
#include <string>

#include "convert/convert_context.h"
#include "convert/konvert.h"
#include "convert/konvert_view.h"
#include "ui/konvert_layout.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QToolButton;

namespace moltaro::ui {

class TkonvertView : public QWidget, public convert::KonvertView, public convert::MessageSink {
 public:
  explicit TkonvertView(QWidget* parent = nullptr, KonvertLayout layout = {});

  // The window's logic, created after this view; the controls report to it
  // from now on.
  void Attach(convert::Tkonvert& logic);

  // Shows the window over the others, the directory field ready for typing.
  // The main window waits until it is closed.
  void Open();

  // convert::KonvertView
  void SetFileMask(const std::string& mask) override;
  void ShowLabel(const std::string& text) override;
  void SetBarRange(convert::KonvertBar bar, int minimum, int maximum) override;
  void SetBarPosition(convert::KonvertBar bar, int position) override;
  void SetButton2Caption(const std::string& text) override;
  void FocusButton1() override;
  void Repaint() override;
  void CloseWindow() override;
  void ShowError(const std::string& text) override;

  // convert::MessageSink: the importers' messages and the commands' outcome,
  // each in a plain box the operator answers before the command goes on.
  void ShowMessage(const std::string& text) override;

  QLineEdit* dEdit() const { return dEdit_; }
  QToolButton* dEditButton() const { return dEditButton_; }
  QListWidget* FileListBox1() const { return FileListBox1_; }
  QTabWidget* PageControl1() const { return PageControl1_; }
  QWidget* TabSheet1() const { return TabSheet1_; }
  QLabel* Label1() const { return Label1_; }
  QProgressBar* ProgressBar1() const { return ProgressBar1_; }
  QProgressBar* ProgressBar2() const { return ProgressBar2_; }
  QPushButton* Button1() const { return Button1_; }
  QPushButton* Button2() const { return Button2_; }
  QPushButton* btnVissza() const { return btnVissza_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void ApplyLayout(const KonvertLayout& layout);
  QProgressBar* Bar(convert::KonvertBar bar) const;
  // The text files of the mask's directory, read again each time: the
  // exports may have been copied there since.
  void ListFiles();
  // dEdit's browse button: the platform's folder picker, starting at the
  // directory in the field.
  void BrowseDirectory();
  void CentreOnDesktop();

  convert::Tkonvert* logic_ = nullptr;
  std::string mask_;
  bool centred_ = false;
  QLineEdit* dEdit_;
  QToolButton* dEditButton_;
  QListWidget* FileListBox1_;
  QTabWidget* PageControl1_;
  QWidget* TabSheet1_;
  QLabel* Label1_;
  QProgressBar* ProgressBar1_;
  QProgressBar* ProgressBar2_;
  QPushButton* Button1_;
  QPushButton* Button2_;
  QPushButton* btnVissza_;
};

}  // namespace moltaro::ui
