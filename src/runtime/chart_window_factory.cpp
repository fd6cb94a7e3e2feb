#include "runtime/chart_window_factory.h"

#include "windows/form2.h"

#include <QtGlobal>

namespace {
ChartWindowFactory factory_ = nullptr;
}

void setChartWindowFactory(ChartWindowFactory factory) { factory_ = factory; }

std::unique_ptr<Form2> newChartWindow(Platform& platform, QWidget* owner) {
    if (!factory_) qFatal("No chart window factory was set before the first chart.");
    return factory_(platform, owner);
}
