#pragma once
// The running process: its folder, delivery of pending events, and ending at once.

#include <QString>

class Application {
  public:
    virtual ~Application() = default;
    // The folder of the executable, without a trailing separator except at the root.
    virtual QString programFolder() const = 0;
    virtual void processEvents() = 0;
    // Ends the process with the exit code without running any further handler.
    virtual void endProgram(int exitCode) = 0;
    void endProgram() { endProgram(0); }
};

class QtApplication : public Application {
  public:
    QString programFolder() const override;
    void processEvents() override;
    using Application::endProgram;
    [[noreturn]] void endProgram(int exitCode) override;
};
