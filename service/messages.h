#pragma once

// What the companion's verbs print on the console; not the event log's
// message ids, which live in its message table. The source is UTF-8; the
// compiler turns these literals into code page 932 bytes, the console's own.
inline constexpr char kConsoleServiceDeleted[] = "サービスが削除されました\n";
inline constexpr char kConsoleCannotDelete[] = "サービスを削除できません\n";
inline constexpr char kConsoleCannotOpenService[] = "サービスを開けません\n";
inline constexpr char kConsoleCannotOpenScm[] = "SCMを開けません\n";
inline constexpr char kConsoleRegistrationError[] = "登録エラー\n";
inline constexpr char kConsoleRegistered[] = "の登録に成功しました\n";
