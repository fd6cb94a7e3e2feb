#pragma once
// The running process: its folder, delivery of pending events, and ending at once.

#include <QString>

class Application {
  public:
    virtual ~Application() = default;
    // The folder of the executable, without a trailing separator except at the root.
    virtual QString programFolder() const = 0;
    virtual void processEvents() = 0;
    // Ends the process with exit code 0 without running any further handler.
    virtual void endProgram() = 0;
};

class QtApplication : public Application {
  public:
    QString programFolder() const override;
    void processEvents() override;
    [[noreturn]] void endProgram() override;
};
