// The yes/no dialog behind every "may it go ahead" question.
#pragma once

#include <string>

namespace moltaro::instances {

inline constexpr const char* kAnswerYes = "IGEN";
inline constexpr const char* kAnswerNo = "NEM";
inline constexpr const char* kInitialQuestion = "Valóban töröljem ?";
inline constexpr const char* kIgenCaption = "Igen";
inline constexpr const char* kNemCaption = "Nem";
inline constexpr int kDialogusWidth = 218;
inline constexpr int kDialogusHeight = 128;
inline constexpr int kQuestionFontHeight = 13;

// The button Enter presses: "Nem" for questions whose "Igen" destroys data,
// so that no operator confirms those by reflex.
enum class DefaultButton { Igen, Nem };

class TfrmDialogus {
 public:
  class View {
   public:
    virtual ~View() = default;
    virtual void SetQuestion(const std::string& text) = 0;  // lSzoveg
    // Shows the dialog modally; returns when "Igen", "Nem" or the close box
    // ended it.
    virtual void ShowModal(TfrmDialogus& dialog) = 0;
  };

  explicit TfrmDialogus(View& view);

  // "IGEN" when the operator pressed "Igen"; "NEM" for "Nem" and the close
  // box. Callers go ahead only on exactly "IGEN".
  std::string Confirm(const std::string& question,
                      DefaultButton defaultButton = DefaultButton::Igen);

  void SetQuestion(const std::string& text);
  void bIgenClick() { answer_ = kAnswerYes; }
  void bNemClick() { answer_ = kAnswerNo; }

  const std::string& Question() const { return question_; }
  DefaultButton Default() const { return defaultButton_; }
  // The answer of the last question; the program owns the dialog, so this
  // is the one answer text shared between the dialog and Confirm.
  const std::string& Answer() const { return answer_; }

 private:
  View& view_;
  std::string question_ = kInitialQuestion;
  std::string answer_ = kAnswerNo;
  DefaultButton defaultButton_ = DefaultButton::Igen;
};

}  // namespace moltaro::instances
