#pragma once
// The worksheet program's DDE service: listens from start-up under the program's service name
// and hands each accepted poke (item, data) to the GUI layer's postAppEvent, so that the
// application object's app_event receives it on the GUI thread between other events.
//
// The service name is the APPNAME that the registry gives for the CONNECT_TO partner (the same
// lookup as the ddesend bridge's), or "wkelvo" when the settings hold none.  The service runs on
// the GUI thread through a descriptor watch and never blocks on a peer (DdeService.h).
//
// Start-up: a stale socket file is replaced; when another live program answers under the name,
// or the socket folder or the name is refused, the program runs without the service and one line
// says why on standard error.  Shut-down: destroying the returned object stops the service and
// removes its socket file.

#include <memory>
#include <string>

namespace dde {

class DdeService;

// The service name the worksheet program listens under (see above).
std::string dde_app_service_name();

class DdeAppService {
public:
    ~DdeAppService();
    DdeAppService(const DdeAppService&) = delete;
    DdeAppService& operator=(const DdeAppService&) = delete;

    const std::string& serviceName() const { return name_; }
    DdeService& service() { return *service_; }

private:
    friend std::unique_ptr<DdeAppService> dde_listen_app(const std::string&);
    DdeAppService();

    struct Watch;
    std::string name_;
    std::unique_ptr<DdeService> service_;
    std::unique_ptr<Watch> watch_;
};

// Starts the service under `serviceName` (empty: dde_app_service_name()); null when the program
// runs without it (the reason was written to standard error).  Call after the GUI layer's
// application object exists; keep the result until shut-down.
std::unique_ptr<DdeAppService> dde_listen_app(const std::string& serviceName = std::string());

}  // namespace dde
