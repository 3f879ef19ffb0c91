// The new-database dialog "Új database": company name and database name.
#pragma once

#include <cstddef>
#include <string>

namespace moltaro::instances {

inline constexpr const char* kNewCompanyCaption = "Új database";
inline constexpr const char* kCegnevLabel = "Cég megnevezése : ";
inline constexpr const char* kDatabaseLabel = "Adatbázis neve : :";
// Both fields take at most 15 characters.
inline constexpr std::size_t kNewCompanyFieldLength = 15;
// Rendben needs a name longer than this, in the field changed last.
inline constexpr std::size_t kMinimumNameLength = 3;

class TfrmDBBe {
 public:
  class View {
   public:
    virtual ~View() = default;
    virtual void SetFields(const std::string& cegnev, const std::string& database) = 0;
    virtual void SetRendbenEnabled(bool enabled) = 0;
    // Shows the dialog modally; returns when one of its buttons or its close
    // box ended it. The operator's typing reaches the dialog's handlers.
    virtual void ShowModal(TfrmDBBe& dialog) = 0;
  };

  explicit TfrmDBBe(View& view) : view_(view) {}

  // Empties the result and both fields and disables Rendben.
  void ResetFields();
  // Shows the dialog; true when it was confirmed with Rendben.
  bool ShowModal();

  // Typing: each text is cut to the field's 15 characters.
  void eCegnevChange(const std::string& text);
  void eDatabaseChange(const std::string& text);
  // Ignored while Rendben is disabled.
  void bRendbenClick();
  void bMegsemClick();
  // The close box: cancelled, like Mégsem.
  void FormClose() { bMegsemClick(); }

  const std::string& Cegnev() const { return cegnev_; }
  const std::string& Database() const { return database_; }
  // The typed database name after Rendben, empty otherwise.
  const std::string& Result() const { return result_; }
  bool Confirmed() const { return confirmed_; }
  bool RendbenEnabled() const { return rendbenEnabled_; }

 private:
  void SetRendbenEnabled(bool enabled);

  View& view_;
  std::string cegnev_;
  std::string database_;
  std::string result_;
  bool confirmed_ = false;
  bool rendbenEnabled_ = false;
};

}  // namespace moltaro::instances
