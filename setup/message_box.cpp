#include "setup/message_box.h"

#include "setup/messages.h"
#include "setup/outcome.h"

void ShowSetupMessage(const char* text, UINT icon, int exitCode)
{
    SetSetupOutcome(exitCode);
    if (!IsQuietRun())
        MessageBoxA(nullptr, text, kMessageCaption, MB_OK | icon);
}
