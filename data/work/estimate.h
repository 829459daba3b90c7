#pragma once
#include "data/work/customerid.h"
#include <QString>

class DataSet;

// The estimate a patient takes home: the practice, the patient, the
// planned work of the treatment plan with teeth and prices, and the total.
namespace Estimate {

// practice: the practice details; patient: the customer's name, address
// and phones; items: the planned items in the order they were entered
// (KWDIKOS, PERIGRAFH of the work, DONTI, EPIFANEIES, SHMEIWSH, TIMH_LEPTA
// and TIMH, the price as shown).
void open(DataSet &practice, DataSet &patient, DataSet &items, CustomerRef customer);
// The sum of the items' prices in cents, exact.
qint64 totalCents(DataSet &items);

}
