#pragma once
#include "data/work/customerid.h"

class DataSet;

// One customer's visits: entered one at a time, listed by date.
namespace Visits {

// For entering visits only: none of the stored ones is fetched.
void openForEntry(DataSet &ds);
// The visit being entered is the customer's; set again before each store,
// so that also the visits entered after the first carry the ID.
void assign(DataSet &entry, CustomerRef customer);
// The customer's visits, oldest first.
void openList(DataSet &ds, CustomerRef customer);

}
