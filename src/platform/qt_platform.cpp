#include "platform/application.h"
#include "platform/common_dialog.h"
#include "platform/message_box.h"
#include "platform/platform.h"
#include "platform/settings_store.h"
#include "platform/skin_engine.h"

struct QtPlatform::Adapters {
    QtApplication application;
    QtMessageBoxes messages;
    QtSettingsStore settings;
};

QtPlatform::QtPlatform() : adapters_(std::make_unique<Adapters>()) {
    platform_.application = &adapters_->application;
    platform_.messages = &adapters_->messages;
    platform_.settings = &adapters_->settings;
    platform_.newCommonDialog = [](QWidget* owner) -> std::unique_ptr<CommonDialog> {
        return std::make_unique<QtCommonDialog>(owner);
    };
    platform_.newSkinEngine = []() -> std::unique_ptr<SkinEngine> {
        return std::make_unique<QtSkinEngine>();
    };
}

QtPlatform::~QtPlatform() = default;
