#include "supervision/service_control.h"

#include "common/merlow_service.h"
#include "common/query_service_config.h"
#include "common/unique_handle.h"
#include "supervision/dependency_list.h"

namespace {

unique_schandle OpenManager(DWORD access)
{
    return unique_schandle(OpenSCManagerA(nullptr, nullptr, access));
}

unique_schandle Open(const unique_schandle& manager, const char* serviceName, DWORD access)
{
    if (!manager)
        return unique_schandle();
    return unique_schandle(OpenServiceA(manager.get(), serviceName, access));
}

// The service opened with all access and its dependency list read, the
// SCM opened with the given access; the handles live as long as this.
struct DependencyRead {
    unique_schandle manager;
    unique_schandle service;
    ServiceConfig config;
    const char* list = nullptr;
    size_t size = 0;

    bool Open(const char* serviceName, DWORD managerAccess)
    {
        manager = OpenManager(managerAccess);
        service = ::Open(manager, serviceName, SERVICE_ALL_ACCESS);
        return service && config.Read(service.get()) && config.Dependencies(&list, &size);
    }
};

}  // namespace

int QueryServiceState(const char* serviceName, DWORD* state)
{
    unique_schandle manager = OpenManager(SC_MANAGER_ALL_ACCESS);
    unique_schandle service = Open(manager, serviceName, SERVICE_QUERY_STATUS);
    SERVICE_STATUS status;
    if (!service || !QueryServiceStatus(service.get(), &status))
        return -1;
    *state = status.dwCurrentState;
    return 0;
}

int StopServiceByName(const char* serviceName)
{
    unique_schandle manager = OpenManager(SC_MANAGER_ALL_ACCESS);
    unique_schandle service = Open(manager, serviceName, SERVICE_STOP);
    SERVICE_STATUS status;
    if (!service || !ControlService(service.get(), SERVICE_CONTROL_STOP, &status))
        return -1;
    return 0;
}

int StartServiceByName(const char* serviceName)
{
    unique_schandle manager = OpenManager(SC_MANAGER_ALL_ACCESS);
    unique_schandle service = Open(manager, serviceName, SERVICE_ALL_ACCESS);
    const char* args[] = {serviceName};
    if (!service || !StartServiceA(service.get(), 1, args))
        return -1;
    return 0;
}

int IsDependencyMissing(const char* serviceName, const char* name)
{
    DependencyRead read;
    if (!read.Open(serviceName, GENERIC_READ))
        return 0;
    char scratch[kServiceConfigBufferSize];
    return AddToDependencyList(read.list, read.size, scratch, sizeof scratch, name);
}

int EditDependency(const char* serviceName, const char* name, DependencyMode mode)
{
    DependencyRead read;
    if (!read.Open(serviceName, GENERIC_READ | GENERIC_WRITE))
        return 0;
    char newList[kServiceConfigBufferSize];
    const int changed =
        mode == DEPEND_ADD
            ? AddToDependencyList(read.list, read.size, newList, sizeof newList, name)
            : RemoveFromDependencyList(read.list, read.size, newList, sizeof newList, name);
    if (changed == 1) {
        // Every rewrite also sets the display name; the SCM's result is not
        // looked at.
        ChangeServiceConfigA(read.service.get(), SERVICE_NO_CHANGE, SERVICE_NO_CHANGE,
                             SERVICE_NO_CHANGE, nullptr, nullptr, nullptr, newList, nullptr,
                             nullptr, kManagerServiceName);
    }
    return changed;
}
