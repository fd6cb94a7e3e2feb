#include "fakes/fake_platform.h"

#include "platform/failure.h"

void FakeMessageBoxes::show(const QString& text, const QString& title, MessageIcon icon) {
    shown.push_back({text, title, icon});
    if (onShow) onShow(shown.back());
}

QStringList FakeMessageBoxes::texts() const {
    QStringList out;
    for (const ShownMessage& m : shown) out.append(m.text);
    return out;
}

QString FakeSettingsStore::address(const QString& appName, const QString& section,
                                   const QString& key) {
    return appName + u'|' + section + u'|' + key;
}

QString FakeSettingsStore::GetSetting(const QString& appName, const QString& section,
                                      const QString& key, const QString& defaultValue) {
    return values.value(address(appName, section, key), defaultValue);
}

void FakeSettingsStore::SaveSetting(const QString& appName, const QString& section,
                                    const QString& key, const QString& value) {
    if (failWrites) throw Failure(QStringLiteral("The settings store cannot be written."));
    ++writes;
    values.insert(address(appName, section, key), value);
}

void FakeCommonDialog::answer(const char* kind) {
    if (calls) calls->append(QLatin1String(kind));
    if (!answers || answers->empty()) {
        FileName.clear();
        return;
    }
    Answer next = std::move(answers->front());
    answers->pop_front();
    next(*this);
}

FakePlatform::FakePlatform() {
    platform_.application = &application;
    platform_.messages = &messages;
    platform_.settings = &settings;
    platform_.newCommonDialog = [this](QWidget*) -> std::unique_ptr<CommonDialog> {
        auto dialog = std::make_unique<FakeCommonDialog>();
        dialog->answers = &dialogAnswers;
        dialog->calls = &dialogCalls;
        return dialog;
    };
    platform_.newSkinEngine = [this]() -> std::unique_ptr<SkinEngine> {
        return std::make_unique<FakeSkinEngine>(skin);
    };
}
