#pragma once

#include <memory>

class Form2;
class QWidget;
struct Platform;

// Builds a chart window over its owner, wires it and runs its load handler.
std::unique_ptr<Form2> loadChartWindow(Platform& platform, QWidget* owner);

// Connects every control of the chart window to its handler: the window's whole event map.
void wireForm2(Form2& form);
