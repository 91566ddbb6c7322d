#pragma once
// The user-visible texts of the profile pages, the preferences dialog and
// the type-table view. Field labels and the mode names are the window's own
// (its label controls and PopupMenu1), read from there; texts shared with
// other parts are in app/Texts.h.

namespace ProfileText {
inline constexpr const char* Delete = "削除";
inline constexpr const char* Close = "閉じる";

inline constexpr const char* DeleteQuestion = "本当に削除しますか？";
// "「" + a field's label + this: the field does not fit a one-byte length.
inline constexpr const char* TooLongOpen = "「";
inline constexpr const char* TooLongClose = "」が長すぎます。255バイト以内で入力して下さい。";

// Preferences dialog check boxes, in their order on the screen.
inline constexpr const char* ConnectOnSelect = "セットを選択したら直ちに接続する";
inline constexpr const char* KeepWindowBounds = "ウィンドウサイズを保持する";
inline constexpr const char* BeepOnCaution = "ダイアログ表示時、ビープ音を鳴らす";
inline constexpr const char* ConfirmSync = "同期前に、確認ダイアログを表示する";

// Type-table view headings.
inline constexpr const char* Extension = "拡張子";
inline constexpr const char* Type = "タイプ";
} // namespace ProfileText
