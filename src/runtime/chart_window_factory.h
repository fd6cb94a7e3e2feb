#pragma once
// How the chart slice gets a chart window without building or wiring one itself: the shell sets
// the factory at start (test fixtures set it too) and "Start Generating Chart" calls it.

#include <memory>

class Form2;
class QWidget;
struct Platform;

using ChartWindowFactory = std::unique_ptr<Form2> (*)(Platform& platform, QWidget* owner);

void setChartWindowFactory(ChartWindowFactory factory);
// A loaded and wired chart window over owner; ends the program loudly when no factory is set,
// a mistake in start-up rather than something a user can meet.
std::unique_ptr<Form2> newChartWindow(Platform& platform, QWidget* owner);
