#pragma once
// The user-visible texts of connecting and of the synchronisation run
// (those shared with other parts are in app/Texts.h).

namespace ConnectionText {
// Captions.
inline constexpr const char* Execute = "実行";
inline constexpr const char* Continue = "継続";
inline constexpr const char* Enter = "入力";
inline constexpr const char* Ascii = "Ascii";
inline constexpr const char* Binary = "Binary";
inline constexpr const char* Untitled = "Untitled";

// Sync list headings.
inline constexpr const char* UploadHeading = "アップロード対象";
inline constexpr const char* RemoveHeading = "削除対象";

// Notices and questions.
inline constexpr const char* SyncFinished = "同期が終了しました。";
inline constexpr const char* KeepChildQuestion =
    "フォルダが削除対象の場合はファイルを残せません。以下のファイルを削除対象にして処理を継続しますか？";
inline constexpr const char* PasswordPrompt = "パスワードを入力して下さい。";
inline constexpr const char* EarlierResults = "前回接続時の情報が残っています。クリアして接続しますか？";
inline constexpr const char* DataConnectedNoDisconnect = "データ接続中なので切断できません。";
inline constexpr const char* QuitDuringTransfer = "データ転送中ですが終了しますか？";
inline constexpr const char* QuitDestroysData = "終了すると、転送中のデータは破壊されます。";
inline constexpr const char* UnknownFileType = "ファイルタイプが不明です。";
inline constexpr const char* ChooseAsciiOrBinary = "AsciiかBinaryを選択してください。";
} // namespace ConnectionText
