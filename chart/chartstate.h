#pragma once
#include "data/work/chart.h"
#include <QColor>

// The chart's rules (data/work/chart.h) and the colour each condition is
// drawn in.
namespace Chart {

QColor colorOf(const QString &condition);

}
