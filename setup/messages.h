#pragma once

// The installer's message texts, shown in code page 932 as they are.
inline constexpr char kMessageCaption[] = "SetUp";
inline constexpr char kMessageNoManagerFolder[] = "MERLOWｻｰﾋﾞｽのｲﾝｽﾄｰﾙ先ﾌｫﾙﾀﾞが見つかりませんでした。";
inline constexpr char kMessageNotNeeded[] = "この版数のUPS管理プログラムには必要ありません。";
inline constexpr char kMessageSameVersion[] = "既に同じ版数がインストールされています。";
inline constexpr char kMessageNewerVersion[] = "既に新しい版数がインストールされています。";
inline constexpr char kMessageCopyFailed[] = "ファイルのコピーに失敗しました。";
inline constexpr char kMessageInstallFailed[] = "ｲﾝｽﾄｰﾙに失敗しました。\nエラー番号：%d";
inline constexpr char kMessageInstallCompleted[] = "ｲﾝｽﾄｰﾙが完了しました。";
