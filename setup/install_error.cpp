#include "setup/install_error.h"

namespace {

int installError = 0;

}  // namespace

void SetInstallError(int code)
{
    installError = code;
}

int GetInstallError()
{
    return installError;
}
