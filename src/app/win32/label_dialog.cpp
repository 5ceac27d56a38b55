#include "app/win32/label_dialog.h"

#include <array>

#include "app/win32/dialog_template.h"
#include "app/win32/wide_text.h"

namespace zanthrel::app {

namespace {

enum : int { kFirstEdit = 201, kProblemLine = 210 };

struct FieldRow {
  const wchar_t* caption;
  std::string TypedLabelFields::*field;
};
constexpr std::array<FieldRow, 4> kRows = {{{L"Label:", &TypedLabelFields::text},
                                            {L"Comment:", &TypedLabelFields::comment},
                                            {L"Volume id:", &TypedLabelFields::volumeId},
                                            {L"Root id:", &TypedLabelFields::rootId}}};

struct DialogState {
  TypedLabelFields fields;
  std::string problem;
};

std::string TextOf(HWND control) {
  std::wstring text(size_t(GetWindowTextLengthW(control)) + 1, L'\0');
  text.resize(size_t(GetWindowTextW(control, text.data(), int(text.size()))));
  return WideToUtf8(text);
}

void PlaceRows(HWND dialog, const DialogState& state) {
  SetClientSize(dialog, 320, 190);
  int top = 10;
  for (size_t i = 0; i < kRows.size(); ++i, top += 28) {
    PlaceControl(dialog, L"STATIC", kRows[i].caption, WS_VISIBLE | SS_LEFT, -1, 10, top + 3, 70, 17);
    PlaceControl(dialog, L"EDIT", Utf8ToWide(state.fields.*kRows[i].field),
                 WS_VISIBLE | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, kFirstEdit + int(i), 85, top, 225, 21);
  }
  PlaceControl(dialog, L"STATIC", L"Texts: at most 32 bytes in Windows-1251. Ids: decimal or 0x hex.",
               WS_VISIBLE | SS_LEFT, -1, 10, top, 300, 17);
  PlaceControl(dialog, L"STATIC", Utf8ToWide(state.problem), WS_VISIBLE | SS_LEFT | SS_NOPREFIX, kProblemLine,
               10, top + 20, 300, 30);
  PlaceControl(dialog, L"BUTTON", L"OK", WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, IDOK, 150, 158, 75, 25);
  PlaceControl(dialog, L"BUTTON", L"Cancel", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, IDCANCEL, 235, 158, 75, 25);
  SetFocus(GetDlgItem(dialog, kFirstEdit));
}

INT_PTR CALLBACK LabelDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    PlaceRows(dialog, *reinterpret_cast<DialogState*>(lParam));
    return FALSE;  // the focus is set
  }
  auto* state = reinterpret_cast<DialogState*>(GetWindowLongPtrW(dialog, DWLP_USER));
  if (message != WM_COMMAND || !state) return FALSE;
  if (LOWORD(wParam) == IDOK) {
    for (size_t i = 0; i < kRows.size(); ++i) {
      state->fields.*kRows[i].field = TextOf(GetDlgItem(dialog, kFirstEdit + int(i)));
    }
    EndDialog(dialog, IDOK);
    return TRUE;
  }
  if (LOWORD(wParam) == IDCANCEL) {
    EndDialog(dialog, IDCANCEL);
    return TRUE;
  }
  return FALSE;
}

// Blanks typed around a number are no part of it.
std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace

std::optional<TypedLabelFields> AskLabelFields(HWND owner, const TypedLabelFields& current,
                                               const std::string& problem) {
  DialogState state{current, problem};
  const DialogTemplate layout(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER, L"Volume label");
  if (DialogBoxIndirectParamW(GetModuleHandleW(nullptr), layout.Get(), owner, LabelDialogProc,
                              reinterpret_cast<LPARAM>(&state)) != IDOK) {
    return std::nullopt;
  }
  state.fields.volumeId = Trimmed(state.fields.volumeId);
  state.fields.rootId = Trimmed(state.fields.rootId);
  return state.fields;
}

}  // namespace zanthrel::app
