#pragma once
// The small shared dialogs: one-line input with history and Browse, name/value
// input with histories, and the progress dialog that long operations poll for
// Cancel. The logic lives here; the user sees them through platform::DialogUi.

#include <string>

#include "base/history.h"

namespace dorvik {

inline constexpr int kModalOk = 1;
inline constexpr int kModalCancel = 2;

// One-line input: callers set Caption, Label, comboBox1's Text and Tag, call
// ShowModal and read the result (1 OK, 2 Cancel) and Value.
class TInputDialog {
 public:
  TInputDialog() { CreateDialog(); }

  int ShowModal();

  // Event handlers (ShowModal runs them as the user acts)
  void CreateDialog();
  void FocusInputLine();
  void btnOKClick();
  void btnCancelClick();
  void btnBrowseClick();
  void DoOnHideEvent();

  std::string Caption;
  std::string Label;
  std::string OkCaption, BrowseCaption, CancelCaption;
  bool BrowseVisible = true;
  HistoryCombo comboBox1;
  bool HistoryChanged = false;
  int InitialIndex = -1;  // the combo's item index after the history was loaded
  std::string Value;      // the accepted text
  int ModalResult = 0;
};

// Name/value input (environment variables, a new processor definition):
// callers set the combos' texts and Tags, call ShowModal and read the combos.
class TInputDialog2 {
 public:
  TInputDialog2() { CreateDialog(); }

  int ShowModal();

  // Event handlers
  void CreateDialog();
  void FocusInputLine();
  void SetComboNameChanged();
  void btnOKClick();
  void btnCancelClick();
  void btnBrowseClick();
  void DoOnHideEvent();

  std::string Caption;
  std::string OkCaption, CancelCaption;
  std::string lblName, lblValue;
  bool BrowseVisible = false;
  HistoryCombo comboName;
  HistoryCombo ComboValue;
  bool NameChanged = false;  // the user edited the name
  bool HistoryChanged = false;
  int ModalResult = 0;
};

// Progress with Cancel: the caller shows it, updates the bar and tests
// PollCancelled between steps, and hides it when the work ends.
class TProgressDlg {
 public:
  void Show(const std::string& caption);
  void SetProgress(int position, int max);
  // Takes a pending press of Cancel; true once Cancel was pressed.
  bool PollCancelled();
  void btCancelClick() { Cancelled = true; }
  void Hide();

  bool Cancelled = false;
  int Position = 0;
  int Max = 100;
};

// The three forms, made once at program start.
struct DialogForms {
  TInputDialog InputDialog;
  TInputDialog2 InputDialog2;
  TProgressDlg ProgressDlg;
};

DialogForms& Dialogs();

}  // namespace dorvik
