#pragma once
// The shell: start-up and shut-down of the main window, the error report every guarded handler
// shares, plain messages, the application title and the window pointer.
//
// A guarded handler creates one GuardedProcedure and runs each numbered statement through it.
// A statement that throws shows the report (description, procedure path, line number) and the
// handler goes on with the next statement; the helpers below express where "next" is for tests
// and loops.

#include "platform/failure.h"

#include <QString>
#include <functional>
#include <optional>

class MessageBoxes;

inline constexpr char16_t kProcedurePrefix[] = u"Quorvel2021/08/31";
inline constexpr char16_t kSupportAddress[] = u"support@quorvel.example.com";
inline constexpr char16_t kErrorReportTitle[] = u"Application Error";

QString procedurePath(const QString& window, const QString& handler);
QString composeErrorReport(const QString& description, const QString& path, int line);
// Shows the report; a report that cannot be shown in turn is dropped rather than ending the
// program.
void showErrorReport(MessageBoxes& messages, const QString& description, const QString& path,
                     int line);

// Lets tests fail any numbered statement: the hook sees each statement's procedure path and line
// before it runs and returns a description to fail it with.
using StatementFaultHook = std::function<std::optional<QString>(const QString& path, int line)>;
void setStatementFaultHook(StatementFaultHook hook);

class GuardedProcedure {
  public:
    GuardedProcedure(MessageBoxes& messages, const QString& window, const QString& handler)
        : messages_(messages), path_(procedurePath(window, handler)) {}

    const QString& path() const { return path_; }

    // Runs one statement; false when it failed (after its report).
    template <class Statement>
    bool step(int line, Statement&& statement) {
        try {
            checkFault(line);
            statement();
            return true;
        } catch (const Failure& failure) {
            report(failure.description(), line);
        } catch (const std::exception& error) {
            report(QString::fromLocal8Bit(error.what()), line);
        }
        return false;
    }

    // A test that opens a block: when the test itself fails, the block runs as though it held.
    template <class Condition>
    bool blockTest(int line, Condition&& condition) {
        bool holds = true;
        step(line, [&] { holds = condition(); });
        return holds;
    }

    // A one-line test whose action leaves the procedure: when the test fails, test and action
    // are skipped together.
    template <class Condition>
    bool exitTest(int line, Condition&& condition) {
        bool holds = false;
        step(line, [&] { holds = condition(); });
        return holds;
    }

    // For counter = first To last, with the header at headerLine and Next at advanceLine. The
    // bounds are read once. A failed header runs the body once with the counter at 0 (it never
    // got a value) and ends the loop, which cannot advance; a failed advance ends the loop.
    template <class Bounds, class Body>
    void forLoop(int headerLine, int advanceLine, Bounds&& bounds, Body&& body) {
        qsizetype first = 0;
        qsizetype last = -1;
        if (!step(headerLine, [&] {
                auto [f, l] = bounds();
                first = f;
                last = l;
            })) {
            body(qsizetype(0));
            return;
        }
        for (qsizetype counter = first; counter <= last;) {
            body(counter);
            if (!step(advanceLine, [&] { ++counter; })) return;
        }
    }

  private:
    void checkFault(int line);
    void report(const QString& description, int line);

    MessageBoxes& messages_;
    QString path_;
};

// The boundary of an unguarded handler: a failure still shows a report (at line 0, as the
// handler numbers no statements) and never escapes into Qt.
template <class Handler>
void unguarded(MessageBoxes& messages, const QString& window, const QString& handler,
               Handler&& body) {
    try {
        body();
    } catch (const Failure& failure) {
        showErrorReport(messages, failure.description(), procedurePath(window, handler), 0);
    } catch (const std::exception& error) {
        showErrorReport(messages, QString::fromLocal8Bit(error.what()),
                        procedurePath(window, handler), 0);
    }
}
