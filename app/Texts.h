#pragma once
// The user-visible texts that more than one part of the program shows.

namespace Text {
inline constexpr const char* Cancel = "キャンセル";
inline constexpr const char* Save = "保存";
inline constexpr const char* Clear = "クリア";
inline constexpr const char* Disconnect = "切断";

inline constexpr const char* CannotUndo = "この操作は取り消しができません。";
inline constexpr const char* LocalFolderMissing = "ローカルフォルダが見つかりません。再指定して下さい。";
inline constexpr const char* NoHeaderSort = "ヘッダプレスによる並べ替えには対応していません。";
} // namespace Text
