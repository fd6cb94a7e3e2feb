#pragma once
// A chart window built over the fakes and loaded as generation loads it, with helpers to fill
// its chart and to read the reports shown.

#include "fakes/fake_platform.h"
#include "fakes/qt_printers.h"
#include "windows/form2.h"

#include <gtest/gtest.h>
#include <QTemporaryDir>
#include <memory>
#include <utility>
#include <vector>

class Form2Test : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    Form2& load();
    // Fills the chart the way generation does, one column per (label, value text).
    void fill(const std::vector<std::pair<QString, QString>>& slices);
    PieChart& pie();
    QString tempPath(const QString& name) const { return temp.filePath(name); }

    FakePlatform fake;
    std::unique_ptr<Form2> form;
    QTemporaryDir temp;
};

// The line numbers of every "Application Error" box shown, in order.
std::vector<int> reportLines(const FakeMessageBoxes& messages);
// The first line of every "Application Error" box: the failure's description.
QStringList reportDescriptions(const FakeMessageBoxes& messages);
// The pie chart behind a chart the fakes created.
PieChart& pieOf(ChartControl& chart);
