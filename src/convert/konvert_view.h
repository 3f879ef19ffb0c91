// What the conversion window shows, and the narrow interfaces through which a
// Qt window, the command line or a test displays it and answers its
// questions.
#pragma once

#include <string>

namespace moltaro::convert {

inline constexpr const char* kKonvertCaption = "Konvertálás";
inline constexpr const char* kTabSheet1Caption = "Konvertálás";
inline constexpr const char* kLabel1DesignText = "ELvégzendő feladat";
inline constexpr const char* kButton1Caption = "Indít";
inline constexpr const char* kButton2Caption = "Törlés";
inline constexpr const char* kButton2BusyCaption = "kis türelmet";
inline constexpr const char* kVisszaCaption = "Vissza";
inline constexpr const char* kFileMask = "*.txt";
inline constexpr int kKonvertWidth = 800;
inline constexpr int kKonvertHeight = 670;

inline constexpr const char* kRunQuestion = "Mehet ? ";
inline constexpr const char* kDeleteQuestion = "Valóban töröljem ?";
inline constexpr const char* kRunSucceeded = "Rendben lefutott !";
inline constexpr const char* kDeleteDone = "Kész !";

// The two vertical bars: the file steps, and the records of the current file.
enum class KonvertBar { ProgressBar1, ProgressBar2 };

// Implemented by whatever shows the window. Every call must take effect on the
// screen at once: a command keeps the user-interface thread busy, so nothing
// gets painted later.
class KonvertView {
 public:
  virtual ~KonvertView() = default;

  // The file list's mask: the source directory followed by "*.txt", or empty
  // (the list shows nothing).
  virtual void SetFileMask(const std::string& mask) = 0;

  // `Label1`: the file being read or the table being emptied; repainted now.
  virtual void ShowLabel(const std::string& text) = 0;

  virtual void SetBarRange(KonvertBar bar, int minimum, int maximum) = 0;
  virtual void SetBarPosition(KonvertBar bar, int position) = 0;

  // `Button2`: "Törlés", or "kis türelmet" while the tables are emptied.
  virtual void SetButton2Caption(const std::string& text) = 0;
  virtual void FocusButton1() = 0;

  // Paints the whole window now (a file step has begun).
  virtual void Repaint() = 0;
  virtual void CloseWindow() = 0;

  // The standard error message box: what stopped the command.
  virtual void ShowError(const std::string& text) = 0;
};

// What answering "Igen" does: a question whose "Igen" destroys data gets
// "Nem" as the answer Enter gives.
enum class QuestionKind { GoesAhead, DestroysData };

// The modal yes/no question: "IGEN" or "NEM". Only exactly "IGEN" goes on.
class KonvertQuestions {
 public:
  virtual ~KonvertQuestions() = default;
  virtual std::string Confirm(const std::string& question, QuestionKind kind) = 0;
};

}  // namespace moltaro::convert
