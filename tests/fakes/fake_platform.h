#pragma once
// Test doubles of the adapters: they answer for the user by script, record what was shown, and
// can be told to fail.

#include "fakes/fake_chart.h"
#include "fakes/fake_skin_engine.h"
#include "fakes/qt_printers.h"
#include "platform/application.h"
#include "platform/common_dialog.h"
#include "platform/message_box.h"
#include "platform/platform.h"
#include "platform/settings_store.h"

#include <QMap>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

struct ShownMessage {
    QString text;
    QString title;
    MessageIcon icon;
};

class FakeMessageBoxes : public MessageBoxes {
  public:
    void show(const QString& text, const QString& title, MessageIcon icon) override;
    std::vector<ShownMessage> shown;
    // Runs while a box is "open", e.g. to check what the program did before the user's OK.
    std::function<void(const ShownMessage&)> onShow;
    QStringList texts() const;
};

class FakeApplication : public Application {
  public:
    QString programFolder() const override { return folder; }
    void processEvents() override { ++eventPasses; }
    using Application::endProgram;
    void endProgram(int code) override {
        ended = true;
        exitCode = code;
    }
    QString folder = QStringLiteral("/nonexistent-program-folder");
    int eventPasses = 0;
    bool ended = false;
    int exitCode = 0;
};

class FakeSettingsStore : public SettingsStore {
  public:
    QString GetSetting(const QString& appName, const QString& section, const QString& key,
                       const QString& defaultValue = QString()) override;
    void SaveSetting(const QString& appName, const QString& section, const QString& key,
                     const QString& value) override;
    static QString address(const QString& appName, const QString& section, const QString& key);
    QMap<QString, QString> values;
    bool failWrites = false;
    int writes = 0;
};

// A common dialog whose Show* calls run the next scripted answer (or cancel when none is left).
class FakeCommonDialog : public CommonDialog {
  public:
    using Answer = std::function<void(CommonDialog&)>;
    void ShowOpen() override { answer("open"); }
    void ShowSave() override { answer("save"); }
    void ShowFont() override { answer("font"); }

    std::deque<Answer>* answers = nullptr;
    QStringList* calls = nullptr;

  private:
    void answer(const char* kind);
};

class FakePlatform {
  public:
    FakePlatform();
    Platform& platform() { return platform_; }

    FakeApplication application;
    FakeMessageBoxes messages;
    FakeSettingsStore settings;
    // Answers for every common dialog the program creates, in the order they are shown.
    std::deque<FakeCommonDialog::Answer> dialogAnswers;
    QStringList dialogCalls;
    // Shared by every skin engine the program creates.
    FakeSkinEngine::Script skin;

    // Every chart the program creates records into chartLog; modal windows only count and
    // run onModal in place of their own event loop.
    FakeClipboard clipboard;
    FakePrinter printer;
    FakeImageWriter images;
    QStringList chartLog;
    int modalShows = 0;
    std::function<void(QDialog&)> onModal;

  private:
    Platform platform_;
};
