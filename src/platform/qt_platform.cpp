#include "platform/application.h"
#include "platform/chart_control.h"
#include "platform/clipboard.h"
#include "platform/common_dialog.h"
#include "platform/image_writer.h"
#include "platform/message_box.h"
#include "platform/platform.h"
#include "platform/printer.h"
#include "platform/settings_store.h"
#include "platform/skin_engine.h"

#include <QDialog>

struct QtPlatform::Adapters {
    QtApplication application;
    QtMessageBoxes messages;
    QtSettingsStore settings;
    QtClipboard clipboard;
    QtPrinter printer;
    QtImageWriter images;
};

QtPlatform::QtPlatform(const QString& printJobName) : adapters_(std::make_unique<Adapters>()) {
    adapters_->printer.setDocumentName(printJobName);
    platform_.application = &adapters_->application;
    platform_.messages = &adapters_->messages;
    platform_.settings = &adapters_->settings;
    platform_.clipboard = &adapters_->clipboard;
    platform_.printer = &adapters_->printer;
    platform_.images = &adapters_->images;
    platform_.newCommonDialog = [](QWidget* owner) -> std::unique_ptr<CommonDialog> {
        return std::make_unique<QtCommonDialog>(owner);
    };
    platform_.newSkinEngine = []() -> std::unique_ptr<SkinEngine> {
        return std::make_unique<QtSkinEngine>();
    };
    platform_.newChart = [this](QWidget* parent) -> std::unique_ptr<ChartControl> {
        return std::make_unique<PieChart>(parent, adapters_->clipboard);
    };
    platform_.showModal = [](QDialog& window) { return window.exec(); };
}

QtPlatform::~QtPlatform() = default;
