#include "setup/message_box.h"

#include "setup/messages.h"

void ShowSetupMessage(const char* text, UINT icon)
{
    MessageBoxA(nullptr, text, kMessageCaption, MB_OK | icon);
}
