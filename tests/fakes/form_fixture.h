#pragma once
// A main window built over the fakes, with its load sequence run as at start-up.

#include "fakes/fake_platform.h"
#include "windows/form1.h"

#include <gtest/gtest.h>
#include <memory>

class Form1Test : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    // Builds Form1 and runs Form_Load (which restores whatever the fake store holds).
    Form1& load();
    // Puts a row into the list the way the program does.
    void addRow(const QString& name, const QString& value);
    // The list as "name=value" texts, for readable comparisons.
    QStringList rows() const;
    QStringList reports() const;  // the texts of every "Application Error" box

    FakePlatform fake;
    std::unique_ptr<Form1> form;
};

// Fails each (path, line) once it is named; used to inject a failure at a numbered statement.
void failStatement(const QString& path, int line, const QString& description = "Injected");
void clearStatementFaults();
