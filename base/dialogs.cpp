#include "base/dialogs.h"
#include "base/session.h"

#include <algorithm>

#include "base/text.h"
#include "platform/dialogs.h"

namespace dorvik {

namespace {

void InitialSelection(HistoryCombo& combo) {
  SelectItem(combo, combo.Items.empty() ? -1 : 0);
}

// Typing in a combo's edit drops its selection unless the text is an item.
void TypeText(HistoryCombo& combo, const std::string& text) {
  if (text == combo.Text) return;
  const auto it = std::find(combo.Items.begin(), combo.Items.end(), text);
  combo.ItemIndex = it == combo.Items.end() ? -1 : static_cast<int>(it - combo.Items.begin());
  combo.Text = text;
}

// A file's name without its folder, upper-cased up to its first ".".
std::string BareUpperName(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const size_t dot = name.find('.');
  if (dot != std::string::npos) name.resize(dot);
  return UpperCase(name);
}

// The button the user pressed on an input dialog's face.
template <typename Dialog>
void Press(Dialog& dialog, platform::DialogAction action) {
  switch (action) {
    case platform::DialogAction::Ok:
      dialog.btnOKClick();
      break;
    case platform::DialogAction::Cancel:
      dialog.btnCancelClick();
      break;
    case platform::DialogAction::Browse:
      // A face without the button must not loop for ever.
      if (dialog.BrowseVisible)
        dialog.btnBrowseClick();
      else
        dialog.btnCancelClick();
      break;
  }
}

}  // namespace

void TInputDialog::CreateDialog() {
  OkCaption = "OK";
  BrowseCaption = "Browse";
  CancelCaption = "Cancel";
  InitialSelection(comboBox1);
}

void TInputDialog::FocusInputLine() {
  HistoryChanged = false;
  const std::string given = comboBox1.Text;
  LoadHistory(comboBox1, comboBox1.Tag);
  InitialIndex = comboBox1.ItemIndex;
  if (AddToHistory(comboBox1, given, true)) HistoryChanged = true;
}

void TInputDialog::btnOKClick() {
  if (AddToHistory(comboBox1, comboBox1.Text, true)) HistoryChanged = true;
  Value = comboBox1.Text;
  ModalResult = kModalOk;
}

void TInputDialog::btnCancelClick() {
  ModalResult = kModalCancel;
}

void TInputDialog::btnBrowseClick() {
  const std::string file = platform::DialogFront().BrowseFile(Caption);
  if (file.empty()) return;
  Value = file;
  if (AddToHistory(comboBox1, file, true)) HistoryChanged = true;
}

void TInputDialog::DoOnHideEvent() {
  if (!HistoryChanged) HistoryChanged = comboBox1.ItemIndex != InitialIndex;
  if (HistoryChanged) {
    SaveHistory(comboBox1, comboBox1.Tag);
    HistoryChanged = false;
  }
}

int TInputDialog::ShowModal() {
  ModalResult = 0;
  FocusInputLine();
  auto& ui = platform::DialogFront();
  while (ModalResult == 0) {
    const platform::InputReply reply =
        ui.AskInput({Caption, Label, comboBox1.Text, comboBox1.Items, BrowseVisible});
    TypeText(comboBox1, reply.Text);
    Press(*this, reply.Action);
  }
  DoOnHideEvent();
  return ModalResult;
}

void TInputDialog2::CreateDialog() {
  Caption = "Add Environment Variable";
  OkCaption = "OK";
  CancelCaption = "Cancel";
  lblName = "Name";
  lblValue = "Value";
  InitialSelection(comboName);
  InitialSelection(ComboValue);
}

void TInputDialog2::FocusInputLine() {
  HistoryChanged = false;
  LoadHistory(comboName, comboName.Tag);
  LoadHistory(ComboValue, ComboValue.Tag);
  NameChanged = false;
}

void TInputDialog2::SetComboNameChanged() {
  NameChanged = true;
}

void TInputDialog2::btnOKClick() {
  if (AddToHistory(comboName, comboName.Text, true)) HistoryChanged = true;
  if (AddToHistory(ComboValue, ComboValue.Text, true)) HistoryChanged = true;
  ModalResult = kModalOk;
}

void TInputDialog2::btnCancelClick() {
  ModalResult = kModalCancel;
}

void TInputDialog2::btnBrowseClick() {
  const std::string file = platform::DialogFront().BrowseFile(Caption);
  if (file.empty()) return;
  if (AddToHistory(ComboValue, file, true)) HistoryChanged = true;
  if (!NameChanged) {
    NameChanged = true;
    if (AddToHistory(comboName, BareUpperName(file), true)) HistoryChanged = true;
  }
}

void TInputDialog2::DoOnHideEvent() {
  if (!HistoryChanged) return;
  SaveHistory(comboName, comboName.Tag);
  SaveHistory(ComboValue, ComboValue.Tag);
  HistoryChanged = false;
}

int TInputDialog2::ShowModal() {
  ModalResult = 0;
  FocusInputLine();
  auto& ui = platform::DialogFront();
  while (ModalResult == 0) {
    platform::PairPrompt prompt;
    prompt.Caption = Caption;
    prompt.NameLabel = lblName;
    prompt.ValueLabel = lblValue;
    prompt.Name = comboName.Text;
    prompt.Value = ComboValue.Text;
    prompt.NameHistory = comboName.Items;
    prompt.ValueHistory = ComboValue.Items;
    prompt.BrowseVisible = BrowseVisible;
    const platform::PairReply reply = ui.AskPair(prompt);
    if (reply.NameEdited) SetComboNameChanged();
    TypeText(comboName, reply.Name);
    TypeText(ComboValue, reply.Value);
    Press(*this, reply.Action);
  }
  DoOnHideEvent();
  return ModalResult;
}

void TProgressDlg::Show(const std::string& caption) {
  Cancelled = false;
  Position = 0;
  platform::DialogFront().ShowProgress(caption);
}

void TProgressDlg::SetProgress(int position, int max) {
  Position = position;
  Max = max;
  platform::DialogFront().UpdateProgress(position, max);
}

bool TProgressDlg::PollCancelled() {
  if (!Cancelled && platform::DialogFront().CancelPressed()) btCancelClick();
  return Cancelled;
}

void TProgressDlg::Hide() {
  platform::DialogFront().HideProgress();
}

DialogForms& Dialogs() {
  return CurrentSession().Get<DialogForms>();
}

}  // namespace dorvik
