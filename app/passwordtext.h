#pragma once
#include "data/db/helpers.h"
#include <QString>

class QLineEdit;
// Every typed character shown as "*".
void MaskWithStars(QLineEdit *edit);
