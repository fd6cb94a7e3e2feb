#include "platform/application.h"
#include "platform/chart/chart_control.h"
#include "platform/controls/skin_engine.h"
#include "platform/desktop/clipboard.h"
#include "platform/dialogs/common_dialog.h"
#include "platform/dialogs/message_box.h"
#include "platform/dialogs/printer.h"
#include "platform/files/image_writer.h"
#include "platform/platform.h"
#include "platform/store/settings_store.h"

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
