// The report directory dialog "Riport könyvtár".
#pragma once

#include <string>

namespace moltaro::instances {

inline constexpr const char* kReportDirCaption = "Riport könyvtár";

class TfrmRepUt {
 public:
  class View {
   public:
    virtual ~View() = default;
    virtual void SetDirectory(const std::string& directory) = 0;  // eDir
    virtual void SetRendbenEnabled(bool enabled) = 0;
    // Shows the dialog modally; returns when Rendben, Mégsem, Esc or the
    // close box ended it.
    virtual void ShowModal(TfrmRepUt& dialog) = 0;
  };

  explicit TfrmRepUt(View& view) : view_(view) {}

  // Puts the text, trimmed, into the field, empties the result and updates
  // the buttons.
  void SetDirectory(const std::string& text);
  // Shows the dialog; true when it was confirmed with Rendben.
  bool ShowModal();

  void eDirChange(const std::string& text);
  // Rendben is enabled exactly when the field is not empty.
  void UpdateButtons();
  // Ignored while Rendben is disabled; the result is the field trimmed.
  void bRendbenClick();
  // Mégsem, Esc and the close box.
  void bMegsemClick();

  const std::string& Directory() const { return eDir_; }
  const std::string& Result() const { return result_; }
  bool Confirmed() const { return confirmed_; }
  bool RendbenEnabled() const { return rendbenEnabled_; }

 private:
  View& view_;
  std::string eDir_;
  std::string result_;
  bool confirmed_ = false;
  bool rendbenEnabled_ = false;
};

}  // namespace moltaro::instances
