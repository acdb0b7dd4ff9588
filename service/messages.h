#pragma once

// What the companion's verbs print. The source is UTF-8; the compiler
// turns these literals into code page 932 bytes, the console's own.
#define MSG_TEXT_SERVICE_DELETED "サービスが削除されました\n"
#define MSG_TEXT_CANNOT_DELETE "サービスを削除できません\n"
#define MSG_TEXT_CANNOT_OPEN_SERVICE "サービスを開けません\n"
#define MSG_TEXT_CANNOT_OPEN_SCM "SCMを開けません\n"
#define MSG_TEXT_REGISTRATION_ERROR "登録エラー\n"
#define MSG_TEXT_REGISTERED "の登録に成功しました\n"
