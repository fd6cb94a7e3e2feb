#pragma once
// The outside components the program uses, gathered so a window can be built over real adapters
// or over test doubles. Each adapter has a header of its own in this folder; nothing here knows
// the program.

#include <QString>
#include <functional>
#include <memory>

class QDialog;
class QWidget;
class Application;
class MessageBoxes;
class SettingsStore;
class CommonDialog;
class SkinEngine;
class ChartControl;
class Clipboard;
class Printer;
class ImageWriter;

struct Platform {
    Application* application = nullptr;
    MessageBoxes* messages = nullptr;
    SettingsStore* settings = nullptr;
    Clipboard* clipboard = nullptr;
    Printer* printer = nullptr;
    ImageWriter* images = nullptr;
    std::function<std::unique_ptr<CommonDialog>(QWidget* owner)> newCommonDialog;
    std::function<std::unique_ptr<SkinEngine>()> newSkinEngine;
    std::function<std::unique_ptr<ChartControl>(QWidget* parent)> newChart;
    // Runs a window modally (its own nested event loop) until it closes.
    std::function<int(QDialog& window)> showModal;
};

// The real adapters, alive as long as this object.
class QtPlatform {
  public:
    // Print jobs go by the given name in the print queue.
    explicit QtPlatform(const QString& printJobName);
    ~QtPlatform();
    Platform& platform() { return platform_; }

  private:
    struct Adapters;
    std::unique_ptr<Adapters> adapters_;
    Platform platform_;
};
