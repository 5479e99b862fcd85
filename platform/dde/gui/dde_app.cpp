// The worksheet program's DDE service on the GUI thread (rules in dde_app.h).
#include "platform/dde/gui/dde_app.h"

#include <cstdio>

#include "platform/dde/DdeService.h"
#include "platform/gui/Application.h"
#include "platform/gui/DescriptorWatch.h"
#include "platform/registry/registry.h"

namespace dde {

struct DdeAppService::Watch {
    DescriptorWatch watch;
    explicit Watch(DdeService& s) : watch(s.descriptor(), [&s] { s.dispatch(); }) {}
};

std::string dde_app_service_name() {
    DdePartner partner = registry_read_dde_partner();
    return partner.appName[0] ? std::string(partner.appName) : std::string("wkelvo");
}

DdeAppService::DdeAppService() = default;

DdeAppService::~DdeAppService() {
    watch_.reset();    // no dispatch after this
    service_.reset();  // closes the peers and removes the socket file
}

std::unique_ptr<DdeAppService> dde_listen_app(const std::string& serviceName) {
    std::unique_ptr<DdeAppService> app(new DdeAppService);
    app->name_ = serviceName.empty() ? dde_app_service_name() : serviceName;
    app->service_ = std::make_unique<DdeService>([](const std::string& item, const std::string& data) {
        Application::postAppEvent(String(item), String(data));
    });
    std::string why;
    if (app->service_->listen(app->name_, &why) != DdeService::Listen::Listening) {
        std::fprintf(stderr, "wkelvo: runs without its DDE service: %s\n", why.c_str());
        return nullptr;
    }
    app->watch_ = std::make_unique<DdeAppService::Watch>(*app->service_);
    return app;
}

}  // namespace dde
